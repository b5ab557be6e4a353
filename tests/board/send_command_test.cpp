#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_serial_platform.h"
#include "session/link_send.h"
#include "test_kit.h"

namespace tablica {
namespace {

using Bytes = std::vector<std::uint8_t>;
using IndexAt = int (*)(int x, int y);

// A 128 x 32 picture that went through a file and the reader, as the window
// would load it.
Bitmap Picture(IndexAt indexAt, int width = 128, int height = 32) {
  BitmapLoadResult loaded =
      ReadBitmap(testing::MakeBmp(testing::OneBitLayout(width, height, indexAt)));
  EXPECT_TRUE(loaded.Ok()) << loaded.error;
  return loaded.bitmap;
}

// The image area expected for a 128 x 32 picture: a dot is lit where the
// colour-table index is 0.
Bytes ExpectedImage(IndexAt indexAt) {
  return testing::DotBytesWhere([&](int x, int y) { return indexAt(x, y) == 0; });
}

class SendCommand : public ::testing::Test {
 protected:
  CommSettings settings;
  testing::FakeSerialPlatform platform;
  std::vector<std::string> shown;
  ShowMessageFn show = [this](const std::string& text) { shown.push_back(text); };
  SerialLink link{settings, platform, show};
  BoardFrame frame;
  Bitmap none;

