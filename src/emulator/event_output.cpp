#include "emulator/event_output.h"

#include <cstdio>

#include "board/board_dots.h"

namespace emulator {

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string ReadyJson(int port, const std::string& device) {
  std::string out = "{\"event\":\"ready\"";
  if (port != 0) out += ",\"port\":" + std::to_string(port);
  return out + ",\"device\":" + JsonString(device) + "}";
}

std::string UnitJson(const Unit& unit) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out = "{\"event\":\"";
  switch (unit.kind) {
    case UnitKind::Frame:
      out += "frame";
      break;
    case UnitKind::Block:
      out += "block";
      break;
    case UnitKind::Garbage:
      out += "garbage";
      break;
  }
  out += "\"";
  if (unit.kind != UnitKind::Garbage) out += ",\"board\":" + std::to_string(unit.Board());
  out += ",\"bytes\":\"";
  out.reserve(out.size() + 2 * unit.bytes.size() + 32);
  for (std::uint8_t b : unit.bytes) {
    out += kHex[b >> 4];
    out += kHex[b & 0x0F];
  }
  out += "\"";
  if (unit.kind != UnitKind::Garbage) {
    out += unit.checksumOk ? ",\"checksum_ok\":true" : ",\"checksum_ok\":false";
  }
  return out + "}";
}

std::string MonotonicSeconds(std::chrono::steady_clock::time_point moment) {
  const auto micros =
      std::chrono::duration_cast<std::chrono::microseconds>(moment.time_since_epoch()).count();
  const long long whole = micros / 1000000;
  const long long fraction = micros % 1000000;
  char text[48];
  // The clock starts at the machine's boot, so a moment is never negative.
  std::snprintf(text, sizeof text, "%lld.%06lld", whole, fraction < 0 ? -fraction : fraction);
  return text;
}

std::string UnitJson(const Unit& unit, std::chrono::steady_clock::time_point completed) {
  std::string out = UnitJson(unit);
  out.pop_back();  // the closing brace
  return out + ",\"t\":" + MonotonicSeconds(completed) + "}";
}

std::string DrawBoard(const BoardDots& board) {
  return tablica::DrawDotsText(board);
}

}  // namespace emulator
