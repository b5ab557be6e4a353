// tablica-emulator's program: the options read, the pseudo-terminal opened
// and linked as a COM port, then every unit reported until Ctrl+C.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "common/stop_signals.h"
#include "emulator/board_picture.h"
#include "emulator/emulator_options.h"
#include "emulator/emulator_program.h"
#include "emulator/event_output.h"
#include "emulator/line_reader.h"
#include "emulator/port_link.h"
#include "emulator/pseudo_terminal.h"
#include "emulator/window_mode.h"

namespace {

using emulator::Moment;
using emulator::Unit;

void PrintLine(const std::string& line) {
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// What the terminal shows of each unit: a JSON line, or a drawing of the
// board it changed with the status line under it.
class TerminalReport {
 public:
  explicit TerminalReport(bool json) : json_(json) {}

  void operator()(const Unit& unit, Moment completed) {
    if (json_) {
      PrintLine(emulator::UnitJson(unit, completed));
      return;
    }
    state_.Apply(unit, std::chrono::system_clock::now());
    std::string text;
    if (unit.kind != emulator::UnitKind::Garbage) {
      text = emulator::DrawBoard(state_.Board(unit.Board()));
    }
    text += emulator::DescribeArrival(*state_.Last());
    PrintLine(text);
  }

 private:
  bool json_;
  emulator::BoardsState state_;
};

// The window needs an X or Wayland display (or a Qt platform the user
// chose); Qt without one aborts with a message in English.
bool DisplayGiven() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

}  // namespace

namespace emulator {

int RunEmulator(int argc, char** argv) {
  const auto parsed =
      emulator::ParseEmulatorOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.options) {
    std::fprintf(stderr, "%s\n\n%s", parsed.error.c_str(), emulator::kEmulatorUsage);
    return 2;
  }
  const emulator::EmulatorOptions& options = *parsed.options;
  if (options.help) {
    std::fputs(emulator::kEmulatorUsage, stdout);
    return 0;
  }

  tablica::StopSignals stop;  // before the window's threads start
  std::unique_ptr<emulator::WindowMode> windowMode;
  if (!options.headless && !DisplayGiven()) {
    std::fputs(
        "Okno wirtualnej tablicy potrzebuje ekranu, a nie ma go (nie ustawiono DISPLAY ani "
        "WAYLAND_DISPLAY); bez ekranu użyj --headless.\n",
        stderr);
    return 1;
  }
  if (!options.headless) {
    windowMode = emulator::OpenWindowMode(argc, argv);
    if (!windowMode) {
      std::fputs("Ta kompilacja emulatora nie ma okna; użyj --headless.\n", stderr);
      return 2;
    }
  }

  std::string error;
  auto terminal = emulator::PseudoTerminal::Open(error);
  if (!terminal) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  const std::optional<emulator::PortLink> link =
      options.port == 0 ? std::nullopt
                        : emulator::PortLink::Create(emulator::PortLinksFolder(), options.port,
                                                     terminal->SlavePath(), error);
  if (options.port != 0 && !link) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }

  std::string where = terminal->SlavePath();
  if (link)
    where =
        "COM" + std::to_string(options.port) + " (" + link->Path().string() + " -> " + where + ")";
  if (options.json) {
    PrintLine(emulator::ReadyJson(options.port, terminal->SlavePath()));
  } else {
    std::fprintf(stderr, "Wirtualna tablica czeka na %s. Ctrl+C kończy.\n", where.c_str());
  }

  TerminalReport report(options.json);
  const emulator::ReaderOptions readerOptions{.baud = options.baud};
  if (options.headless) {
    emulator::LineReader reader(*terminal, readerOptions, std::ref(report));
    reader.Run(stop.Fd());
    return 0;
  }

  emulator::LineReader::UnitSink alsoTell;
  if (options.json) alsoTell = std::ref(report);
  emulator::WindowContext context{options, *terminal, stop, alsoTell,
                                  "Tablica informacyjna – emulator, " + where};
  return windowMode->Run(context);
}

}  // namespace emulator
