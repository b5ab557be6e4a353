#pragma once

namespace emulator {

// The whole virtual board program; returns the exit code.
int RunEmulator(int argc, char** argv);

}  // namespace emulator
