#include "obraz/show_pages.h"

#include <QFileInfo>
#include <QLocale>
#include <QStringList>

#include "board/board_dots.h"
#include "show/clock_text.h"
#include "window_parts/paths.h"

namespace tablica::show_pages {

namespace {

using show::ContentKind;
using show::ContentModel;
using show::PageModel;

QString Utf8(const std::string& text) {
  return QString::fromStdString(text);
}

// The text's lines as one: what a scrolling line shows of two lines.
std::string OneLine(const std::vector<std::string>& lines) {
  std::string line;
  for (const std::string& part : lines) {
    if (!line.empty()) line += ' ';
    line += part;
  }
  return line;
}

// The text choices that a line of text takes; the picture's are left at
// their defaults, as a show file without them means.
picture::ConvertOptions TextChoices(const picture::ConvertOptions& from) {
  picture::ConvertOptions options;
  options.text = from.text;
  options.font = from.font;
  options.size = from.size;
  options.align = from.align;
  return options;
}

picture::ConvertOptions PictureChoices(const picture::ConvertOptions& from) {
  picture::ConvertOptions options;
  options.placement = from.placement;
  options.dots = from.dots;
  options.level = from.level;
  options.lit = from.lit;
  return options;
}

QString Seconds(std::chrono::milliseconds length) {
  return QLocale(QLocale::Polish).toString(static_cast<double>(length.count()) / 1000.0) +
         QStringLiteral(" s");
}

QString SourceName(const show::PictureSource& source) {
  if (source.Inline()) return QStringLiteral("(w pliku pokazu)");
  return QFileInfo(ToQString(source.path)).fileName();
}

QString DescribeContent(const ContentModel& content) {
  switch (content.kind) {
    case ContentKind::Text: {
      QStringList lines;
      for (const std::string& line : content.options.text) lines << Utf8(line);
      const QString kind =
          show::HasClock(content.options.text) ? QStringLiteral("Zegar") : QStringLiteral("Tekst");
      return kind + QStringLiteral(": ") + lines.join(QStringLiteral(" / "));
    }
    case ContentKind::Picture:
      return QStringLiteral("Obraz: ") + SourceName(content.picture);
    case ContentKind::Scroll:
      return QStringLiteral("Przewijany napis: ") + Utf8(content.scroll) + QStringLiteral(", ") +
             QLocale(QLocale::Polish).toString(content.speed) + QStringLiteral(" punktów/s");
    case ContentKind::Animation:
      return QStringLiteral("Animacja: ") + SourceName(content.picture);
    case ContentKind::Departures:
      return QStringLiteral("Odjazdy z przystanków: ") +
             Utf8(content.live.stops.empty() ? std::string() : content.live.stops.front()) +
             (content.live.stops.size() > 1 ? QStringLiteral(" …") : QString());
    case ContentKind::Data:
      return QStringLiteral("Dane: ") + Utf8(content.live.url);
    case ContentKind::Rss:
      return QStringLiteral("Kanał RSS: ") + Utf8(content.live.url);
    case ContentKind::Zones: {
      QStringList zones;
      for (const show::ZoneModel& zone : content.zones) zones << DescribeContent(zone.content);
      return QStringLiteral("Strefy (%1): ").arg(content.zones.size()) +
             zones.join(QStringLiteral("; "));
    }
  }
  return {};
}

// Calls `visit` with each moving content of the page that counts passes:
// the first board's (or its moving zones), then the second's.
template <class Page, class Visit>
void ForEachMoving(Page& page, Visit&& visit) {
  for (auto* board : {&page.first, page.second ? &*page.second : nullptr}) {
    if (board == nullptr) continue;
    if (board->kind == ContentKind::Zones) {
      for (auto& zone : board->zones) {
        if (zone.content.Moving()) visit(zone.content);
      }
    } else if (board->Moving()) {
      visit(*board);
    }
  }
}

}  // namespace

PageModel PicturePage(const std::filesystem::path& picture,
                      const picture::ConvertOptions& choices) {
  PageModel page;
  page.first.kind = ContentKind::Picture;
  page.first.picture.path = picture;
  page.first.options = PictureChoices(choices);
  page.seconds = kStillPageLength;
  return page;
}

PageModel TextPage(const picture::ConvertOptions& text) {
  PageModel page;
  page.first.kind = ContentKind::Text;
  page.first.options = TextChoices(text);
  page.seconds = kStillPageLength;
  return page;
}

PageModel ScrollPage(const picture::ConvertOptions& text) {
  PageModel page;
  page.first.kind = ContentKind::Scroll;
  page.first.scroll = OneLine(text.text);
  // A scrolling line has no alignment: only its font and size.
  page.first.options.font = text.font;
  page.first.options.size = text.size;
  return page;
}

PageModel ClockPage(bool withDate) {
  PageModel page;
  page.first.kind = ContentKind::Text;
  page.first.options.text = {"{time:HH:mm}"};
  if (withDate) page.first.options.text.push_back("{date:d MMMM}");
  page.seconds = kClockPageLength;
  return page;
}

PageModel AnimationPage(const std::filesystem::path& animation,
                        const picture::ConvertOptions& choices) {
  PageModel page = PicturePage(animation, choices);
  page.first.kind = ContentKind::Animation;
  page.seconds.reset();
  return page;
}

PageModel LivePage(ContentKind kind) {
  PageModel page;
  page.first.kind = kind;
  page.first.live = show::LiveModel::For(kind);
  page.seconds = kClockPageLength;
  return page;
}

bool IsAddress(const std::string& source) {
  const QString text = QString::fromStdString(source);
  return text.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive) ||
         text.startsWith(QStringLiteral("https://"), Qt::CaseInsensitive);
}

