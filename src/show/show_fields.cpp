#include "show/show_fields.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QString>
#include <cmath>

namespace tablica::show {

namespace {

QString Key(std::string_view key) {
  return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size()));
}

std::string NumberText(double value) {
  if (value == std::floor(value) && std::abs(value) < 1e15) {
    return std::to_string(static_cast<long long>(value));
  }
  return QString::number(value).toStdString();
}

}  // namespace

FieldReader::FieldReader(const QJsonObject& object, ShowError place)
    : object_(object), place_(std::move(place)) {}

void FieldReader::Fail(const std::string& sentence) {
  if (!Ok()) return;
  error_ = place_;
  error_.message = sentence;
}

void FieldReader::FailField(std::string_view key, const std::string& problem) {
  if (!Ok()) return;
  error_ = place_;
  error_.field = std::string(key);
  error_.message = problem;
}

void FieldReader::FailWith(const ShowError& error) {
  if (Ok()) error_ = error;
}

bool FieldReader::Has(std::string_view key) const {
  return object_.contains(Key(key));
}

QJsonValue FieldReader::Value(std::string_view key) const {
  return object_.value(Key(key));
}

void FieldReader::OnlyKnown(const std::vector<std::string_view>& known,
                            const std::vector<std::string_view>& elsewhere, std::string_view kind) {
  const auto among = [](const QString& key, const std::vector<std::string_view>& names) {
    for (std::string_view name : names) {
      if (key == Key(name)) return true;
    }
    return false;
  };
  for (const QString& key : object_.keys()) {
    if (among(key, known)) continue;
    if (among(key, elsewhere)) {
      FailField(key.toStdString(), "nie dotyczy treści " + Quoted(kind) + ".");
    } else {
      FailField(key.toStdString(), "jest nieznane.");
    }
    return;
  }
}

std::optional<int> FieldReader::Integer(std::string_view key, int low, int high) {
  if (!Ok() || !Has(key)) return std::nullopt;
  const QJsonValue value = Value(key);
  const double number = value.toDouble();
  if (!value.isDouble() || number != std::floor(number) || number < low || number > high) {
    FailField(key,
              "musi być liczbą całkowitą od " + NumberText(low) + " do " + NumberText(high) + ".");
    return std::nullopt;
  }
  return static_cast<int>(number);
}

std::optional<double> FieldReader::Positive(std::string_view key, double high) {
  if (!Ok() || !Has(key)) return std::nullopt;
  const QJsonValue value = Value(key);
  const double number = value.toDouble();
  if (!value.isDouble() || !(number > 0) || number > high) {
    FailField(key, "musi być liczbą większą od zera, najwyżej " + NumberText(high) + ".");
    return std::nullopt;
  }
  return number;
}

std::optional<std::string> FieldReader::Text(std::string_view key) {
  if (!Ok() || !Has(key)) return std::nullopt;
  const QJsonValue value = Value(key);
  if (!value.isString()) {
    FailField(key, "musi być tekstem (w cudzysłowie).");
    return std::nullopt;
  }
  return value.toString().toStdString();
}

std::optional<std::vector<std::string>> FieldReader::Lines(std::string_view key, int low,
                                                           int high) {
  if (!Ok() || !Has(key)) return std::nullopt;
  const QJsonValue value = Value(key);
  if (value.isString()) return std::vector<std::string>{value.toString().toStdString()};
  const QJsonArray array = value.toArray();
  bool strings = value.isArray() && array.size() >= low && array.size() <= high;
  std::vector<std::string> lines;
  for (const QJsonValue& line : array) {
    strings = strings && line.isString();
    lines.push_back(line.toString().toStdString());
  }
  if (!strings) {
    FailField(key, "musi być tekstem albo listą " + NumberText(low) + " do " + NumberText(high) +
                       " tekstów.");
    return std::nullopt;
  }
  return lines;
}

std::optional<std::string> FieldReader::Choice(std::string_view key,
                                               std::initializer_list<std::string_view> names) {
  const std::optional<std::string> text = Text(key);
  if (!text) return std::nullopt;
  std::string list;
  for (std::string_view name : names) {
    if (*text == name) return text;
    list += (list.empty() ? "" : ", ") + std::string(name);
  }
  FailField(key, "musi mieć jedną z wartości: " + list + " (jest „" + *text + "”).");
  return std::nullopt;
}

}  // namespace tablica::show
