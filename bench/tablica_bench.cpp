// The program's figures: how long the software takes against how long the
// line takes. Prints one table (Markdown) and nothing that passes or fails.
//
//   bench/run            builds in release mode and runs this under Xvfb
//   tablica_bench [--program=PATH] [--startup-runs=N] [--preview-changes=N]
//                 [benchmark flags]

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>

#include "bench_support.h"
#include "board/board_frame.h"
#include "emulator/frame_parser.h"
#include "emulator_process.h"
#include "preview_bench.h"
#include "pty_peer.h"
#include "serial/serial_link.h"
#include "session/link_send.h"
#include "temp_folder.h"
#include "test_kit.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using tablica::testing_support::EmulatorProcess;
using tablica::testing_support::PtyPeer;
using tablica::testing_support::ScopedConfigHome;
using tablica::testing_support::TempFolder;

constexpr double kBaud = 38400.0;
constexpr double kBitsPerByte = 10.0;  // start bit, 8 data bits, stop bit

double WireSeconds(std::size_t bytes) {
  return static_cast<double>(bytes) * kBitsPerByte / kBaud;
}

using tablica::testing::RandomPicture;

// --- pack + checksum -------------------------------------------------------

void PackAndChecksum(benchmark::State& state) {
  std::mt19937 random(1);
  const tablica::Bitmap picture = RandomPicture(random);
  tablica::BoardFrame frame;
  for (auto _ : state) {
    tablica::BuildBoardFrame(frame, picture, false);
    benchmark::DoNotOptimize(frame.bytes.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(PackAndChecksum);

// --- one Send through the real link ---------------------------------------

// The program's side: settings, the native serial link and the pictures.
struct Sender {
  tablica::CommSettings settings;
  std::unique_ptr<tablica::SerialPlatform> platform = tablica::MakeNativeSerialPlatform();
  std::vector<std::string> shown;
  tablica::SerialLink link{settings, *platform,
                           [this](const std::string& text) { shown.push_back(text); }};
  tablica::BoardFrame frame;
  std::mt19937 random{7};
  tablica::Bitmap first = RandomPicture(random);
  tablica::Bitmap second = RandomPicture(random);

  bool Open(int port) {
    settings.portNumber = static_cast<std::uint8_t>(port);
    return !link.OpenComPort();
  }
  bool Send(bool secondBoard) {
    const auto result = tablica::RunSendCommand(
        link, frame, [this](const std::string& text) { shown.push_back(text); },
        tablica::SendRequest{first, second, secondBoard, true});
    return result == tablica::SendResult::Sent;
  }
};

// A peer that reads everything at once and counts it.
class EagerReader {
 public:
  explicit EagerReader(PtyPeer& peer) : peer_(peer), thread_([this] { Run(); }) {}
  ~EagerReader() {
    stop_ = true;
    thread_.join();
  }
  void WaitFor(std::size_t total) {
    std::unique_lock lock(mutex_);
    arrived_.wait_for(lock, 10s, [&] { return received_ >= total; });
  }

 private:
  void Run() {
    while (!stop_) {
      const auto got = peer_.Read(1 << 16, 5ms);
      if (got.empty()) continue;
      std::lock_guard lock(mutex_);
      received_ += got.size();
      arrived_.notify_all();
    }
  }
  PtyPeer& peer_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::size_t received_ = 0;
  std::thread thread_;
};

void SendToTerminal(benchmark::State& state) {
  const bool secondBoard = state.range(0) != 0;
  const std::size_t bytes = secondBoard ? 1030 : 517;
  TempFolder home;
  ScopedConfigHome configHome(home.path());
  PtyPeer peer;
  peer.LinkAs(configHome.PortsFolder(), 3);
  Sender sender;
  if (!sender.Open(3)) return state.SkipWithError("cannot open the terminal");
  EagerReader reader(peer);
  std::size_t total = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    const bool sent = sender.Send(secondBoard);
    const auto end = Clock::now();
    if (!sent) return state.SkipWithError("the Send failed");
    state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    total += bytes;
    reader.WaitFor(total);  // the next Send starts on an empty line
  }
  state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(SendToTerminal)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(300)
    ->Unit(benchmark::kMicrosecond);

std::string gEmulatorPath = TABLICA_EMULATOR;
std::string gProgramPath = TABLICA_PROGRAM;

bool GoodUnit(const std::optional<std::string>& line, const char* kind) {
  return line && line->find(std::string("\"event\":\"") + kind + "\"") != std::string::npos &&
         line->find("\"checksum_ok\":true") != std::string::npos;
}

void SendToEmulator(benchmark::State& state) {
  const bool secondBoard = state.range(0) != 0;
  TempFolder home;
  ScopedConfigHome configHome(home.path());
  EmulatorProcess emulator(gEmulatorPath, 4, 38400);
  if (!emulator.WaitReady()) return state.SkipWithError("the emulator did not start");
  Sender sender;
  if (!sender.Open(4)) return state.SkipWithError("cannot open the emulator's port");
  for (auto _ : state) {
    const auto start = Clock::now();
    if (!sender.Send(secondBoard)) return state.SkipWithError("the Send failed");
    if (!GoodUnit(emulator.NextLine(), "frame")) return state.SkipWithError("no good frame");
    if (secondBoard && !GoodUnit(emulator.NextLine(), "block")) {
      return state.SkipWithError("no good block");
    }
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
  }
  state.counters["bytes"] = secondBoard ? 1030.0 : 517.0;
}
BENCHMARK(SendToEmulator)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

// --- the virtual board's parser --------------------------------------------

void EmulatorParser(benchmark::State& state) {
  // A stream like a busy line: frames, frames with blocks, and some noise.
  std::mt19937 random(3);
  std::vector<std::uint8_t> stream;
  for (int i = 0; i < 200; ++i) {
    tablica::BoardFrame frame;
    const bool withBlock = i % 2 == 1;
    tablica::BuildBoardFrame(frame, RandomPicture(random), withBlock);
    stream.insert(stream.end(), frame.bytes.begin(), frame.bytes.end());
    if (withBlock) stream.insert(stream.end(), frame.bytes.begin() + 4, frame.bytes.end());
    if (i % 10 == 0) {
      for (int k = 0; k < 37; ++k) stream.push_back(static_cast<std::uint8_t>(random()));
    }
  }
  std::size_t units = 0;
  for (auto _ : state) {
    emulator::FrameParser parser;
    for (std::size_t at = 0; at < stream.size(); at += 192) {  // about 5 ms of line a read
      const auto piece =
          std::span(stream).subspan(at, std::min<std::size_t>(192, stream.size() - at));
      units += parser.Feed(piece).size();
    }
    units += parser.Abandon().size();
  }
  benchmark::DoNotOptimize(units);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
}
BENCHMARK(EmulatorParser)->Unit(benchmark::kMillisecond);

// --- collecting the results --------------------------------------------------

using Collector = tablica::bench::RunCollector;

// --- start-up of the program, under the X server in $DISPLAY -------------------

struct StartupFigures {
  double medianSeconds = 0;
  double residentMiB = 0;
  int runs = 0;
};

bool WindowShown() {
  // The window counts as shown once it is mapped with its title.
  std::FILE* search = ::popen(
      "xdotool search --onlyvisible --name '^Zapis bitmapy do tablicy informacyjnej' 2>/dev/null",
      "r");
  if (!search) return false;
  char buffer[64];
  const bool found = std::fgets(buffer, sizeof buffer, search) != nullptr;
  ::pclose(search);
  return found;
}

double ResidentMiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      double kib = 0;
      status >> kib;
      return kib / 1024.0;
    }
    status.ignore(1 << 16, '\n');
  }
  return 0;
}

