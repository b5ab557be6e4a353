#include "service/notice_request.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

#include "show/notice_queue.h"

namespace tablica::service {

namespace {

constexpr std::size_t kLongestId = 64;

std::string BadId() {
  return "Identyfikator powiadomienia („id”) to od 1 do " + std::to_string(kLongestId) +
         " znaków: litery łacińskie, cyfry, „-”, „_” i „.”.";
}

std::string BadPriority() {
  return "Priorytet powiadomienia („priority”) to liczba całkowita od " +
         std::to_string(show::kLowestPriority) + " do " + std::to_string(show::kHighestPriority) +
         ".";
}

const std::string kBadHold = "Pole „hold” powiadomienia to 1 albo 0 (true albo false).";

std::optional<std::string> OneParam(const QueryParams& params, const std::string& name,
                                    std::string& error) {
  const auto count = params.count(name);
  if (count == 0) return std::nullopt;
  if (count > 1 && error.empty()) error = "Parametr „" + name + "” podano więcej niż raz.";
  return params.find(name)->second;
}

}  // namespace

bool IsNoticeId(std::string_view id) {
  return !id.empty() && id.size() <= kLongestId && std::ranges::all_of(id, [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
  });
}

NoticeFieldsResult NoticeFieldsOfQuery(const QueryParams& params) {
  NoticeFieldsResult result;
  std::string& error = result.error;
  const SecondsQuery seconds = NotifySeconds(params);
  if (!seconds.error.empty()) return {{}, seconds.error};
  result.fields.seconds = seconds.length;
  if (auto id = OneParam(params, "id", error)) {
    if (!IsNoticeId(*id)) return {{}, BadId()};
    result.fields.id = *id;
  }
  if (auto priority = OneParam(params, "priority", error)) {
    bool ok = false;
    const int value = QByteArray::fromStdString(*priority).toInt(&ok);
    if (!ok || value < show::kLowestPriority || value > show::kHighestPriority) {
      return {{}, BadPriority()};
    }
    result.fields.priority = value;
  }
  if (auto hold = OneParam(params, "hold", error)) {
    if (*hold != "0" && *hold != "1" && *hold != "true" && *hold != "false") return {{}, kBadHold};
    result.fields.hold = *hold == "1" || *hold == "true";
  }
  if (!error.empty()) return {{}, error};
  return result;
}

NoticeFieldsResult TakeNoticeFields(std::string& json) {
  const QByteArray bytes(json.data(), static_cast<qsizetype>(json.size()));
  const QJsonDocument document = QJsonDocument::fromJson(bytes);
  if (!document.isObject()) return {};
  QJsonObject object = document.object();
  if (!object.contains("id") && !object.contains("priority") && !object.contains("hold")) return {};
  NoticeFieldsResult result;
  if (object.contains("id")) {
    const QJsonValue id = object.take("id");
    if (!id.isString() || !IsNoticeId(id.toString().toStdString())) return {{}, BadId()};
    result.fields.id = id.toString().toStdString();
  }
  if (object.contains("priority")) {
    const double priority = object.take("priority").toDouble(-1);
    if (priority != static_cast<int>(priority) || priority < show::kLowestPriority ||
        priority > show::kHighestPriority) {
      return {{}, BadPriority()};
    }
    result.fields.priority = static_cast<int>(priority);
  }
  if (object.contains("hold")) {
    const QJsonValue hold = object.take("hold");
    if (hold.isBool()) {
      result.fields.hold = hold.toBool();
    } else if (hold.isDouble() && (hold.toDouble() == 0 || hold.toDouble() == 1)) {
      result.fields.hold = hold.toDouble() == 1;
    } else {
      return {{}, kBadHold};
    }
  }
  json = QJsonDocument(object).toJson(QJsonDocument::Compact).toStdString();
  return result;
}

NoticeOptionsResult NoticeOptionsOf(const NoticeFields& query, const NoticeFields& body,
                                    std::optional<std::chrono::milliseconds> contentSeconds) {
  NoticeOptions options;
  options.id = query.id.value_or(body.id.value_or(""));
  options.priority = query.priority.value_or(body.priority.value_or(show::kDefaultPriority));
  const bool hold = query.hold.value_or(body.hold.value_or(false));
  const auto length = query.seconds ? query.seconds : contentSeconds;
  if (hold && length) {
    return {std::nullopt,
            "Powiadomienie ma albo czas („seconds”), albo „hold” (do odwołania), "
            "nie jedno i drugie."};
  }
  if (!hold && !length) {
    return {std::nullopt,
            "Podaj, na ile sekund pokazać powiadomienie (/api/notify?seconds=N) albo hold=1, "
            "by było pokazywane do odwołania."};
  }
  if (length && !NotifyLengthAllowed(*length)) {
    return {std::nullopt, "Pole „seconds” powiadomienia musi mieć od 1 do " +
                              std::to_string(kMaxNotifySeconds) + " sekund."};
  }
  options.length = length;
  return {options, {}};
}

}  // namespace tablica::service
