#include "service/mqtt/mqtt_topics.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tablica::service::mqtt {

namespace {

constexpr std::string_view kRoot = "tablica/";
constexpr std::string_view kEveryBoard = "all";
constexpr std::string_view kGroup = "group/";

constexpr std::array<std::pair<Command, std::string_view>, 6> kCommands{{
    {Command::Text, "text"},
    {Command::Picture, "picture"},
    {Command::Show, "show"},
    {Command::Notify, "notify"},
    {Command::Cancel, "notify/cancel"},
    {Command::Blank, "blank"},
}};

std::string_view CommandName(Command command) {
  for (const auto& [known, name] : kCommands) {
    if (known == command) return name;
  }
  return {};
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsUtf8(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size()) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    unsigned least = 0;
    unsigned code = 0;
    if (lead < 0x80) {
      ++at;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, least = 0x80, code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, least = 0x800, code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, least = 0x10000, code = lead & 0x07u;
    } else {
      return false;
    }
    if (text.size() - at < length) return false;
    for (std::size_t i = 1; i < length; ++i) {
      const auto next = static_cast<unsigned char>(text[at + i]);
      if ((next & 0xC0u) != 0x80u) return false;
      code = (code << 6) | (next & 0x3Fu);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    at += length;
  }
  return true;
}

}  // namespace

BoardTopics::BoardTopics(std::string name, std::vector<std::string> groups)
    : name_(std::move(name)), groups_(std::move(groups)) {}

std::string BoardTopics::Status() const {
  return std::string(kRoot) + name_ + "/status";
}

std::string BoardTopics::Availability() const {
  return std::string(kRoot) + name_ + "/availability";
}

std::string BoardTopics::Image() const {
  return std::string(kRoot) + name_ + "/image";
}

std::string BoardTopics::Instance() const {
  return std::string(kRoot) + name_ + "/instance";
}

std::string BoardTopics::CommandTopic(Command command) const {
  return std::string(kRoot) + name_ + "/" + std::string(CommandName(command));
}

std::vector<std::string> BoardTopics::Subscriptions() const {
  std::vector<std::string> boards{name_, std::string(kEveryBoard)};
  for (const std::string& group : groups_) boards.push_back(std::string(kGroup) + group);
  std::vector<std::string> topics;
  for (const std::string& board : boards) {
    for (const auto& [command, name] : kCommands) {
      topics.push_back(std::string(kRoot) + board + "/" + std::string(name));
    }
  }
  return topics;
}

std::optional<Command> BoardTopics::CommandOf(std::string_view topic) const {
  if (!topic.starts_with(kRoot)) return std::nullopt;
  topic.remove_prefix(kRoot.size());
  const bool group = topic.starts_with(kGroup);
  if (group) topic.remove_prefix(kGroup.size());
  const std::size_t slash = topic.find('/');
  if (slash == std::string_view::npos) return std::nullopt;
  const std::string_view board = topic.substr(0, slash);
  const bool ours = group ? std::find(groups_.begin(), groups_.end(), board) != groups_.end()
                          : board == name_ || board == kEveryBoard;
  if (!ours) return std::nullopt;
  const std::string_view rest = topic.substr(slash + 1);
  for (const auto& [command, name] : kCommands) {
    if (rest == name) return command;
  }
  return std::nullopt;
}

std::optional<std::vector<std::string>> TextLines(std::string_view payload) {
  if (!IsUtf8(payload)) return std::nullopt;
  if (payload.ends_with('\n')) payload.remove_suffix(1);
  if (payload.ends_with('\r')) payload.remove_suffix(1);
  if (payload.empty()) return std::nullopt;
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = payload.find('\n', start);
    std::string_view line =
        payload.substr(start, end == std::string_view::npos ? end : end - start);
    if (line.ends_with('\r')) line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return lines;
}

}  // namespace tablica::service::mqtt
