#pragma once

// The virtual board's reading of the byte stream. It checks what the program
// sends, so it keeps its own idea of the wire format and its own checksums:
// nothing here comes from the program's frame builder.
//
//   frame: 0xAA 0x01 0x00 header, 512 dot bytes, checksum (XOR of bytes 1..515)
//   block: 512 dot bytes, checksum (XOR of the dots with 3), sent right after a
//          frame whose header byte is 2, bound for the second board
//
// The parser is fed bytes as they arrive, in pieces of any size, and hands
// back whole units. Bytes that fit no unit come back as garbage units, never
// dropped.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace emulator {

inline constexpr std::size_t kDotBytes = 512;
inline constexpr std::size_t kFrameBytes = 4 + kDotBytes + 1;  // 517
inline constexpr std::size_t kBlockBytes = kDotBytes + 1;      // 513
inline constexpr std::uint8_t kFrameStart = 0xAA;
inline constexpr std::uint8_t kHeaderWithBlock = 2;
// Garbage is handed back in pieces of at most this many bytes, so a stream
// of noise never grows without bound.
inline constexpr std::size_t kMaxGarbageUnit = 4096;

enum class UnitKind { Frame, Block, Garbage };

struct Unit {
  UnitKind kind = UnitKind::Garbage;
  std::vector<std::uint8_t> bytes;  // every byte of the unit, as received
  bool checksumOk = false;          // frames and blocks only

  // 1 for a frame, 2 for a block, 0 for garbage.
  int Board() const;
  // The 512 dot bytes of a frame or block; empty for garbage.
  std::span<const std::uint8_t> Dots() const;
  friend bool operator==(const Unit&, const Unit&) = default;
};

// Checksum rules, on whole units (false for a unit of the wrong length).
bool FrameChecksumOk(std::span<const std::uint8_t> frame);
bool BlockChecksumOk(std::span<const std::uint8_t> block);

class FrameParser {
 public:
  // Takes the next bytes of the stream; returns the units they complete.
  std::vector<Unit> Feed(std::span<const std::uint8_t> bytes);

  // Hands back the garbage collected so far; a frame or block in progress
  // stays. For a line that has gone quiet.
  std::vector<Unit> TakeGarbage();

  // Gives up on whatever is in progress: a partial frame or block comes back
  // as garbage and an expected block is no longer expected. For a line that
  // has been quiet too long for the unit to be finished, and at exit.
  std::vector<Unit> Abandon();

  // True while a frame or block is partly received or a block is expected.
  bool InUnit() const { return state_ != State::Searching; }

 private:
  enum class State { Searching, Header, Frame, ExpectBlock, Block };

  void Step(std::uint8_t byte, std::vector<Unit>& out);
  void Refeed(std::span<const std::uint8_t> bytes, std::vector<Unit>& out);
  void AddGarbage(std::uint8_t byte, std::vector<Unit>& out);
  void EmitGarbage(std::vector<Unit>& out);
  void Complete(UnitKind kind, bool checksumOk, std::vector<Unit>& out);

  State state_ = State::Searching;
  std::vector<std::uint8_t> garbage_;
  std::vector<std::uint8_t> current_;  // the unit being received
};

}  // namespace emulator
