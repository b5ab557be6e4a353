#pragma once

// Reading the fields of one object of a show file: each getter checks the
// field's type and range and, on the first problem, keeps a Polish message
// that names the place ("Strona 3") and the field. Later getters then do
// nothing, so a reader can take every field and look at Ok() once.

#include <QJsonObject>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tablica::show {

class FieldReader {
 public:
  // `where` opens every message: "Pokaz", "Strona 3", "Strona 3, druga tablica".
  FieldReader(const QJsonObject& object, std::string where);

  bool Ok() const { return error_.empty(); }
  const std::string& Error() const { return error_; }
  const std::string& Where() const { return where_; }
  // Keeps `problem` (Polish, starting in lower case) as the message, unless
  // one is kept already.
  void Fail(const std::string& problem);
  void FailField(std::string_view key, const std::string& problem);

  bool Has(std::string_view key) const;
  const QJsonObject& Object() const { return object_; }
  // Every field of the object must be one of `known`; one of `elsewhere`
  // (a field of another kind of content) is said not to belong to `kind`.
  void OnlyKnown(const std::vector<std::string_view>& known,
                 const std::vector<std::string_view>& elsewhere = {}, std::string_view kind = {});

  std::optional<int> Integer(std::string_view key, int low, int high);
  // A number above 0 and at most `high`.
  std::optional<double> Positive(std::string_view key, double high);
  std::optional<std::string> Text(std::string_view key);
  // One string, or a list of `low` to `high` strings.
  std::optional<std::vector<std::string>> Lines(std::string_view key, int low, int high);
  // One of `names` (as the command-line options spell them).
  std::optional<std::string> Choice(std::string_view key,
                                    std::initializer_list<std::string_view> names);

 private:
  QJsonValue Value(std::string_view key) const;

  QJsonObject object_;
  std::string where_;
  std::string error_;
};

// „name”, as messages quote a field.
std::string Quoted(std::string_view name);

// A message of the picture library made part of a sentence: its first
// letter in lower case unless it begins a word in capitals ("GNU").
std::string AsClause(const std::string& message);

}  // namespace tablica::show
