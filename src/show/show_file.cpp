#include "show/show_file.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>

#include "picture/file_open.h"
#include "show/live_content.h"
#include "show/show_fields.h"
#include "show/show_transition.h"
#include "show/show_when.h"

namespace tablica::show {

namespace {

constexpr double kMaxSeconds = 1'000'000;  // about eleven and a half days
constexpr double kMaxSpeed = 10'000;       // dots a second
constexpr int kMaxTimes = 1'000'000;
constexpr int kMaxFontSize = 1000;

constexpr int kMaxZones = 64;
constexpr int kMaxDateRanges = 1000;

// Every kind of content, by the field that names it; one of them per board
// or zone.
const std::vector<std::string_view> kKinds{"text",  "picture",    "scroll", "animation",
                                           "zones", "departures", "data",   "rss"};

// Every field some kind of content takes.
const std::vector<std::string_view> kContentFields{"font",  "size", "align",     "speed", "times",
                                                   "place", "dots", "threshold", "lit"};

// "data:image/png;base64,iVBOR..." to its bytes; false when it is not one.
bool DecodeDataAddress(const std::string& text, std::string& bytes) {
  const std::size_t comma = text.find(',');
  if (!text.starts_with("data:") || comma == std::string::npos) return false;
  const std::string head = text.substr(0, comma);
  if (!head.ends_with(";base64")) return false;
  const QByteArray base64 = QByteArray::fromRawData(
      text.data() + comma + 1, static_cast<qsizetype>(text.size() - comma - 1));
  const auto decoded =
      QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
  if (!decoded || decoded.decoded.isEmpty()) return false;
  bytes = decoded.decoded.toStdString();
  return true;
}

struct Context {
  std::filesystem::path folder;
  ShowOrigin origin = ShowOrigin::File;
};

void ReadPictureSource(FieldReader& fields, std::string_view key, const Context& context,
                       PictureSource& source) {
  const std::optional<std::string> text = fields.Text(key);
  if (!text) return;
  if (text->starts_with("data:")) {
    if (!DecodeDataAddress(*text, source.data)) {
      fields.FailField(key, "ma zły adres data: (potrzebny data:image/…;base64,…).");
    }
    return;
  }
  if (context.origin == ShowOrigin::Network) {
    fields.FailField(key,
                     "musi nieść obraz w sobie (data:image/…;base64,…): pokaz przysłany "
                     "przez sieć nie może wskazywać plików.");
    return;
  }
  if (text->empty()) {
    fields.FailField(key, "nie może być puste.");
    return;
  }
  const std::filesystem::path path = picture::PathFromUtf8(*text);
  source.path = path.is_absolute() ? path : context.folder / path;
}

void ReadTextOptions(FieldReader& fields, const Context& context, ContentModel& content) {
  if (auto font = fields.Text("font")) {
    const QString name = QString::fromStdString(*font);
    const bool names_file =
        name.contains('/') || name.contains('\\') || name.contains(':') || QFileInfo::exists(name);
    if (context.origin == ShowOrigin::Network && names_file) {
      fields.FailField("font",
                       "musi być nazwą czcionki: pokaz przysłany przez sieć nie może "
                       "wskazywać plików.");
    }
    content.options.font = *font;
    // A font file is named from the show's folder, as its pictures are, so
    // the show plays the same from any working folder.
    const std::filesystem::path path = picture::PathFromUtf8(*font);
    const std::filesystem::path inFolder = context.folder / path;
    const bool names_path = name.contains('/') || name.contains('\\');
    if (context.origin == ShowOrigin::File && !path.is_absolute() &&
        (names_path || QFileInfo(QString::fromStdString(picture::Utf8Name(inFolder))).isFile())) {
      content.options.font = picture::Utf8Name(inFolder.lexically_normal());
    }
  }
  content.options.size = fields.Integer("size", 1, kMaxFontSize);
}

void ReadPictureOptions(FieldReader& fields, ContentModel& content) {
  picture::ConvertOptions& options = content.options;
  if (auto place = fields.Choice("place", {"fit", "fill", "stretch", "none"})) {
    options.placement = *picture::PlacementNamed(*place);
  }
  if (auto dots = fields.Choice("dots", {"threshold", "diffusion", "ordered"})) {
    options.dots = *picture::DotsMethodNamed(*dots);
  }
  options.level = fields.Integer("threshold", 0, 255);
  if (options.level && options.dots != picture::DotsMethod::Threshold) {
    fields.FailField("threshold",
                     "działa tylko z " + Quoted("dots") + ": " + Quoted("threshold") + ".");
  }
  if (auto lit = fields.Choice("lit", {"dark", "bright"})) {
    options.lit = *picture::LitSideNamed(*lit);
  }
}

ContentModel ReadContent(FieldReader& fields, const Context& context,
                         std::initializer_list<std::string_view> pageFields, bool zones);

constexpr int kMaxEvery = 24 * 3600;
constexpr int kMaxStops = 64;
constexpr int kMaxRows = 16;
constexpr int kMaxItems = 50;

// Whether `text` is an http or https address (the client takes no other).
bool IsWebAddress(const std::string& text) {
  const QString lower = QString::fromStdString(text).toLower();
  const qsizetype host = lower.startsWith("https://") ? 8 : lower.startsWith("http://") ? 7 : 0;
  return host > 0 && lower.size() > host;
}

// Where a live content's data come from: an address, or from a show file
// also a file, read from the show's folder as a picture is. A show from
// the network names no file.
void ReadFeedPlace(FieldReader& fields, std::string_view key, const Context& context, bool files,
                   std::string& place) {
  const std::optional<std::string> text = fields.Text(key);
  if (!text) return;
  if (IsWebAddress(*text)) {
    place = *text;
  } else if (!files) {
    fields.FailField(key, "musi być adresem http:// albo https:// (jest „" + *text + "”).");
  } else if (context.origin == ShowOrigin::Network) {
    fields.FailField(key,
                     "musi być adresem http:// albo https://: pokaz przysłany przez sieć nie "
                     "może wskazywać plików.");
  } else if (text->empty()) {
    fields.FailField(key, "nie może być puste.");
  } else {
    const std::filesystem::path path = picture::PathFromUtf8(*text);
    place =
        picture::Utf8Name((path.is_absolute() ? path : context.folder / path).lexically_normal());
  }
}

// The object of a live content ("departures": {…}): its own fields, read
// with a reader of its own whose problems are said as „departures.feed”.
void ReadLive(FieldReader& fields, std::string_view kind, const Context& context,
              ContentModel& content) {
  const QJsonValue value = fields.Object().value(QString::fromUtf8(kind.data(), kind.size()));
  if (!value.isObject()) {
    fields.FailField(kind, "musi być obiektem JSON ({…}) z opisem źródła danych.");
    return;
  }
  if (!LiveContentBuilt()) {
    fields.FailField(kind,
                     "nie działa w tej wersji programu: zbudowano ją bez informacji na żywo "
                     "(rozkładów jazdy i danych z sieci).");
    return;
  }
  FieldReader live(value.toObject(), fields.Place());
  LiveModel& model = content.live;
  model = LiveModel::For(content.kind);
  const auto required = [&live, kind](std::string_view key) {
    if (live.Ok() && !live.Has(key)) {
      live.Fail("Brak pola " + Quoted(std::string(kind) + "." + std::string(key)) + ".");
    }
  };
  if (content.kind == ContentKind::Departures) {
    live.OnlyKnown({"feed", "realtime", "alerts", "stops", "routes", "rows", "every", "none"});
    required("feed");
    required("stops");
    ReadFeedPlace(live, "feed", context, true, model.feed);
    ReadFeedPlace(live, "realtime", context, true, model.realtime);
    ReadFeedPlace(live, "alerts", context, true, model.alerts);
    if (auto stops = live.Lines("stops", 1, kMaxStops)) model.stops = *stops;
    if (auto routes = live.Lines("routes", 1, kMaxStops)) model.routes = *routes;
    model.rows = live.Integer("rows", 1, kMaxRows).value_or(model.rows);
  } else {
    const bool data = content.kind == ContentKind::Data;
    if (data) {
      live.OnlyKnown({"url", "pointer", "text", "every", "none"});
    } else {
      live.OnlyKnown({"url", "items", "every", "none"});
    }
    required("url");
    ReadFeedPlace(live, "url", context, false, model.url);
    if (data) {
      required("pointer");
      if (auto pointer = live.Text("pointer")) model.pointer = *pointer;
      if (live.Ok() && !model.pointer.empty() && model.pointer.front() != '/') {
        live.FailField("pointer", "musi być pusty albo zaczynać się od „/” (np. „/main/temp”).");
      }
      if (auto text = live.Text("text")) model.text = *text;
    } else {
      model.items = live.Integer("items", 1, kMaxItems).value_or(model.items);
    }
  }
  model.every = live.Integer("every", 5, kMaxEvery).value_or(model.every);
  if (auto none = live.Text("none")) model.none = *none;
  if (!live.Ok()) {
    ShowError error = live.Error();
    if (!error.field.empty()) error.field = std::string(kind) + "." + error.field;
    fields.FailWith(error);
  }
}

// A zone's place: inside the board, of some size.
void ReadZonePlace(FieldReader& fields, ZoneModel& zone) {
  const auto side = [&fields](std::string_view key, int low, int high) {
    if (fields.Ok() && !fields.Has(key)) {
      fields.Fail("Brak pola " + Quoted(key) + " (strefa potrzebuje pól " + Quoted("x") + ", " +
                  Quoted("y") + ", " + Quoted("w") + " i " + Quoted("h") + ").");
    }
    return fields.Integer(key, low, high).value_or(0);
  };
  zone.x = side("x", 0, kBoardWidth - 1);
  zone.y = side("y", 0, kBoardHeight - 1);
  zone.w = side("w", 1, kBoardWidth);
  zone.h = side("h", 1, kBoardHeight);
  if (fields.Ok() && (zone.x + zone.w > kBoardWidth || zone.y + zone.h > kBoardHeight)) {
    fields.Fail(
        "Strefa wychodzi poza tablicę 128 × 32 (sięga do x = " + std::to_string(zone.x + zone.w) +
        ", y = " + std::to_string(zone.y + zone.h) + ").");
  }
}

void ReadZones(FieldReader& fields, const Context& context, ContentModel& content) {
  const QJsonValue value = fields.Object().value("zones");
  const QJsonArray list = value.toArray();
  if (!value.isArray() || list.isEmpty() || list.size() > kMaxZones) {
    fields.FailField("zones", "musi być listą od 1 do " + std::to_string(kMaxZones) +
                                  " stref (obiektów z polami x, y, w, h i treścią).");
    return;
  }
  const ShowError& place = fields.Place();
  for (qsizetype i = 0; i < list.size() && fields.Ok(); ++i) {
    ShowError at = place;
    at.zone = static_cast<int>(i) + 1;
    if (!list[i].isObject()) {
      fields.FailWith(Problem(at, "Strefa musi być obiektem JSON ({…})."));
      return;
    }
    FieldReader zoneFields(list[i].toObject(), at);
    ZoneModel zone;
    ReadZonePlace(zoneFields, zone);
    if (zoneFields.Ok())
      zone.content = ReadContent(zoneFields, context, {"x", "y", "w", "h"}, false);
    if (!zoneFields.Ok()) {
      fields.FailWith(zoneFields.Error());
      return;
    }
    content.zones.push_back(std::move(zone));
  }
}

// One board's or zone's content: the kind named by its one content field,
// and the options that kind takes. `pageFields` are the page's (or the
// zone's) own fields, allowed beside the content's; `zones`: whether the
// content may be split into zones.
ContentModel ReadContent(FieldReader& fields, const Context& context,
                         std::initializer_list<std::string_view> pageFields, bool zones) {
  ContentModel content;
  std::vector<std::string_view> kinds;
  for (std::string_view kind : kKinds) {
    if (fields.Has(kind)) kinds.push_back(kind);
  }
  if (kinds.empty()) {
    std::string names;
    for (std::size_t i = 0; i < kKinds.size(); ++i) {
      if (!zones && kKinds[i] == "zones") continue;
      names +=
          (names.empty() ? "" : (i + 1 == kKinds.size() ? " albo " : ", ")) + Quoted(kKinds[i]);
    }
    fields.Fail("Brak treści: potrzebne jedno z pól " + names + ".");
    return content;
  }
  if (kinds.size() > 1) {
    fields.Fail("Pola " + Quoted(kinds[0]) + " i " + Quoted(kinds[1]) +
                " wykluczają się (jedna treść na tablicę).");
    return content;
  }
  std::vector<std::string_view> known(pageFields);
  known.push_back(kinds[0]);
  const std::string_view kind = kinds[0];
  if (kind == "text") {
    content.kind = ContentKind::Text;
    known.insert(known.end(), {"font", "size", "align"});
    if (auto lines = fields.Lines("text", 1, picture::kMaxTextLines)) content.options.text = *lines;
    ReadTextOptions(fields, context, content);
    if (auto align = fields.Choice("align", {"left", "centre", "center", "right"})) {
      content.options.align = *picture::AlignmentNamed(*align);
    }
  } else if (kind == "zones") {
    content.kind = ContentKind::Zones;
    if (!zones) {
      fields.FailField("zones", "nie może być w strefie (strefy nie dzielą się dalej).");
    } else {
      ReadZones(fields, context, content);
    }
  } else if (kind == "departures" || kind == "data" || kind == "rss") {
    content.kind = kind == "departures" ? ContentKind::Departures
                   : kind == "data"     ? ContentKind::Data
                                        : ContentKind::Rss;
    known.insert(known.end(), {"font", "size"});
    if (content.kind == ContentKind::Data) known.push_back("align");
    // The speed of an RSS line, or of the alerts under departures.
    if (content.kind != ContentKind::Data) known.push_back("speed");
    ReadLive(fields, kind, context, content);
    ReadTextOptions(fields, context, content);
    if (auto align = fields.Choice("align", {"left", "centre", "center", "right"})) {
      content.options.align = *picture::AlignmentNamed(*align);
    }
    content.speed = fields.Positive("speed", kMaxSpeed).value_or(content.speed);
  } else if (kind == "scroll") {
    content.kind = ContentKind::Scroll;
    known.insert(known.end(), {"font", "size", "speed", "times"});
    if (auto line = fields.Text("scroll")) content.scroll = *line;
    ReadTextOptions(fields, context, content);
    content.speed = fields.Positive("speed", kMaxSpeed).value_or(content.speed);
  } else {
    content.kind = kind == "picture" ? ContentKind::Picture : ContentKind::Animation;
    known.insert(known.end(), {"place", "dots", "threshold", "lit"});
    if (content.kind == ContentKind::Animation) known.push_back("times");
    ReadPictureSource(fields, kind, context, content.picture);
    ReadPictureOptions(fields, content);
  }
  fields.OnlyKnown(known, kContentFields, kind);
  content.times = fields.Integer("times", 1, kMaxTimes);
  return content;
}

// A page's `when`: the days of the week, the hours and the dates in which
// it is due.
std::optional<WhenRule> ReadWhen(FieldReader& fields) {
  const QJsonValue value = fields.Object().value("when");
  const std::string example =
      " (np. {\"days\": [1, 2, 3, 4, 5], \"from\": \"06:00\", \"to\": \"09:30\", "
      "\"dates\": [\"2026-12-24\", \"2026-12-27..2027-01-06\"]}).";
  if (!value.isObject()) {
    fields.FailField("when", "musi być obiektem JSON z polami days, from, to, dates" + example);
    return std::nullopt;
  }
  const QJsonObject when = value.toObject();
  WhenRule rule;
  for (const QString& key : when.keys()) {
    if (key != "days" && key != "from" && key != "to" && key != "dates") {
      fields.FailField(
          "when", "ma nieznane pole „" + key.toStdString() + "” (znane: days, from, to, dates).");
      return std::nullopt;
    }
  }
  if (when.contains("days")) {
    const QJsonArray days = when.value("days").toArray();
    bool good = when.value("days").isArray() && !days.isEmpty();
    for (const QJsonValue& day : days) {
      const double number = day.toDouble();
      good = good && day.isDouble() && number == std::floor(number) && number >= 1 && number <= 7;
      if (good) rule.days.push_back(static_cast<int>(number));
    }
    if (!good) {
      fields.FailField("when",
                       "ma złe „days”: potrzebna niepusta lista dni tygodnia, od 1 "
                       "(poniedziałek) do 7 (niedziela).");
      return std::nullopt;
    }
    std::sort(rule.days.begin(), rule.days.end());
    rule.days.erase(std::unique(rule.days.begin(), rule.days.end()), rule.days.end());
  }
  for (const char* key : {"from", "to"}) {
    if (!when.contains(key)) continue;
    const QJsonValue time = when.value(key);
    const bool end = std::string_view(key) == "to";
    const std::optional<int> minute = MinuteOfDay(time.toString().toStdString(), end);
    if (!time.isString() || !minute) {
      fields.FailField("when", "ma zły czas w „" + std::string(key) +
                                   "”: potrzebny „GG:MM” (np. „" +
                                   (end ? "09:30”; najpóźniej „24:00”)." : "06:00”)."));
      return std::nullopt;
    }
    (end ? rule.to : rule.from) = *minute;
  }
  if (rule.from && rule.to && *rule.from == *rule.to) {
    fields.FailField("when",
                     "ma „from” równe „to”: przedział bez długości (cała doba to "
                     "„00:00”–„24:00”).");
    return std::nullopt;
  }
  if (when.contains("dates")) {
    QJsonArray dates = when.value("dates").toArray();
    if (when.value("dates").isString()) dates = QJsonArray{when.value("dates")};
    if (dates.isEmpty() || dates.size() > kMaxDateRanges) {
      fields.FailField("when", "ma złe „dates”: potrzebna lista od 1 do " +
                                   std::to_string(kMaxDateRanges) + " dat lub przedziałów dat.");
      return std::nullopt;
    }
    for (const QJsonValue& date : dates) {
      const std::optional<DateRange> range = DateRangeOfText(date.toString().toStdString());
      if (!date.isString() || !range) {
        fields.FailField("when", "ma złą datę „" + date.toString().toStdString() +
                                     "” w „dates”: potrzebna np. „2026-12-24” albo przedział "
                                     "„2026-12-27..2027-01-06” (od wcześniejszej do późniejszej).");
        return std::nullopt;
      }
      rule.dates.push_back(*range);
    }
  }
  return rule;
}

// Where a page stands: among a show's pages, on its own (content sent
// without a show), or as the show's page for when no page is due.
enum class PageRole { Listed, Alone, Otherwise };

std::optional<PageModel> ReadPage(const QJsonValue& value, const ShowError& place, PageRole role,
                                  std::size_t pageCount, const Context& context, ShowError& error) {
  if (!value.isObject()) {
    error = Problem(place, "Strona musi być obiektem JSON ({…}).");
    return std::nullopt;
  }
  FieldReader fields(value.toObject(), place);
  PageModel page;
  if (role == PageRole::Alone) {
    for (const char* key : {"when", "transition"}) {
      if (fields.Has(key)) fields.FailField(key, "działa tylko na stronie pokazu (w „pages”).");
    }
  } else if (role == PageRole::Otherwise && fields.Has("when")) {
    fields.FailField("when",
                     "nie dotyczy strony „otherwise”: ta pokazuje się właśnie wtedy, "
                     "gdy żadnej innej nie ma w jej czasie.");
  }
  page.first = ReadContent(fields, context, {"seconds", "second", "when", "transition"}, true);
  if (auto seconds = fields.Positive("seconds", kMaxSeconds))
    page.seconds = LengthOfSeconds(*seconds);
  if (fields.Ok() && fields.Has("when")) page.when = ReadWhen(fields);
  if (auto transition = fields.Choice("transition", {"none", "slide-left", "slide-up", "wipe"})) {
    page.transition = TransitionNamed(*transition);
  }
  if (fields.Ok() && fields.Has("second")) {
    const QJsonValue second = fields.Object().value("second");
    if (!second.isObject()) {
      fields.FailField("second", "musi być obiektem JSON z treścią dla drugiej tablicy.");
    } else {
      ShowError secondPlace = place;
      secondPlace.second = true;
      FieldReader secondFields(second.toObject(), secondPlace);
      page.second = ReadContent(secondFields, context, {}, true);
      if (!secondFields.Ok()) {
        error = secondFields.Error();
        return std::nullopt;
      }
    }
  }
  const bool moving = page.first.Moving() || (page.second && page.second->Moving());
  const auto hasTimes = [](const ContentModel& content) {
    return content.times || std::any_of(content.zones.begin(), content.zones.end(),
                                        [](const ZoneModel& zone) { return zone.content.times; });
  };
  const bool counted = hasTimes(page.first) || (page.second && hasTimes(*page.second));
  if (fields.Ok() && page.seconds && counted) {
    fields.Fail("Pola " + Quoted("seconds") + " i " + Quoted("times") +
                " wykluczają się (strona trwa albo tyle sekund, albo tyle przebiegów).");
  }
  if (fields.Ok() && !moving && !page.seconds && pageCount > 1) {
    fields.Fail("Brak pola " + Quoted("seconds") + " (ile sekund strona ma być pokazywana).");
  }
  if (!fields.Ok()) {
    error = fields.Error();
    return std::nullopt;
  }
  return page;
}

// "22:00-06:00" in minutes since midnight; the end may be 24:00.
std::optional<BlankRange> ParseRange(const QString& text) {
  static const QRegularExpression kRange(
      QStringLiteral("^\\s*(\\d{1,2}):(\\d{2})\\s*-\\s*(\\d{1,2}):(\\d{2})\\s*$"));
  const QRegularExpressionMatch match = kRange.match(text);
  if (!match.hasMatch()) return std::nullopt;
  const int fromHour = match.captured(1).toInt();
  const int fromMinute = match.captured(2).toInt();
  const int toHour = match.captured(3).toInt();
  const int toMinute = match.captured(4).toInt();
  if (fromHour > 23 || fromMinute > 59 || toMinute > 59 || toHour > 24 ||
      (toHour == 24 && toMinute != 0)) {
    return std::nullopt;
  }
  BlankRange range{fromHour * 60 + fromMinute, toHour * 60 + toMinute};
  if (range.from == range.to) return std::nullopt;
  return range;
}

}  // namespace

ShowModelResult ParseShow(const QByteArray& json, const std::filesystem::path& folder,
                          ShowOrigin origin, const std::string& name) {
  QJsonParseError parsed{};
  const QJsonDocument document = QJsonDocument::fromJson(json, &parsed);
  if (parsed.error != QJsonParseError::NoError) {
    return {std::nullopt,
            Problem({}, "Plik " + name + " nie jest poprawnym JSON-em (błąd przy znaku " +
                            std::to_string(parsed.offset + 1) + ").")};
  }
  if (!document.isObject()) {
    return {std::nullopt,
            Problem({}, "Pokaz musi być obiektem JSON ({…}) z polem " + Quoted("pages") + ".")};
  }
  FieldReader fields(document.object(), ShowError{});
  fields.OnlyKnown({"repeat", "blank", "refresh", "pages", "otherwise", "transition"});
  ShowModel show;
  show.repeat = fields.Integer("repeat", 0, kMaxTimes).value_or(0);
  if (auto refresh = fields.Positive("refresh", kMaxSeconds))
    show.refresh = LengthOfSeconds(*refresh);
  if (auto transition = fields.Choice("transition", {"none", "slide-left", "slide-up", "wipe"})) {
    show.transition = *TransitionNamed(*transition);
  }
  if (fields.Ok() && fields.Has("blank")) {
    const QJsonValue blank = fields.Object().value("blank");
    QJsonArray ranges = blank.toArray();
    if (blank.isString()) ranges = QJsonArray{blank};
    if (!blank.isString() && !blank.isArray()) {
      fields.FailField("blank", "musi być listą przedziałów czasu, np. [\"22:00-06:00\"].");
    }
    for (const QJsonValue& range : ranges) {
      const std::optional<BlankRange> parsedRange = ParseRange(range.toString());
      if (!range.isString() || !parsedRange) {
        fields.FailField("blank", "ma zły przedział czasu „" + range.toString().toStdString() +
                                      "” (potrzebny np. „22:00-06:00”).");
        break;
      }
      show.blank.push_back(*parsedRange);
    }
  }
  const QJsonArray pages = fields.Object().value("pages").toArray();
  if (fields.Ok() && (!fields.Object().value("pages").isArray() || pages.isEmpty())) {
    fields.FailField("pages", "musi być niepustą listą stron.");
  }
  if (fields.Ok() && pages.size() > kMaxPages) {
    fields.FailField("pages", "może mieć najwyżej " + std::to_string(kMaxPages) + " stron.");
  }
  if (!fields.Ok()) return {std::nullopt, fields.Error()};

  const Context context{folder, origin};
  for (qsizetype i = 0; i < pages.size(); ++i) {
    ShowError error;
    std::optional<PageModel> page =
        ReadPage(pages[i], PlaceOf(static_cast<int>(i + 1)), PageRole::Listed,
                 static_cast<std::size_t>(pages.size()), context, error);
    if (!page) return {std::nullopt, error};
    show.pages.push_back(std::move(*page));
  }
  if (fields.Has("otherwise")) {
    ShowError place;
    place.otherwise = true;
    ShowError error;
    // Shown for as long as no page is due: a still one needs no `seconds`.
    show.otherwise =
        ReadPage(fields.Object().value("otherwise"), place, PageRole::Otherwise, 1, context, error);
    if (!show.otherwise) return {std::nullopt, error};
  }
  return {std::move(show), {}};
}

PageModelResult ParsePage(const QJsonObject& page, const std::filesystem::path& folder,
                          ShowOrigin origin) {
  ShowError error;
  std::optional<PageModel> read =
      ReadPage(page, PlaceOf(1), PageRole::Alone, 1, Context{folder, origin}, error);
  return {std::move(read), std::move(error)};
}

ShowModelResult ReadShowFile(const std::filesystem::path& file) {
  const std::string name = picture::Utf8Name(file);
  QFile input;
  if (!picture::OpenForReading(input, file)) {
    return {std::nullopt, Problem({}, "Nie mogę otworzyć pliku pokazu " + name + ".")};
  }
  // Read no more than the limit, whatever the file claims (a FIFO, a device).
  const QByteArray json = input.read(kMaxShowFileBytes + 1);
  if (input.error() != QFileDevice::NoError) {
    return {std::nullopt, Problem({}, "Nie mogę odczytać pliku pokazu " + name + ".")};
  }
  if (json.size() > kMaxShowFileBytes) {
    return {std::nullopt, Problem({}, "Plik pokazu " + name + " jest za duży (ponad 64 MiB).")};
  }
  std::filesystem::path folder = file.parent_path();
  if (folder.empty()) folder = ".";
  return ParseShow(json, folder, ShowOrigin::File, "pokazu " + name);
}

}  // namespace tablica::show