void AddZone(PageModel& page, ContentModel content) {
  if (page.first.kind != ContentKind::Zones) {
    ContentModel whole;
    whole.kind = ContentKind::Zones;
    whole.zones.push_back({0, 0, kBoardWidth, kBoardHeight, std::move(page.first)});
    page.first = std::move(whole);
  }
  page.first.zones.push_back({0, 0, kBoardWidth, kBoardHeight, std::move(content)});
}

ContentModel& EditedContent(PageModel& page, int zone) {
  if (page.first.kind == ContentKind::Zones && zone >= 0 &&
      zone < static_cast<int>(page.first.zones.size())) {
    return page.first.zones[static_cast<std::size_t>(zone)].content;
  }
  return page.first;
}

bool Moves(const PageModel& page) {
  return page.first.Moving() || (page.second && page.second->Moving());
}

std::optional<int> Passes(const PageModel& page) {
  std::optional<int> passes;
  ForEachMoving(page, [&](const ContentModel& moving) {
    if (!passes) passes = moving.times;
  });
  return passes;
}

void SetSeconds(PageModel& page, std::optional<std::chrono::milliseconds> length) {
  page.seconds = length;
  // A page lasts either its seconds or its passes, never both.
  ForEachMoving(page, [](ContentModel& moving) { moving.times.reset(); });
}

void SetPasses(PageModel& page, int passes) {
  page.seconds.reset();
  // Zones that move each make their passes; the page lasts the longest.
  bool set = false;
  ForEachMoving(page, [&](ContentModel& moving) {
    if (set && page.first.kind != ContentKind::Zones) return;
    moving.times = passes;
    set = true;
  });
}

QString Describe(const PageModel& page, int number) {
  QString line = QString::number(number) + QStringLiteral(". ") + DescribeContent(page.first);
  if (page.second) line += QStringLiteral("; druga tablica: ") + DescribeContent(*page.second);
  if (page.seconds) {
    line += QStringLiteral(" (") + Seconds(*page.seconds) + QLatin1Char(')');
  } else if (Moves(page)) {
    line += QStringLiteral(" (%1×)").arg(Passes(page).value_or(1));
  } else {
    line += QStringLiteral(" (bez końca)");
  }
  return line;
}

QString DescribeZone(const show::ZoneModel& zone, int number) {
  return QStringLiteral("%1. %2,%3 %4×%5 ")
             .arg(number)
             .arg(zone.x)
             .arg(zone.y)
             .arg(zone.w)
             .arg(zone.h) +
         DescribeContent(zone.content);
}

}  // namespace tablica::show_pages
