#include "live/data_source.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QXmlStreamReader>

namespace tablica::live {

namespace {

std::string ValueText(const QJsonValue& value) {
  switch (value.type()) {
    case QJsonValue::String:
      return value.toString().toStdString();
    case QJsonValue::Double: {
      const double number = value.toDouble();
      return QString::number(number, 'g', 15).toStdString();
    }
    case QJsonValue::Bool:
      return value.toBool() ? "true" : "false";
    case QJsonValue::Object:
      return QJsonDocument(value.toObject()).toJson(QJsonDocument::Compact).toStdString();
    case QJsonValue::Array:
      return QJsonDocument(value.toArray()).toJson(QJsonDocument::Compact).toStdString();
    default:
      return "null";
  }
}

}  // namespace

std::variant<std::string, std::string> JsonPointerText(const std::string& bytes,
                                                       const std::string& pointer) {
  using Result = std::variant<std::string, std::string>;
  const auto fail = [](std::string reason) {
    return Result(std::in_place_index<1>, std::move(reason));
  };
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(
      QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())), &error);
  if (error.error != QJsonParseError::NoError) {
    return fail("odpowiedź nie jest dokumentem JSON (" + error.errorString().toStdString() + ")");
  }
  QJsonValue at = document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
  if (!pointer.empty() && pointer.front() != '/') {
    return fail("wskaźnik JSON „" + pointer + "” musi zaczynać się od /");
  }
  std::size_t from = 1;
  while (!pointer.empty() && from <= pointer.size()) {
    const std::size_t end = std::min(pointer.find('/', from), pointer.size());
    std::string token;
    for (std::size_t i = from; i < end; ++i) {
      if (pointer[i] == '~' && i + 1 < end && (pointer[i + 1] == '0' || pointer[i + 1] == '1')) {
        token += pointer[++i] == '0' ? '~' : '/';
      } else if (pointer[i] == '~') {
        return fail("wskaźnik JSON „" + pointer + "” ma ~ bez 0 ani 1");
      } else {
        token += pointer[i];
      }
    }
    from = end + 1;
    if (at.isObject()) {
      const QJsonObject object = at.toObject();
      const QString key = QString::fromStdString(token);
      if (!object.contains(key)) return fail("w odpowiedzi nie ma „" + pointer + "”");
      at = object.value(key);
    } else if (at.isArray()) {
      const QJsonArray array = at.toArray();
      const bool digits = !token.empty() && token.size() < 10 &&
                          token.find_first_not_of("0123456789") == std::string::npos &&
                          (token == "0" || token.front() != '0');
      if (!digits || std::stoll(token) >= array.size()) {
        return fail("w odpowiedzi nie ma „" + pointer + "”");
      }
      at = array.at(static_cast<qsizetype>(std::stoll(token)));
    } else {
      return fail("w odpowiedzi nie ma „" + pointer + "”");
    }
  }
  return Result(std::in_place_index<0>, ValueText(at));
}

std::string FillValue(const std::string& text, const std::string& value) {
  std::string filled = text;
  const std::string mark = "{value}";
  for (std::size_t at = filled.find(mark); at != std::string::npos;
       at = filled.find(mark, at + value.size())) {
    filled.replace(at, mark.size(), value);
  }
  return filled;
}

std::variant<std::vector<std::string>, std::string> FeedTitles(const std::string& bytes,
                                                               std::size_t items) {
  QXmlStreamReader reader(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  std::vector<std::string> titles;
  bool known = false;
  int inItem = 0;
  while (!reader.atEnd() && titles.size() < items) {
    reader.readNext();
    if (reader.isStartElement()) {
      const auto name = reader.name();
      if (!known && (name == u"rss" || name == u"feed" || name == u"RDF")) known = true;
      if (name == u"item" || name == u"entry") {
        ++inItem;
      } else if (inItem > 0 && name == u"title") {
        const QString title =
            reader.readElementText(QXmlStreamReader::IncludeChildElements).simplified();
        if (!title.isEmpty()) titles.push_back(title.toStdString());
      }
    } else if (reader.isEndElement() && (reader.name() == u"item" || reader.name() == u"entry")) {
      --inItem;
    }
  }
  if (reader.hasError() && titles.size() < items) {
    return std::string("kanał RSS jest uszkodzony (" + reader.errorString().toStdString() + ")");
  }
  if (!known) return std::string("odpowiedź nie jest kanałem RSS ani Atom");
  return titles;
}

void SourceState::Succeeded(std::string text, Clock::time_point at) {
  good_ = std::move(text);
  goodAt_ = at;
  failing_ = false;
}

std::string SourceState::Failed(const std::string& fault, Clock::time_point) {
  const bool said = failing_;
  failing_ = true;
  fault_ = fault;
  return said ? std::string() : fault;
}

std::optional<SourceState::Clock::duration> SourceState::Age(Clock::time_point now) const {
  if (!good_) return std::nullopt;
  return now - goodAt_;
}

}  // namespace tablica::live
