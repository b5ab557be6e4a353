#pragma once

// The emulator's window, when the build has one (Qt). Builds without the
// window link a stand-in that says so.

#include <memory>
#include <string>

#include "common/stop_signals.h"
#include "emulator/emulator_options.h"
#include "emulator/line_reader.h"
#include "emulator/pseudo_terminal.h"

namespace emulator {

struct WindowContext {
  const EmulatorOptions& options;
  PseudoTerminal& terminal;
  tablica::StopSignals& stop;
  // Also told of every unit (JSON lines); called on the reading thread.
  LineReader::UnitSink alsoTell;
  std::string title;
};

// The window system, opened before the port is made: a display that cannot
// be reached ends the process inside the toolkit, and it must not leave a
// port link behind.
class WindowMode {
 public:
  virtual ~WindowMode() = default;
  // Shows both boards in a window and reads the line until the window is
  // closed or a stop signal comes. Returns the process exit code.
  virtual int Run(WindowContext& context) = 0;
};

// Null when this build has no window. `argc` and `argv` must outlive it.
std::unique_ptr<WindowMode> OpenWindowMode(int& argc, char** argv);

}  // namespace emulator
