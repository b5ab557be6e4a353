#include "emulator/frame_parser.h"

#include <algorithm>
#include <array>
#include <utility>

namespace emulator {

namespace {

constexpr std::array<std::uint8_t, 3> kFrameSignature{kFrameStart, 0x01, 0x00};

std::uint8_t XorOf(std::span<const std::uint8_t> bytes) {
  std::uint8_t result = 0;
  for (std::uint8_t b : bytes) result ^= b;
  return result;
}

// Where a frame signature (0xAA 0x01 0x00) starts in `bytes` at or after
// `from`, or bytes.size() when there is none.
std::size_t FindSignature(std::span<const std::uint8_t> bytes, std::size_t from) {
  const auto it = std::search(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end(),
                              kFrameSignature.begin(), kFrameSignature.end());
  return static_cast<std::size_t>(it - bytes.begin());
}

}  // namespace

int Unit::Board() const {
  switch (kind) {
    case UnitKind::Frame:
      return 1;
    case UnitKind::Block:
      return 2;
    case UnitKind::Garbage:
      break;
  }
  return 0;
}

std::span<const std::uint8_t> Unit::Dots() const {
  const std::span<const std::uint8_t> all(bytes);
  if (kind == UnitKind::Frame && all.size() == kFrameBytes) return all.subspan(4, kDotBytes);
  if (kind == UnitKind::Block && all.size() == kBlockBytes) return all.first(kDotBytes);
  return {};
}

bool FrameChecksumOk(std::span<const std::uint8_t> frame) {
  if (frame.size() != kFrameBytes) return false;
  return XorOf(frame.subspan(1, kFrameBytes - 2)) == frame.back();
}

bool BlockChecksumOk(std::span<const std::uint8_t> block) {
  if (block.size() != kBlockBytes) return false;
  // The program computes the block's checksum over the frame it last sent,
  // whose header bytes 1, 0 and 2 are not part of the block: they add 3.
  return static_cast<std::uint8_t>(XorOf(block.first(kDotBytes)) ^ 0x03) == block.back();
}

std::vector<Unit> FrameParser::Feed(std::span<const std::uint8_t> bytes) {
  std::vector<Unit> out;
  for (std::uint8_t b : bytes) Step(b, out);
  return out;
}

std::vector<Unit> FrameParser::TakeGarbage() {
  std::vector<Unit> out;
  EmitGarbage(out);
  return out;
}

std::vector<Unit> FrameParser::Abandon() {
  std::vector<Unit> out;
  garbage_.insert(garbage_.end(), current_.begin(), current_.end());
  current_.clear();
  state_ = State::Searching;
  EmitGarbage(out);
  return out;
}

void FrameParser::Refeed(std::span<const std::uint8_t> bytes, std::vector<Unit>& out) {
  for (std::uint8_t b : bytes) Step(b, out);
}

void FrameParser::AddGarbage(std::uint8_t byte, std::vector<Unit>& out) {
  garbage_.push_back(byte);
  if (garbage_.size() >= kMaxGarbageUnit) EmitGarbage(out);
}

void FrameParser::EmitGarbage(std::vector<Unit>& out) {
  if (garbage_.empty()) return;
  out.push_back(Unit{UnitKind::Garbage, std::exchange(garbage_, {}), false});
}

void FrameParser::Complete(UnitKind kind, bool checksumOk, std::vector<Unit>& out) {
  EmitGarbage(out);
  out.push_back(Unit{kind, std::exchange(current_, {}), checksumOk});
}

void FrameParser::Step(std::uint8_t byte, std::vector<Unit>& out) {
  switch (state_) {
    case State::Searching:
      if (byte == kFrameStart) {
        current_.assign(1, byte);
        state_ = State::Header;
      } else {
        AddGarbage(byte, out);
      }
      return;

    case State::Header:
      current_.push_back(byte);
      if (current_.size() <= kFrameSignature.size() &&
          byte != kFrameSignature[current_.size() - 1]) {
        // Not a frame after all: its start byte is garbage, and the bytes
        // after it are looked at again (one may start the real frame).
        std::vector<std::uint8_t> rest(current_.begin() + 1, current_.end());
        AddGarbage(current_.front(), out);
        current_.clear();
        state_ = State::Searching;
        Refeed(rest, out);
        return;
      }
      if (current_.size() == 4) {
        EmitGarbage(out);  // what came before a real frame is settled
        state_ = State::Frame;
      }
      return;

    case State::Frame: {
      current_.push_back(byte);
      if (current_.size() < kFrameBytes) return;
      if (FrameChecksumOk(current_)) {
        const bool blockFollows = current_[3] == kHeaderWithBlock;
        Complete(UnitKind::Frame, true, out);
        state_ = blockFollows ? State::ExpectBlock : State::Searching;
        return;
      }
      // A bad frame that holds another frame's start was most likely cut
      // short (a writer that gave up or died): its beginning is garbage and
      // the frame that interrupted it is read again from its start.
      const std::size_t restart = FindSignature(current_, 1);
      if (restart < current_.size()) {
        std::vector<std::uint8_t> rest(current_.begin() + static_cast<std::ptrdiff_t>(restart),
                                       current_.end());
        garbage_.insert(garbage_.end(), current_.begin(),
                        current_.begin() + static_cast<std::ptrdiff_t>(restart));
        current_.clear();
        state_ = State::Searching;
        Refeed(rest, out);
        return;
      }
      Complete(UnitKind::Frame, false, out);
      state_ = State::Searching;
      return;
    }

    case State::ExpectBlock:
      current_.assign(1, byte);
      state_ = State::Block;
      return;

    case State::Block: {
      current_.push_back(byte);
      if (current_.size() < kBlockBytes) return;
      if (BlockChecksumOk(current_)) {
        Complete(UnitKind::Block, true, out);
        state_ = State::Searching;
        return;
      }
      // The block that should have followed may never have come (the second
      // write failed) and the next frame was taken for it: read it again.
      const std::size_t restart = FindSignature(current_, 0);
      if (restart < current_.size()) {
        std::vector<std::uint8_t> rest(current_.begin() + static_cast<std::ptrdiff_t>(restart),
                                       current_.end());
        garbage_.insert(garbage_.end(), current_.begin(),
                        current_.begin() + static_cast<std::ptrdiff_t>(restart));
        current_.clear();
        state_ = State::Searching;
        Refeed(rest, out);
        return;
      }
      Complete(UnitKind::Block, false, out);
      state_ = State::Searching;
      return;
    }
  }
}

}  // namespace emulator
