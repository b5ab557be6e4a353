// Many Sends of random pictures, half of them with the second board, through
// the real serial link to the virtual board. Every unit must arrive, in
// order, with a good checksum and exactly the expected bytes, and the
// program's memory must not grow with the number of Sends.
//
// CI runs 500 Sends; the full run is
//   TABLICA_SOAK_SENDS=10000 build/bin/soak_tests

#include <malloc.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>

#include "emulator_process.h"
#include "pty_peer.h"
#include "serial/serial_link.h"
#include "session/link_send.h"
#include "temp_folder.h"
#include "test_kit.h"

namespace tablica {
namespace {

using testing_support::EmulatorProcess;
using testing_support::Hex;
using testing_support::ScopedConfigHome;
using testing_support::TempFolder;

// A sanitizer build's allocator holds freed memory back on purpose.
#ifdef __SANITIZE_ADDRESS__
constexpr bool kAllocatorHoldsMemory = true;
#else
constexpr bool kAllocatorHoldsMemory = false;
#endif

int SendCount() {
  const char* text = std::getenv("TABLICA_SOAK_SENDS");
  return text ? std::atoi(text) : 500;
}

// Bytes of the heap in use right now.
std::size_t HeapInUse() {
  return ::mallinfo2().uordblks;
}

std::size_t ResidentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      std::size_t kib = 0;
      status >> kib;
      return kib;
    }
    status.ignore(1 << 16, '\n');
  }
  return 0;
}

// The JSON line the virtual board prints for a good unit with these bytes.
bool IsGoodUnit(const std::optional<std::string>& line, const char* kind, int board,
                const std::string& hex) {
  return line && line->find(std::string("\"event\":\"") + kind + "\"") != std::string::npos &&
         line->find("\"board\":" + std::to_string(board)) != std::string::npos &&
         line->find("\"checksum_ok\":true") != std::string::npos &&
         line->find("\"" + hex + "\"") != std::string::npos;
}

TEST(Soak, EverySendArrivesWholeInOrderAndMemoryStaysFlat) {
  const int sends = SendCount();
  ASSERT_GE(sends, 200) << "too few Sends to say anything about memory";
  TempFolder home;
  ScopedConfigHome configHome(home.path());
  EmulatorProcess board(TABLICA_EMULATOR, 9);
  ASSERT_TRUE(board.WaitReady());

  CommSettings settings;
  settings.portNumber = 9;
  const auto platform = MakeNativeSerialPlatform();
  std::vector<std::string> shown;
  const ShowMessageFn show = [&](const std::string& text) { shown.push_back(text); };
  SerialLink link(settings, *platform, show);
  ASSERT_FALSE(link.OpenComPort());
  BoardFrame frame;
  std::mt19937 random(20240601);

  const int warmUp = 100;
  std::size_t heapAfterWarmUp = 0;
  std::size_t boardResidentAfterWarmUp = 0;
  int badSends = 0;
  for (int i = 0; i < sends && badSends < 5; ++i) {
    if (i == warmUp) {
      heapAfterWarmUp = HeapInUse();
      boardResidentAfterWarmUp = ResidentKiB(board.Pid());
    }
    const bool secondBoard = i % 2 == 1;
    const bool secondFileChosen = i % 4 == 1;  // otherwise the first picture goes twice
    const Bitmap first = testing::RandomPicture(random);
    const Bitmap second = testing::RandomPicture(random);
    ASSERT_EQ(RunSendCommand(link, frame, show,
                             SendRequest{first, second, secondBoard, secondFileChosen}),
              SendResult::Sent)
        << "Send " << i;
    const auto wire = testing::ExpectedWire(first, secondFileChosen ? second : first, secondBoard);
    bool good = IsGoodUnit(board.NextLine(), "frame", 1, Hex(wire, 0, 517));
    if (secondBoard) good &= IsGoodUnit(board.NextLine(), "block", 2, Hex(wire, 517, 513));
    if (!good) {
      ++badSends;
      ADD_FAILURE() << "Send " << i << " did not arrive as sent";
    }
  }
  EXPECT_EQ(badSends, 0);
  EXPECT_TRUE(shown.empty()) << shown.front();

  // In a sanitizer build the allocator holds freed memory back on purpose,
  // so sizes say nothing there; LeakSanitizer checks both processes at exit
  // instead.
  if (!kAllocatorHoldsMemory) {
    const std::size_t heapGrowth = HeapInUse() - std::min(HeapInUse(), heapAfterWarmUp);
    EXPECT_LT(heapGrowth, 64u * 1024) << "the program's heap grew by " << heapGrowth << " bytes";
    const std::size_t boardResident = ResidentKiB(board.Pid());
    EXPECT_LT(boardResident, boardResidentAfterWarmUp + 1024)
        << "the virtual board grew from " << boardResidentAfterWarmUp << " to " << boardResident
        << " KiB";
    std::printf("%d Sends; heap growth after the first %d: %zu bytes; virtual board: %zu KiB\n",
                sends, warmUp, heapGrowth, boardResident);
  }
  // Nothing more arrived: no garbage, no unit twice.
  link.CloseComHandle();
  EXPECT_EQ(board.Stop(), std::vector<std::string>{});
}

}  // namespace
}  // namespace tablica
