#pragma once

// The Qt application the picture tests need (fonts and image plug-ins come
// from it), made once per test program and kept for the process's life.
// Include in one source file of a test program.

#include <QGuiApplication>

#include "picture/convert.h"

// fontconfig (started by Qt's font database) keeps a few small blocks of
// its own for the process's life; the leak checker is told they are not
// the picture code's. Only a build with the leak checker calls this.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

namespace tablica::testing {

inline void EnsurePictureGui() {
  static int argc = 1;
  static char name[] = "picture_test";
  static char* argv[] = {name, nullptr};
  tablica::picture::PrepareHeadlessGui();
  if (!QGuiApplication::instance()) new QGuiApplication(argc, argv);
}

}  // namespace tablica::testing
