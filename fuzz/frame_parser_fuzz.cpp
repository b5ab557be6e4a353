// Fuzzes the virtual board's stream parser. The input is split into pieces
// whose sizes come from the input itself, the way a line delivers bytes in
// reads of any length. Whatever arrives, every byte must come back exactly
// once and in order, frames and blocks must have their exact lengths and
// shapes, and their checksum verdicts must agree with the checksum rules.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "emulator/frame_parser.h"

namespace {

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "frame parser: %s\n", what);
  std::abort();
}

void CheckUnit(const emulator::Unit& unit, const emulator::Unit* previous) {
  using emulator::UnitKind;
  switch (unit.kind) {
    case UnitKind::Frame:
      if (unit.bytes.size() != emulator::kFrameBytes) Fail("frame of the wrong length");
      if (unit.bytes[0] != 0xAA || unit.bytes[1] != 0x01 || unit.bytes[2] != 0x00) {
        Fail("frame without its signature");
      }
      if (unit.checksumOk != emulator::FrameChecksumOk(unit.bytes)) Fail("frame verdict");
      if (unit.Dots().size() != emulator::kDotBytes) Fail("frame dots");
      break;
    case UnitKind::Block:
      if (unit.bytes.size() != emulator::kBlockBytes) Fail("block of the wrong length");
      if (previous == nullptr || previous->kind != UnitKind::Frame ||
          previous->bytes[3] != emulator::kHeaderWithBlock) {
        Fail("block without a frame announcing it");
      }
      if (unit.checksumOk != emulator::BlockChecksumOk(unit.bytes)) Fail("block verdict");
      if (unit.Dots().size() != emulator::kDotBytes) Fail("block dots");
      break;
    case UnitKind::Garbage:
      if (unit.bytes.empty() || unit.bytes.size() > emulator::kMaxGarbageUnit) {
        Fail("garbage unit of a bad size");
      }
      if (!unit.Dots().empty()) Fail("garbage with dots");
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // The first byte picks how the stream is cut into reads.
  const std::size_t pieceSeed = data[0];
  const std::span<const std::uint8_t> stream(data + 1, size - 1);

  emulator::FrameParser parser;
  std::vector<emulator::Unit> units;
  auto keep = [&](std::vector<emulator::Unit> more) {
    for (auto& unit : more) units.push_back(std::move(unit));
  };
  std::size_t offset = 0;
  std::size_t turn = 0;
  while (offset < stream.size()) {
    const std::size_t piece = 1 + (pieceSeed * 31 + turn * 17) % 700;
    const std::size_t take = std::min(piece, stream.size() - offset);
    keep(parser.Feed(stream.subspan(offset, take)));
    offset += take;
    // Now and then the line goes quiet between reads.
    if ((pieceSeed + turn) % 11 == 0) keep(parser.TakeGarbage());
    ++turn;
  }
  keep(parser.Abandon());
  if (parser.InUnit()) Fail("still inside a unit after giving up");

  std::vector<std::uint8_t> again;
  const emulator::Unit* previous = nullptr;
  for (const auto& unit : units) {
    CheckUnit(unit, previous);
    again.insert(again.end(), unit.bytes.begin(), unit.bytes.end());
    if (unit.kind != emulator::UnitKind::Garbage) previous = &unit;
  }
  if (again.size() != stream.size() || !std::equal(again.begin(), again.end(), stream.begin())) {
    Fail("bytes lost, doubled or reordered");
  }
  return 0;
}