// One start of the program: seconds until its window is shown, and its
// resident memory then; nothing when it shows no window.
std::optional<std::pair<double, double>> StartOnce(const std::string& program,
                                                   const std::filesystem::path& folder) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  std::string path = program;
  char* argv[] = {path.data(), nullptr};
  const auto oldFolder = std::filesystem::current_path();
  std::filesystem::current_path(folder);  // the program reads ustaw.txt from here
  const auto start = Clock::now();
  pid_t pid = -1;
  const int spawned = ::posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ);
  std::filesystem::current_path(oldFolder);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return std::nullopt;
  bool shown = false;
  int status = 0;
  while (!shown && Clock::now() - start < 20s && ::waitpid(pid, &status, WNOHANG) == 0) {
    shown = WindowShown();
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  double resident = 0;
  if (shown) {
    std::this_thread::sleep_for(300ms);  // settled, as a user first sees it
    resident = ResidentMiB(pid);
  }
  ::kill(pid, SIGTERM);
  ::waitpid(pid, nullptr, 0);
  if (!shown) return std::nullopt;
  return std::make_pair(seconds, resident);
}

std::optional<StartupFigures> MeasureStartup(const std::string& program, int runs) {
  if (!std::getenv("DISPLAY") || !std::filesystem::exists(program)) return std::nullopt;
  TempFolder folder;                  // no settings file: no port is opened
  StartOnce(program, folder.path());  // the first start warms the file cache
  StartupFigures figures;
  std::vector<double> times;
  for (int attempt = 0; attempt < runs * 2 && static_cast<int>(times.size()) < runs; ++attempt) {
    const auto once = StartOnce(program, folder.path());
    if (!once) continue;
    times.push_back(once->first);
    figures.residentMiB = std::max(figures.residentMiB, once->second);
  }
  if (times.empty()) return std::nullopt;
  figures.medianSeconds = tablica::bench::Median(times);
  figures.runs = static_cast<int>(times.size());
  return figures;
}