  void SetUp() override {
    settings.portNumber = 7;
    ASSERT_FALSE(link.OpenComPort());
  }
  SendResult Send(const Bitmap& first, bool can, const Bitmap* second = nullptr) {
    return RunSendCommand(link, frame, show,
                          {first, second ? *second : none, can, second != nullptr});
  }
  // Nothing went out and the frame is as it was.
  void ExpectNothingSent(const BoardFrame& before) {
    EXPECT_TRUE(platform.writeRequests.empty());
    EXPECT_TRUE(platform.wire.empty());
    EXPECT_EQ(frame.bytes, before.bytes);
  }
};

struct Golden {
  const char* name;
  IndexAt indexAt;
  std::uint8_t checksum;     // without the CAN box
  std::uint8_t checksumCan;  // with it
};

void PrintTo(const Golden& golden, std::ostream* os) {
  *os << golden.name;
}

class GoldenFrames : public SendCommand, public ::testing::WithParamInterface<Golden> {};

TEST_P(GoldenFrames, ByteForByteWithAndWithoutCan) {
  const Golden g = GetParam();
  const Bytes image = ExpectedImage(g.indexAt);
  const Bitmap picture = Picture(g.indexAt);

  // The checksums are pinned here too, so the kit's reading of the rule is
  // held to known values.
  Bytes expected = testing::FrameBytes(image, testing::kHeaderAlone);
  ASSERT_EQ(expected.back(), g.checksum);
  EXPECT_EQ(Send(picture, false), SendResult::Sent);
  EXPECT_EQ(platform.writeRequests, std::vector<Bytes>{expected});

  // With the CAN box and no second file, the block repeats the first picture.
  platform.writeRequests.clear();
  expected = testing::FrameBytes(image, testing::kHeaderWithBlock);
  const Bytes block = testing::BlockBytes(image);
  ASSERT_EQ(expected.back(), g.checksumCan);
  ASSERT_EQ(block.back(), g.checksumCan);
  EXPECT_EQ(Send(picture, true), SendResult::Sent);
  EXPECT_EQ(platform.writeRequests, (std::vector<Bytes>{expected, block}));
  EXPECT_TRUE(shown.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, GoldenFrames,
    ::testing::Values(Golden{"AllIndexOne", [](int, int) { return 1; }, 0x01, 0x03},
                      Golden{"AllIndexZero", [](int, int) { return 0; }, 0x01, 0x03},
                      Golden{"TopLeftDotOnly",
                             [](int x, int y) { return x == 0 && y == 0 ? 0 : 1; }, 0x81, 0x83},
                      Golden{"BottomRightDotOnly",
                             [](int x, int y) { return x == 127 && y == 31 ? 0 : 1; }, 0x00, 0x02}),
    [](const auto& info) { return std::string(info.param.name); });

int Diagonals(int x, int y) {
  return (x + 3 * y) % 7 < 3 ? 1 : 0;
}

TEST_F(SendCommand, SecondBlockComesFromTheSecondPicture) {
  const Bitmap first = Picture([](int, int) { return 1; });
  const Bitmap second = Picture(Diagonals);
  EXPECT_EQ(Send(first, true, &second), SendResult::Sent);
  ASSERT_EQ(platform.writeRequests.size(), 2u);
  const Bytes block = platform.writeRequests[1];
  ASSERT_EQ(block.size(), kBlockSize);
  EXPECT_EQ(block, testing::BlockBytes(ExpectedImage(Diagonals)));
  EXPECT_EQ(platform.wire.size(), kFrameSize + kBlockSize);

  // Without the CAN box the second picture is not sent, and without a
  // chosen second file it is not even looked at.
  platform.writeRequests.clear();
  const Bitmap grey = Bitmap::FromRows(128, 32, 8, Bytes(128 * 32));
  EXPECT_EQ(Send(first, false, &grey), SendResult::Sent);
  EXPECT_EQ(RunSendCommand(link, frame, show, {first, grey, true, false}), SendResult::Sent);
  EXPECT_EQ(platform.writeRequests.size(), 3u);
  EXPECT_TRUE(shown.empty());
}

TEST_F(SendCommand, TwoSendsInARowWriteIdenticalBytes) {
  const Bitmap first = Picture([](int x, int y) { return (x ^ y) & 1; });
  const Bitmap second = Picture(Diagonals);
  Send(first, true, &second);
  Send(first, true, &second);
  ASSERT_EQ(platform.wire.size(), 2 * (kFrameSize + kBlockSize));
  const auto half = platform.wire.begin() + kFrameSize + kBlockSize;
  EXPECT_EQ(Bytes(platform.wire.begin(), half), Bytes(half, platform.wire.end()));
}

// Whatever a picture leaves unreached is blank, never an earlier picture.
TEST_F(SendCommand, SmallerOrMissingPictureSendsBlankDots) {
  Send(Picture([](int, int) { return 0; }), false);
  platform.writeRequests.clear();
  Send(none, false);
  Send(Picture([](int, int) { return 0; }, 8, 2), false);
  ASSERT_EQ(platform.writeRequests.size(), 2u);
  Bytes dots(testing::kDotBytes, 0);
  EXPECT_EQ(platform.writeRequests[0], testing::FrameBytes(dots));
  dots[0] = dots[1] = 0xFF;
  EXPECT_EQ(platform.writeRequests[1], testing::FrameBytes(dots));
  EXPECT_EQ(platform.writeRequests[1].back(), 0x01);
}

TEST_F(SendCommand, NoPortShowsItsMessageAndTouchesNothing) {
  link.CloseComHandle();
  settings.portNumber = kNoPort;
  frame.bytes.fill(0x5A);
  const BoardFrame before = frame;
  EXPECT_EQ(Send(Picture([](int, int) { return 0; }), true), SendResult::NoPort);
  EXPECT_EQ(shown, std::vector<std::string>{messages::kNoPortChosen});
  ExpectNothingSent(before);
}

TEST_F(SendCommand, PicturesThatAreNotDotsOrDoNotFitAreRefusedBeforeAnyWrite) {
  const Bitmap good = Picture([](int, int) { return 1; });
  const Bitmap grey = Bitmap::FromRows(128, 32, 8, Bytes(128 * 32));
  const Bitmap tall = Picture([](int, int) { return 0; }, 128, 33);
  const Bitmap wide = Picture([](int, int) { return 0; }, 136, 32);
  frame.bytes.fill(0x5A);
  const BoardFrame before = frame;

  EXPECT_EQ(Send(grey, false), SendResult::Refused);
  EXPECT_EQ(Send(tall, false), SendResult::Refused);
  EXPECT_EQ(Send(wide, true), SendResult::Refused);
  // With the CAN box the second picture is checked before the first goes out.
  EXPECT_EQ(Send(good, true, &grey), SendResult::Refused);
  EXPECT_EQ(Send(good, true, &tall), SendResult::Refused);
  EXPECT_EQ(shown, (std::vector<std::string>{messages::kNotOneBit, messages::kTooLarge,
                                             messages::kTooLarge, messages::kNotOneBit,
                                             messages::kTooLarge}));
  EXPECT_STREQ(messages::kNotOneBit, "Bitmapa musi być jednobitowa (czarno-biała).");
  EXPECT_STREQ(messages::kTooLarge, "Bitmapa jest za duża: tablica ma 128 × 32 punkty.");
  ExpectNothingSent(before);
}

// The first write hits a line error: the link reports it and gives up the
// port, so the second write reports the missing port and sends nothing.
TEST_F(SendCommand, FirstWriteFailingWithThePortReleased) {
  platform.QueuePartialWrite(100);
  platform.lineScript.push_back({.queried = true, .errorMask = 1});
  EXPECT_EQ(Send(Picture([](int, int) { return 0; }), true), SendResult::WriteFailed);
  EXPECT_EQ(shown,
            (std::vector<std::string>{messages::kTransmissionError, messages::kNoPortChosen}));
  EXPECT_EQ(platform.writeRequests.size(), 1u);
  EXPECT_EQ(platform.wire.size(), 100u);
  EXPECT_EQ(settings.portNumber, kNoPort);
}

}  // namespace
}  // namespace tablica
