#include "shell/zapis_bitmapy.h"

#include <QApplication>

#include "session/board_session.h"
#include "shell/TZapisBitmapy.h"
#include "shell/window_look.h"
#include "window_parts/file_dialogs.h"
#include "window_parts/window_program.h"

namespace tablica {

int RunZapisBitmapy(int& argc, char** argv) {
  const ProgramIdentity identity{kApplicationTitle, "zapis-bitmapy", "pl.zapisbitmapy.ZapisBitmapy",
                                 "zapis-bitmapy"};
  return RunWindowProgram(
      argc, argv, QtCommandLine::NameOnly, identity, [](const ProgramBoxes& boxes) {
        // Message boxes and the file dialog speak in the window's typeface too.
        if (LoadWindowFont()) QApplication::setFont(BodyFont());
        ChooseWindowStyle();
        const auto session = BoardSession::Native(boxes.showMessage);
        OpenFileChooser fileChooser;
        TZapisBitmapy window({*session, boxes.showMessage, boxes.showError}, fileChooser);
        window.show();
        QApplication::exec();
        // The port is not closed here on purpose: it stays open until the
        // window is gone (the session releases it with everything else).
      });
}

}  // namespace tablica
