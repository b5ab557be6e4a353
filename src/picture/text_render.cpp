// Text in a pixel font: each line drawn without antialiasing into a small
// image, enlarged by a whole factor where the font is GNU Unifont, and set
// on the board by its alignment, the lines centred as a block.

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "picture/text_render.h"

namespace tablica::picture {

namespace {

constexpr int kUnifontPixels = 16;    // the size its dots are drawn for
constexpr int kSmallestReadable = 6;  // dots; smaller letters are a blur
// A letter takes a dot of width at least, but marks (accents, joiners) may
// take none: a line of more characters than this for each dot of its room
// is refused before a font measures it. A font counts widths in numbers
// that wrap past some 30 million dots, and measuring millions of letters
// would hold the thread for seconds.
constexpr qsizetype kMostCharactersPerDot = 4;
constexpr qsizetype kMostBytesPerCharacter = 4;  // UTF-8
const char* const kUnifontFamily = "Unifont";

struct ChosenFont {
  QString family;
  bool unifont = false;
  std::string error;
};

// The family a font file brings, once Qt has it. Qt's font database is the
// process's own and keeps every file added to it, a copy each time: a file
// is added once, and its family remembered beside that database, so a clock
// drawn again every second in a font file does not grow the program.
QString FamilyFromFile(const QString& file) {
  static std::mutex mutex;
  static std::map<QString, QString> added;
  const QString key = QFileInfo(file).canonicalFilePath();
  const std::lock_guard lock(mutex);
  if (const auto known = added.find(key); known != added.end()) return known->second;
  const int id = QFontDatabase::addApplicationFont(file);
  const QStringList families = id < 0 ? QStringList() : QFontDatabase::applicationFontFamilies(id);
  if (families.isEmpty()) return {};
  added.emplace(key, families.first());
  return families.first();
}

ChosenFont UnifontFont() {
  if (QFontDatabase::families().contains(kUnifontFamily)) return {kUnifontFamily, true, {}};
  // A program folder that carries its own copy (the Windows build does).
  const QDir folder(QCoreApplication::applicationDirPath());
  for (const QString& name : {QStringLiteral("unifont.otf"), QStringLiteral("fonts/unifont.otf")}) {
    if (!QFileInfo::exists(folder.filePath(name))) continue;
    const QString family = FamilyFromFile(folder.filePath(name));
    if (!family.isEmpty()) return {family, true, {}};
  }
  return {{}, true, "Nie znaleziono czcionki GNU Unifont (w Debianie: pakiet fonts-unifont)."};
}

ChosenFont ChooseFont(const std::string& wanted) {
  if (wanted.empty()) return UnifontFont();
  const QString name = QString::fromStdString(wanted);
  if (QFileInfo(name).isFile()) {
    const QString family = FamilyFromFile(name);
    if (family.isEmpty()) return {{}, false, "Nie mogę wczytać czcionki z pliku " + wanted + "."};
    return {family, family.startsWith(kUnifontFamily), {}};
  }
  for (const QString& family : QFontDatabase::families()) {
    if (family.compare(name, Qt::CaseInsensitive) == 0) {
      return {family, family.startsWith(kUnifontFamily), {}};
    }
  }
  return {{}, false, "Nie znaleziono czcionki „" + wanted + "”."};
}

QFont FontAt(const QString& family, int pixels) {
  QFont font(family);
  font.setPixelSize(pixels);
  font.setStyleStrategy(QFont::StyleStrategy(QFont::NoAntialias | QFont::NoFontMerging));
  font.setKerning(false);
  return font;
}

// "1 punkt", "3 punkty", "12 punktów".
std::string CountOfDots(int n) {
  const int tens = n % 100;
  const int ones = n % 10;
  const char* word = n == 1                                                 ? "punkt"
                     : (ones >= 2 && ones <= 4 && (tens < 12 || tens > 14)) ? "punkty"
                                                                            : "punktów";
  return std::to_string(n) + " " + word;
}

// The lines' size in dots at one font size, before any enlarging.
struct TextBox {
  int width = 0;       // the widest line
  int lineHeight = 0;  // ascent + descent
  int ascent = 0;
};

TextBox Measure(const QFont& font, const QStringList& lines) {
  const QFontMetrics metrics(font);
  TextBox box{0, metrics.height(), metrics.ascent()};
  for (const QString& line : lines)
    box.width = std::max(box.width, metrics.horizontalAdvance(line));
  return box;
}

bool Fits(const TextBox& box, int lines, int factor, int maxWidth, int maxHeight) {
  return box.width * factor <= maxWidth && box.lineHeight * lines * factor <= maxHeight;
}

std::string Overflow(const TextBox& box, int lines, int factor, int width, int height) {
  const int wide = box.width * factor - width;
  const int high = box.lineHeight * lines * factor - height;
  const bool board = width == kBoardWidth && height == kBoardHeight;
  std::string text = std::string("Tekst nie mieści się ") + (board ? "na tablicy " : "w strefie ") +
                     std::to_string(width) + " × " + std::to_string(height) + ":";
  if (wide > 0) text += " jest o " + CountOfDots(wide) + " za szeroki";
  if (wide > 0 && high > 0) text += " i";
  if (high > 0) text += " jest o " + CountOfDots(high) + " za wysoki";
  return text + ".";
}

// The lines as Qt's text, or unset when one has far more characters than
// a line `room` dots wide could show; bytes are counted first, so a huge
// line is not even converted.
std::optional<QStringList> BoundedLines(const std::vector<std::string>& text, int room) {
  const qsizetype most = kMostCharactersPerDot * room;
  QStringList lines;
  for (const std::string& line : text) {
    if (line.size() > static_cast<std::size_t>(most * kMostBytesPerCharacter)) return std::nullopt;
    lines << QString::fromStdString(line);
    if (lines.back().size() > most) return std::nullopt;
  }
  return lines;
}

std::string FarTooWide(int room) {
  return "Tekst nie mieści się na tablicy 128 × 32: wiersz ma ponad " +
         std::to_string(kMostCharactersPerDot * room) + " znaków.";
}

// A line drawn in white on black, one byte a pixel.
QImage DrawLine(const QFont& font, const QString& line, const TextBox& box) {
  const int width = std::max(1, QFontMetrics(font).horizontalAdvance(line));
  QImage image(width, box.lineHeight, QImage::Format_Grayscale8);
  image.fill(0);
  QPainter painter(&image);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(0, box.ascent, line);
  return image;
}

// The font, its pixel size and its enlarging for `lines`, chosen as
// RenderText chooses them; lines may be `maxWidth` dots wide.
struct TextLayout {
  QFont font;
  int factor = 1;
  TextBox box;
  std::string error;
};

TextLayout LayOut(const ConvertOptions& options, const QStringList& lines, int maxWidth) {
  const int maxHeight = options.height;
  const ChosenFont chosen = ChooseFont(options.font);
  if (!chosen.error.empty()) return {{}, 1, {}, chosen.error};
  const int count = static_cast<int>(lines.size());

  // Unifont's dots are made for 16 pixels: it is enlarged by whole factors
  // only. Other fonts are drawn at the pixel size asked for, or the largest
  // that fits.
  int pixels = 0;
  int factor = 1;
  TextBox box;
  if (chosen.unifont) {
    pixels = kUnifontPixels;
    box = Measure(FontAt(chosen.family, pixels), lines);
    if (options.size) {
      if (*options.size % kUnifontPixels != 0) {
        return {{},
                1,
                {},
                "GNU Unifont ma rozmiary 16, 32 ... punktów (wielokrotności 16), nie " +
                    std::to_string(*options.size) + "."};
      }
      factor = *options.size / kUnifontPixels;
    } else {
      while (Fits(box, count, factor + 1, maxWidth, maxHeight)) ++factor;
    }
  } else if (options.size) {
    pixels = *options.size;
    box = Measure(FontAt(chosen.family, pixels), lines);
  } else {
    // The largest size that fits, down to the smallest that still reads;
    // when none fits, the largest whose lines are low enough, so that the
    // message speaks of the width.
    int lowEnough = 0;
    for (int size = maxHeight; size >= kSmallestReadable && pixels == 0; --size) {
      const TextBox measured = Measure(FontAt(chosen.family, size), lines);
      if (measured.lineHeight * count > maxHeight) continue;
      if (lowEnough == 0) lowEnough = size;
      if (measured.width <= maxWidth) pixels = size;
    }
    if (pixels == 0) pixels = lowEnough != 0 ? lowEnough : kSmallestReadable;
    box = Measure(FontAt(chosen.family, pixels), lines);
  }
  if (!Fits(box, count, factor, maxWidth, maxHeight)) {
    return {{}, factor, box, Overflow(box, count, factor, options.width, maxHeight)};
  }
  return {FontAt(chosen.family, pixels), factor, box, {}};
}

}  // namespace

DotsResult RenderText(const ConvertOptions& options) {
  if (!QGuiApplication::instance()) return {{}, "Tekst wymaga aplikacji Qt (QGuiApplication)."};
  if (options.text.empty() || options.text.size() > static_cast<std::size_t>(kMaxTextLines)) {
    return {{}, "Podaj jeden albo dwa wiersze tekstu."};
  }
  const std::optional<QStringList> bounded = BoundedLines(options.text, kBoardWidth);
  if (!bounded) return {{}, FarTooWide(kBoardWidth)};
  const QStringList& lines = *bounded;
  const int count = static_cast<int>(lines.size());
  const TextLayout layout = LayOut(options, lines, options.width);
  if (!layout.error.empty()) return {{}, layout.error};
  const TextBox& box = layout.box;
  const int factor = layout.factor;

  BoardDots dots;
  const int blockTop = (options.height - box.lineHeight * count * factor) / 2;
  for (int i = 0; i < count; ++i) {
    const QImage line = DrawLine(layout.font, lines[i], box);
    const int width = line.width() * factor;
    const int left = options.align == Alignment::Left    ? 0
                     : options.align == Alignment::Right ? options.width - width
                                                         : (options.width - width) / 2;
    const int top = blockTop + i * box.lineHeight * factor;
    for (int y = 0; y < line.height() * factor; ++y) {
      const uchar* row = line.constScanLine(y / factor);
      for (int x = 0; x < width; ++x) {
        if (row[x / factor] >= 128) dots.SetLit(left + x, top + y);
      }
    }
  }
  return {dots, {}};
}

TextStripResult RenderTextStrip(const std::string& text, const ConvertOptions& options) {
  if (!QGuiApplication::instance()) return {{}, "Tekst wymaga aplikacji Qt (QGuiApplication)."};
  const std::optional<QStringList> bounded = BoundedLines({text}, kMaxStripWidth);
  if (!bounded) {
    return {{},
            "Tekst jest za długi: ma ponad " +
                std::to_string(kMostCharactersPerDot * kMaxStripWidth) + " znaków."};
  }
  const QStringList& lines = *bounded;
  const TextLayout layout = LayOut(options, lines, kMaxStripWidth);
  if (!layout.error.empty()) {
    if (layout.box.width * layout.factor > kMaxStripWidth) {
      return {{}, "Tekst jest za długi: ma ponad " + std::to_string(kMaxStripWidth) + " punktów."};
    }
    return {{}, layout.error};
  }
  // Drawn as RenderText draws one line, set at the strip's left edge.
  const QImage line = DrawLine(layout.font, lines[0], layout.box);
  const int factor = layout.factor;
  QImage strip(line.width() * factor, options.height, QImage::Format_Grayscale8);
  strip.fill(0);
  const int top = (options.height - layout.box.lineHeight * factor) / 2;
  for (int y = 0; y < line.height() * factor; ++y) {
    const uchar* from = line.constScanLine(y / factor);
    uchar* to = strip.scanLine(top + y);
    for (int x = 0; x < strip.width(); ++x) to[x] = from[x / factor] >= 128 ? 255 : 0;
  }
  return {std::move(strip), {}};
}

}  // namespace tablica::picture
