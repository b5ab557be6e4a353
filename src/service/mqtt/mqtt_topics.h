#pragma once

// The board's topics on the broker. Commands come to
//   tablica/<name>/text     lines of text (UTF-8, one line per line)
//   tablica/<name>/picture  a picture file's bytes
//   tablica/<name>/show     a show (JSON, pictures inline)
//   tablica/<name>/notify   {"text": [...] or "picture": "data:...", "seconds": N or
//                           "hold": true, "priority": 0..9, "id": "..."}
//   tablica/<name>/notify/cancel  an id: that notification is cancelled; empty: all
//   tablica/<name>/blank    anything: the board goes dark
// and the same under tablica/all/ to every board at once, and under
// tablica/group/<group>/ to the boards of a group (--group). The board tells
//   tablica/<name>/status        the service's status (JSON), retained
//   tablica/<name>/availability  "online", or "offline" (also its last will), retained
//   tablica/<name>/image         the board as a PNG picture, retained
//   tablica/<name>/instance      the client id of the service that last took
//                                the name, retained: a service that finds
//                                another's here while the board is online
//                                knows the name is used twice

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tablica::service::mqtt {

enum class Command { Text, Picture, Show, Notify, Cancel, Blank };

inline constexpr std::string_view kOnline = "online";
inline constexpr std::string_view kOffline = "offline";

class BoardTopics {
 public:
  // `name` and `groups` are checked names (letters, digits, '-', '_').
  explicit BoardTopics(std::string name, std::vector<std::string> groups = {});

  const std::string& Name() const { return name_; }
  std::string Status() const;
  std::string Availability() const;
  std::string Image() const;
  std::string Instance() const;
  std::string CommandTopic(Command command) const;
  // The command topics the board listens to: six each for its own name,
  // tablica/all/ and each of its groups.
  std::vector<std::string> Subscriptions() const;
  // Which command a topic carries to this board; unset for any other topic.
  std::optional<Command> CommandOf(std::string_view topic) const;

 private:
  std::string name_;
  std::vector<std::string> groups_;
};

// The lines of a text payload: split at line feeds (a carriage return
// before one is dropped, and so is one line feed at the very end).
// Unset when the payload is not UTF-8 or has no line.
std::optional<std::vector<std::string>> TextLines(std::string_view payload);

}  // namespace tablica::service::mqtt
