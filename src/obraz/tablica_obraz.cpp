#include "obraz/tablica_obraz.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>

#include "obraz/board_play.h"
#include "obraz/obraz_window.h"
#include "session/board_session.h"
#include "window_parts/file_dialogs.h"
#include "window_parts/window_program.h"

namespace tablica {

namespace {

// A question in a box with "Tak" and "Nie"; Esc and closing the box say no.
bool AskInBox(const std::string& question) {
  QMessageBox box(QMessageBox::Question, QString::fromUtf8(obraz_texts::kTitle),
                  QString::fromStdString(question), QMessageBox::Yes | QMessageBox::No);
  box.setTextFormat(Qt::PlainText);
  box.button(QMessageBox::Yes)->setText(QStringLiteral("&Tak"));
  box.button(QMessageBox::No)->setText(QStringLiteral("&Nie"));
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace

int RunTablicaObraz(int& argc, char** argv) {
  const ProgramIdentity identity{obraz_texts::kTitle, "tablica-obraz",
                                 "pl.zapisbitmapy.TablicaObraz", "tablica-obraz"};
  return RunWindowProgram(argc, argv, QtCommandLine::Whole, identity,
                          [](const ProgramBoxes& boxes) {
                            // The session's messages: a box on the window's thread, the
                            // status line while a show plays on its own.
                            SessionMessages sessionMessages(boxes.showMessage);
                            const auto session = BoardSession::Native(sessionMessages.Fn());
                            OpenFileChooser openChooser;
                            SaveFileChooser saveChooser;
                            ObrazWindow window({*session, boxes.showMessage, boxes.showError},
                                               openChooser, saveChooser, sessionMessages, AskInBox);
                            window.show();
                            const QStringList arguments = QApplication::arguments();
                            if (arguments.size() > 1) window.OpenFile(arguments.at(1));
                            QApplication::exec();
                          });
}

}  // namespace tablica
