#include "emulator/frame_parser.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "test_kit.h"

namespace emulator {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Test frames come from the test kit, which writes them out from the wire
// rules byte by byte, sharing nothing with the parser.
using tablica::testing::BlockBytes;
using tablica::testing::FrameBytes;
using tablica::testing::Joined;
using tablica::testing::PatternDots;

Unit Frame(const Bytes& bytes, bool ok = true) {
  return {UnitKind::Frame, bytes, ok};
}
Unit Block(const Bytes& bytes, bool ok = true) {
  return {UnitKind::Block, bytes, ok};
}
Unit Garbage(const Bytes& bytes) {
  return {UnitKind::Garbage, bytes, false};
}

// Everything the parser reports for a stream fed in one piece, including
// what a quiet line flushes out at the end.
std::vector<Unit> ParseAll(const Bytes& stream) {
  FrameParser parser;
  auto units = parser.Feed(stream);
  for (Unit& u : parser.Abandon()) units.push_back(std::move(u));
  return units;
}

TEST(FrameParserTest, GoodFrameWithoutBlockIsOneUnitForBoardOne) {
  const Bytes frame = FrameBytes(PatternDots(1), 0);
  FrameParser parser;
  const auto units = parser.Feed(frame);
  ASSERT_EQ(units, std::vector<Unit>{Frame(frame)});
  EXPECT_EQ(units[0].Board(), 1);
  EXPECT_EQ(Bytes(units[0].Dots().begin(), units[0].Dots().end()), PatternDots(1));
  EXPECT_FALSE(parser.InUnit());
}

TEST(FrameParserTest, FrameWithHeaderTwoIsFollowedByTheSecondBoardsBlock) {
  const Bytes frame = FrameBytes(PatternDots(1), 2);
  const Bytes block = BlockBytes(PatternDots(9));
  FrameParser parser;
  EXPECT_EQ(parser.Feed(frame), std::vector<Unit>{Frame(frame)});
  EXPECT_TRUE(parser.InUnit());  // a block is expected now
  const auto units = parser.Feed(block);
  ASSERT_EQ(units, std::vector<Unit>{Block(block)});
  EXPECT_EQ(units[0].Board(), 2);
  EXPECT_EQ(Bytes(units[0].Dots().begin(), units[0].Dots().end()), PatternDots(9));
}

TEST(FrameParserTest, AllDarkAndAllLitPicturesHaveTheKnownChecksums) {
  // 512 equal bytes cancel out: the checksum is the header's XOR alone.
  const Bytes dark(kDotBytes, 0x00), lit(kDotBytes, 0xFF);
  EXPECT_EQ(FrameBytes(dark, 0).back(), 0x01);
  EXPECT_EQ(FrameBytes(lit, 2).back(), 0x03);
  EXPECT_TRUE(FrameChecksumOk(FrameBytes(lit, 0)));
  EXPECT_TRUE(BlockChecksumOk(BlockBytes(dark)));
  EXPECT_EQ(BlockBytes(dark).back(), 0x03);
}

TEST(FrameParserTest, BadChecksumsAreReportedNotHidden) {
  Bytes frame = FrameBytes(PatternDots(3), 0);
  frame.back() ^= 0x40;
  EXPECT_EQ(ParseAll(frame), std::vector<Unit>{Frame(frame, false)});

  // A block checksummed without the header's 3 is wrong too.
  const Bytes good = FrameBytes(PatternDots(3), 2);
  Bytes block = BlockBytes(PatternDots(4));
  block.back() ^= 0x03;
  EXPECT_EQ(ParseAll(Joined({good, block})), (std::vector<Unit>{Frame(good), Block(block, false)}));

  // One flipped dot bit breaks the frame's checksum.
  Bytes flipped = FrameBytes(PatternDots(5), 0);
  flipped[100] ^= 0x01;
  EXPECT_EQ(ParseAll(flipped), std::vector<Unit>{Frame(flipped, false)});
}

TEST(FrameParserTest, GarbageBeforeBetweenAndAfterIsReportedInOrder) {
  const Bytes f1 = FrameBytes(PatternDots(1), 0);
  const Bytes f2 = FrameBytes(PatternDots(2), 2);
  const Bytes b2 = BlockBytes(PatternDots(3));
  // Garbage that looks like the start of a frame but is not one.
  const Bytes before{0x00, 0xAA, 0x02, 0x55};
  const Bytes between{0xAA, 0x01, 0x07, 0xAA};
  const Bytes after{0x13, 0x37, 0xAA, 0x01};

  const auto units = ParseAll(Joined({before, f1, between, f2, b2, after}));
  EXPECT_EQ(units, (std::vector<Unit>{Garbage(before), Frame(f1), Garbage(between), Frame(f2),
                                      Block(b2), Garbage(after)}));
}

TEST(FrameParserTest, GluedFramesAreSeparated) {
  const Bytes f1 = FrameBytes(PatternDots(1), 0);
  const Bytes f2 = FrameBytes(PatternDots(2), 0);
  const Bytes f3 = FrameBytes(PatternDots(3), 2);
  const Bytes b3 = BlockBytes(PatternDots(4));
  EXPECT_EQ(ParseAll(Joined({f1, f2, f3, b3, f1})),
            (std::vector<Unit>{Frame(f1), Frame(f2), Frame(f3), Block(b3), Frame(f1)}));
}

TEST(FrameParserTest, EverySplitPointAcrossTwoReadsGivesTheSameUnits) {
  const Bytes frame = FrameBytes(PatternDots(7), 2);
  const Bytes block = BlockBytes(PatternDots(8));
  const Bytes stream = Joined({Bytes{0x42}, frame, block});
  const std::vector<Unit> expected{Garbage({0x42}), Frame(frame), Block(block)};
  for (std::size_t split = 0; split <= stream.size(); ++split) {
    FrameParser parser;
    auto units = parser.Feed(Bytes(stream.begin(), stream.begin() + split));
    for (Unit& u : parser.Feed(Bytes(stream.begin() + split, stream.end()))) units.push_back(u);
    for (Unit& u : parser.Abandon()) units.push_back(u);
    ASSERT_EQ(units, expected) << "split at " << split;
  }
}

TEST(FrameParserTest, ByteByByteFeedingGivesTheSameUnits) {
  const Bytes frame = FrameBytes(PatternDots(11), 0);
  FrameParser parser;
  std::vector<Unit> units;
  for (std::uint8_t b : frame) {
    for (Unit& u : parser.Feed(Bytes{b})) units.push_back(u);
  }
  EXPECT_EQ(units, std::vector<Unit>{Frame(frame)});
}

TEST(FrameParserTest, AFrameCutShortIsGarbageAndTheNextFrameIsStillFound) {
  // A writer gave up after 300 bytes; the next send starts a fresh frame.
  const Bytes full = FrameBytes(PatternDots(1), 0);
  const Bytes cut(full.begin(), full.begin() + 300);
  const Bytes next = FrameBytes(PatternDots(2), 0);
  EXPECT_EQ(ParseAll(Joined({cut, next})), (std::vector<Unit>{Garbage(cut), Frame(next)}));
}

TEST(FrameParserTest, AMissingBlockDoesNotSwallowTheNextFrame) {
  // The second write failed: a frame announcing a block, then a new frame.
  const Bytes announcing = FrameBytes(PatternDots(1), 2);
  const Bytes next = FrameBytes(PatternDots(2), 0);
  EXPECT_EQ(ParseAll(Joined({announcing, next})),
            (std::vector<Unit>{Frame(announcing), Frame(next)}));
}

TEST(FrameParserTest, QuietLineFlushesGarbageButKeepsAUnitInProgress) {
  const Bytes frame = FrameBytes(PatternDots(1), 0);
  FrameParser parser;
  EXPECT_TRUE(parser.Feed(Bytes{0x01, 0x02}).empty());
  EXPECT_EQ(parser.TakeGarbage(), std::vector<Unit>{Garbage({0x01, 0x02})});
  EXPECT_TRUE(parser.TakeGarbage().empty());

  EXPECT_TRUE(parser.Feed(Bytes(frame.begin(), frame.begin() + 200)).empty());
  EXPECT_TRUE(parser.TakeGarbage().empty());
  EXPECT_EQ(parser.Feed(Bytes(frame.begin() + 200, frame.end())), std::vector<Unit>{Frame(frame)});
}

TEST(FrameParserTest, AbandonReportsPartialUnitsAndForgetsAnExpectedBlock) {
  const Bytes frame = FrameBytes(PatternDots(1), 2);
  const Bytes block = BlockBytes(PatternDots(2));
  FrameParser parser;
  parser.Feed(frame);
  parser.Feed(Bytes(block.begin(), block.begin() + 10));
  EXPECT_EQ(parser.Abandon(), std::vector<Unit>{Garbage(Bytes(block.begin(), block.begin() + 10))});
  EXPECT_FALSE(parser.InUnit());

  parser.Feed(frame);
  EXPECT_TRUE(parser.Abandon().empty());  // nothing of the block came
  EXPECT_EQ(parser.Feed(FrameBytes(PatternDots(3), 0)),
            std::vector<Unit>{Frame(FrameBytes(PatternDots(3), 0))});
}

TEST(FrameParserTest, EndlessNoiseComesBackInBoundedPieces) {
  const Bytes noise(3 * kMaxGarbageUnit + 5, 0x55);
  FrameParser parser;
  const auto units = parser.Feed(noise);
  ASSERT_EQ(units.size(), 3u);
  for (const Unit& u : units) EXPECT_EQ(u.bytes.size(), kMaxGarbageUnit);
  const auto rest = parser.TakeGarbage();
  ASSERT_EQ(rest.size(), 1u);
  EXPECT_EQ(rest[0].bytes.size(), 5u);
}

TEST(FrameParserTest, ChecksumRulesRejectUnitsOfTheWrongLength) {
  EXPECT_FALSE(FrameChecksumOk(Bytes(kFrameBytes - 1, 0)));
  EXPECT_FALSE(BlockChecksumOk(Bytes{}));
  EXPECT_TRUE(Unit{}.Dots().empty());
}

}  // namespace
}  // namespace emulator
