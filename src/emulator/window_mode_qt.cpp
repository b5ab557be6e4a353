#include <QApplication>

#include <thread>

#include "emulator/board_window.h"
#include "emulator/window_mode.h"

namespace emulator {

namespace {

class QtWindowMode : public WindowMode {
 public:
  QtWindowMode(int& argc, char** argv) : app_(argc, argv) {}
  int Run(WindowContext& context) override;

 private:
  QApplication app_;
};

int QtWindowMode::Run(WindowContext& context) {
  QApplication& app = app_;
  BoardWindow window(QString::fromStdString(context.title));
  window.show();

  // The line is read on a thread of its own, so pacing and waiting never
  // stall the window; every unit is handed over to the window's thread.
  std::thread reader([&] {
    LineReader line(context.terminal, ReaderOptions{.baud = context.options.baud},
                    [&](const Unit& unit, Moment completed) {
                      if (context.alsoTell) context.alsoTell(unit, completed);
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

}  // namespace

std::unique_ptr<WindowMode> OpenWindowMode(int& argc, char** argv) {
  return std::make_unique<QtWindowMode>(argc, argv);
}

}  // namespace emulator