// --- the table ---------------------------------------------------------------

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string Duration(std::optional<double> seconds) {
  if (!seconds) return "not measured";
  if (*seconds < 1e-3) return Format("%.2f µs", *seconds * 1e6);
  return Format("%.1f ms", *seconds * 1e3);
}

void Row(const std::string& what, const std::string& figure, const std::string& wire = "",
         const std::string& share = "") {
  std::printf("| %s | %s | %s | %s |\n", what.c_str(), figure.c_str(), wire.c_str(), share.c_str());
}

void SendRow(const Collector& results, const std::string& what, const std::string& name,
             std::size_t bytes) {
  const auto seconds = results.Seconds(name);
  const double wire = WireSeconds(bytes);
  Row(what, Duration(seconds), Format("%.1f ms", wire * 1e3),
      seconds ? Format("%.3g %%", *seconds / wire * 100) : "");
}

void PreviewRows(const std::optional<tablica::bench::PreviewFigures>& preview) {
  if (!preview) {
    Row("tablica-obraz preview after a change", "not measured");
    return;
  }
  const std::string median = " (median of " + std::to_string(preview->changes) + ")";
  Row("tablica-obraz: opening a 12-megapixel JPEG, preview drawn",
      Duration(preview->openPhotoSeconds));
  Row("tablica-obraz preview after a threshold slider step, 12-megapixel photo" + median,
      Duration(preview->photoSliderSeconds));
  Row("tablica-obraz preview after a placement change, 12-megapixel photo" + median,
      Duration(preview->placementSeconds));
  Row("tablica-obraz preview after a letter typed, two lines of text" + median,
      Duration(preview->textSeconds));
}

void PrintTable(const Collector& results, const std::optional<StartupFigures>& startup,
                int startupRuns, const std::optional<tablica::bench::PreviewFigures>& preview) {
  Row("Measure", "Figure", "Wire time, 38400 baud 8N1", "Share of wire time");
  Row("---", "---:", "---:", "---:");
  Row("Board frame from a 128 × 32 picture (pack + checksum)",
      Duration(results.Seconds("PackAndChecksum")));
  SendRow(results, "Send to a pseudo-terminal, peer reads at once: 517 B (software time)",
          "SendToTerminal/0", 517);
  SendRow(results, "Send to a pseudo-terminal, peer reads at once: 517 + 513 B (software time)",
          "SendToTerminal/1", 1030);
  SendRow(results, "Send to tablica-emulator --baud 38400 until it has the last byte: 517 B",
          "SendToEmulator/0", 517);
  SendRow(results, "Send to tablica-emulator --baud 38400 until it has the last byte: 517 + 513 B",
          "SendToEmulator/1", 1030);
  const auto parserSeconds = results.Seconds("EmulatorParser");
  const auto parserRate = results.Counter("EmulatorParser", "bytes_per_second");
  Row("Emulator's frame parser",
      parserRate ? Format("%.0f MB/s", *parserRate / 1e6) : "not measured", "3840 B/s",
      parserRate ? Format("%.0f× the line", *parserRate / 3840.0) : "");
  (void)parserSeconds;
  if (startup) {
    Row("Start-up under Xvfb, process start to window shown (median of " +
            std::to_string(startup->runs) + ")",
        Format("%.0f ms", startup->medianSeconds * 1e3));
    Row("Resident memory once the window is shown", Format("%.1f MiB", startup->residentMiB));
  } else {
    Row("Start-up under Xvfb (median of " + std::to_string(startupRuns) + ")",
        "not measured (no $DISPLAY or no program)");
  }
  PreviewRows(preview);
}

}  // namespace

int main(int argc, char** argv) {
  // The picture window's preview is measured on a real window.
  QApplication application(argc, argv);
  int startupRuns = 20;
  int previewChanges = 200;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--program=", 0) == 0) {
      gProgramPath = arg.substr(10);
    } else if (arg.rfind("--emulator=", 0) == 0) {
      gEmulatorPath = arg.substr(11);
    } else if (arg.rfind("--startup-runs=", 0) == 0) {
      startupRuns = std::atoi(arg.c_str() + 15);
    } else if (arg.rfind("--preview-changes=", 0) == 0) {
      previewChanges = std::atoi(arg.c_str() + 18);
    } else {
      rest.push_back(argv[i]);
    }
  }
  int restCount = static_cast<int>(rest.size());
  benchmark::Initialize(&restCount, rest.data());
  Collector results;
  benchmark::RunSpecifiedBenchmarks(&results);
  const auto startup = startupRuns > 0 ? MeasureStartup(gProgramPath, startupRuns) : std::nullopt;
  const auto preview = tablica::bench::MeasurePreview(previewChanges);
  PrintTable(results, startup, startupRuns, preview);
  benchmark::Shutdown();
  return 0;
}
