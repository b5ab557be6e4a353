#pragma once

// Reading the fields of one object of a show file: each getter checks the
// field's type and range and, on the first problem, keeps what is wrong
// with its place (page, board, zone) and field. Later getters then do
// nothing, so a reader can take every field and look at Ok() once.

#include <QJsonObject>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "show/show_error.h"

namespace tablica::show {

class FieldReader {
 public:
  // `place` (its page, board and zone) is where every problem is said to be.
  FieldReader(const QJsonObject& object, ShowError place);

  bool Ok() const { return error_.Empty(); }
  const ShowError& Error() const { return error_; }
  const ShowError& Place() const { return place_; }
  // Keeps `sentence` (Polish) as what is wrong with the object, or
  // `problem` as what is wrong with its field `key` (said after the field's
  // name), unless a problem is kept already.
  void Fail(const std::string& sentence);
  void FailField(std::string_view key, const std::string& problem);
  // Keeps a problem found inside the object (in one of its zones).
  void FailWith(const ShowError& error);

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
  ShowError place_;
  ShowError error_;
};

}  // namespace tablica::show
