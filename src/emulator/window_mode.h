#pragma once

// The emulator's window, when the build has one (Qt). Builds without the
// window link a stand-in that says so.

#include <string>

#include "emulator/emulator_options.h"
#include "emulator/line_reader.h"
#include "emulator/pseudo_terminal.h"
#include "emulator/stop_signal.h"

namespace emulator {

struct WindowContext {
  const EmulatorOptions& options;
  PseudoTerminal& terminal;
  StopSignal& stop;
  // Also told of every unit (JSON lines); called on the reading thread.
  LineReader::UnitSink alsoTell;
  std::string title;
};

// Whether this build has the window.
bool WindowAvailable();

// Shows both boards in a window and reads the line until the window is
// closed or a stop signal comes. Returns the process exit code.
int RunBoardWindow(int argc, char** argv, WindowContext& context);

}  // namespace emulator
