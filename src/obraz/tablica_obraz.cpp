#include "obraz/tablica_obraz.h"

#include <QApplication>
#include <QStringList>

#include "obraz/obraz_window.h"
#include "session/board_session.h"
#include "window_parts/file_dialogs.h"
#include "window_parts/window_program.h"

namespace tablica {

int RunTablicaObraz(int& argc, char** argv) {
  const ProgramIdentity identity{obraz_texts::kTitle, "tablica-obraz",
                                 "pl.zapisbitmapy.TablicaObraz", "tablica-obraz"};
  return RunWindowProgram(argc, argv, QtCommandLine::Whole, identity,
                          [](const ProgramBoxes& boxes) {
                            const auto session = BoardSession::Native(boxes.showMessage);
                            OpenFileChooser openChooser;
                            SaveFileChooser saveChooser;
                            ObrazWindow window({*session, boxes.showMessage, boxes.showError},
                                               openChooser, saveChooser);
                            window.show();
                            const QStringList arguments = QApplication::arguments();
                            if (arguments.size() > 1) window.OpenPicture(arguments.at(1));
                            QApplication::exec();
                          });
}

}  // namespace tablica
