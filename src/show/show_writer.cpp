#include "show/show_writer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <system_error>

#include "show/show_transition.h"
#include "show/show_when.h"

namespace tablica::show {

namespace {

namespace fs = std::filesystem;

QString Utf8(const std::string& text) {
  return QString::fromStdString(text);
}

template <class Choice>
QString Name(Choice choice) {
  return Utf8(std::string(picture::NameOf(choice)));
}

// Seconds as the file counts them; the reader rounds back to the same
// milliseconds.
QJsonValue Seconds(std::chrono::milliseconds length) {
  return static_cast<double>(length.count()) / 1000.0;
}

// Minutes since midnight as "HH:MM" (a range may end at 24:00).
QString Minutes(int minutes) {
  return QStringLiteral("%1:%2")
      .arg(minutes / 60, 2, 10, QLatin1Char('0'))
      .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

// What a carried picture's bytes are, for its data: address (the reader
// goes by the bytes themselves; the type is for people and browsers).
const char* MediaType(const std::string& bytes) {
  if (bytes.starts_with("\x89PNG")) return "image/png";
  if (bytes.starts_with("GIF8")) return "image/gif";
  if (bytes.starts_with("\xFF\xD8")) return "image/jpeg";
  if (bytes.starts_with("BM")) return "image/bmp";
  if (bytes.starts_with("RIFF") && bytes.size() >= 12 && bytes.compare(8, 4, "WEBP") == 0) {
    return "image/webp";
  }
  return "application/octet-stream";
}

QString SourceText(const PictureSource& source, const fs::path& folder) {
  if (!source.Inline()) return Utf8(PathFromFolder(source.path, folder));
  const QByteArray bytes(source.data.data(), static_cast<qsizetype>(source.data.size()));
  return QStringLiteral("data:%1;base64,").arg(QString::fromLatin1(MediaType(source.data))) +
         QString::fromLatin1(bytes.toBase64());
}

void TextOptions(QJsonObject& object, const picture::ConvertOptions& options,
                 const fs::path& folder) {
  if (!options.font.empty()) {
    // A font file is named from the show's folder, as pictures are; a
    // family name is never an absolute path.
    const fs::path file = picture::PathFromUtf8(options.font);
    object["font"] = Utf8(file.is_absolute() ? PathFromFolder(file, folder) : options.font);
  }
  if (options.size) object["size"] = *options.size;
}

void PictureOptions(QJsonObject& object, const picture::ConvertOptions& options) {
  const picture::ConvertOptions defaults;
  if (options.placement != defaults.placement) {
    object["place"] = Name(options.placement);
  }
  if (options.dots != defaults.dots) object["dots"] = Name(options.dots);
  if (options.level) object["threshold"] = *options.level;
  if (options.lit != defaults.lit) object["lit"] = Name(options.lit);
}

// A live content's file or address: a file named from the show's folder.
QString FeedText(const std::string& place, const fs::path& folder) {
  const QString text = Utf8(place);
  if (text.startsWith("http://", Qt::CaseInsensitive) ||
      text.startsWith("https://", Qt::CaseInsensitive)) {
    return text;
  }
  return Utf8(PathFromFolder(picture::PathFromUtf8(place), folder));
}

QJsonObject LiveJson(const ContentModel& content, const fs::path& folder) {
  const LiveModel& live = content.live;
  const LiveModel defaults = LiveModel::For(content.kind);
  QJsonObject object;
  const auto list = [](const std::vector<std::string>& texts) {
    QJsonArray array;
    for (const std::string& text : texts) array.append(Utf8(text));
    return array;
  };
  if (content.kind == ContentKind::Departures) {
    object["feed"] = FeedText(live.feed, folder);
    if (!live.realtime.empty()) object["realtime"] = FeedText(live.realtime, folder);
    if (!live.alerts.empty()) object["alerts"] = FeedText(live.alerts, folder);
    object["stops"] = list(live.stops);
    if (!live.routes.empty()) object["routes"] = list(live.routes);
    if (live.rows != defaults.rows) object["rows"] = live.rows;
  } else {
    object["url"] = Utf8(live.url);
    if (content.kind == ContentKind::Data) {
      object["pointer"] = Utf8(live.pointer);
      if (live.text != defaults.text) object["text"] = Utf8(live.text);
    } else if (live.items != defaults.items) {
      object["items"] = live.items;
    }
  }
  if (live.every != defaults.every) object["every"] = live.every;
  if (live.none != defaults.none) object["none"] = Utf8(live.none);
  return object;
}

QJsonObject ContentJson(const ContentModel& content, const fs::path& folder) {
  QJsonObject object;
  switch (content.kind) {
    case ContentKind::Text: {
      QJsonArray lines;
      for (const std::string& line : content.options.text) lines.append(Utf8(line));
      object["text"] = lines;
      TextOptions(object, content.options, folder);
      if (content.options.align != picture::ConvertOptions().align) {
        object["align"] = Name(content.options.align);
      }
      break;
    }
    case ContentKind::Scroll:
      object["scroll"] = Utf8(content.scroll);
      TextOptions(object, content.options, folder);
      if (content.speed != ContentModel().speed) object["speed"] = content.speed;
      break;
    case ContentKind::Zones: {
      QJsonArray zones;
      for (const ZoneModel& zone : content.zones) {
        QJsonObject placed = ContentJson(zone.content, folder);
        placed["x"] = zone.x;
        placed["y"] = zone.y;
        placed["w"] = zone.w;
        placed["h"] = zone.h;
        zones.append(placed);
      }
      object["zones"] = zones;
      break;
    }
    case ContentKind::Departures:
    case ContentKind::Data:
    case ContentKind::Rss: {
      const char* name = content.kind == ContentKind::Departures ? "departures"
                         : content.kind == ContentKind::Data     ? "data"
                                                                 : "rss";
      object[name] = LiveJson(content, folder);
      TextOptions(object, content.options, folder);
      if (content.kind == ContentKind::Data &&
          content.options.align != picture::ConvertOptions().align) {
        object["align"] = Name(content.options.align);
      }
      if (content.kind != ContentKind::Data && content.speed != ContentModel().speed) {
        object["speed"] = content.speed;
      }
      break;
    }
    case ContentKind::Picture:
    case ContentKind::Animation:
      object[content.kind == ContentKind::Picture ? "picture" : "animation"] =
          SourceText(content.picture, folder);
      PictureOptions(object, content.options);
      break;
  }
  // Passes and loops belong to moving content only.
  if (content.Moving() && content.kind != ContentKind::Zones && content.times) {
    object["times"] = *content.times;
  }
  return object;
}

QJsonObject WhenJson(const WhenRule& rule) {
  QJsonObject object;
  if (!rule.days.empty()) {
    QJsonArray days;
    for (int day : rule.days) days.append(day);
    object["days"] = days;
  }
  if (rule.from) object["from"] = Utf8(DayTimeText(*rule.from));
  if (rule.to) object["to"] = Utf8(DayTimeText(*rule.to));
  if (!rule.dates.empty()) {
    QJsonArray dates;
    for (const DateRange& range : rule.dates) dates.append(Utf8(DateRangeText(range)));
    object["dates"] = dates;
  }
  return object;
}

QJsonObject PageJson(const PageModel& page, const fs::path& folder) {
  QJsonObject object = ContentJson(page.first, folder);
  if (page.seconds) object["seconds"] = Seconds(*page.seconds);
  if (page.second) object["second"] = ContentJson(*page.second, folder);
  if (page.when) object["when"] = WhenJson(*page.when);
  if (page.transition) object["transition"] = Utf8(std::string(NameOf(*page.transition)));
  return object;
}

}  // namespace

fs::path AbsolutePath(const fs::path& path) {
  std::error_code failed;
  fs::path whole = fs::absolute(path, failed);
  return (failed ? path : whole).lexically_normal();
}

std::string PathFromFolder(const fs::path& path, const fs::path& folder) {
  const fs::path whole = AbsolutePath(path);
  const fs::path relative = whole.lexically_relative(AbsolutePath(folder));
  const std::u8string text = (relative.empty() ? whole : relative).generic_u8string();
  return std::string(text.begin(), text.end());
}

QByteArray ShowJson(const ShowModel& show, const fs::path& folder) {
  QJsonObject root;
  if (show.repeat != 0) root["repeat"] = show.repeat;
  if (!show.blank.empty()) {
    QJsonArray ranges;
    for (const BlankRange& range : show.blank) {
      ranges.append(Minutes(range.from) + QLatin1Char('-') + Minutes(range.to));
    }
    root["blank"] = ranges;
  }
  if (show.refresh) root["refresh"] = Seconds(*show.refresh);
  if (show.transition != Transition::None) {
    root["transition"] = Utf8(std::string(NameOf(show.transition)));
  }
  QJsonArray pages;
  for (const PageModel& page : show.pages) pages.append(PageJson(page, folder));
  root["pages"] = pages;
  if (show.otherwise) root["otherwise"] = PageJson(*show.otherwise, folder);
  return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

}  // namespace tablica::show
