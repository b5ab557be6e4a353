#include <QApplication>

#include <thread>

#include "emulator/board_window.h"
#include "emulator/window_mode.h"

namespace emulator {

bool WindowAvailable() {
  return true;
}

int RunBoardWindow(int argc, char** argv, WindowContext& context) {
  QApplication app(argc, argv);
  BoardWindow window(QString::fromStdString(context.title));
  window.show();

  // The line is read on a thread of its own, so pacing and waiting never
  // stall the window; every unit is handed over to the window's thread.
  std::thread reader([&] {
    LineReader line(context.terminal, ReaderOptions{.baud = context.options.baud},
                    [&](const Unit& unit) {
                      if (context.alsoTell) context.alsoTell(unit);
                      const auto when = std::chrono::system_clock::now();
                      QMetaObject::invokeMethod(
                          &window, [&window, unit, when] { window.ShowUnit(unit, when); },
                          Qt::QueuedConnection);
                    });
    line.Run(context.stop.Fd());
    QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
  });

  const int result = app.exec();
  context.stop.Request();
  reader.join();
  return result;
}

}  // namespace emulator
