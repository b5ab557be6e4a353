#include "shell/message_box.h"

#include <QGuiApplication>
#include <QMessageBox>

namespace tablica {
namespace {

void ShowBox(QMessageBox::Icon icon, const std::string& text) {
  // No parent: the box is centred on the screen and blocks every window.
  // Each program names itself in its display name (its window's title).
  QMessageBox box(icon, QGuiApplication::applicationDisplayName(), QString::fromStdString(text),
                  QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

}  // namespace

void ShowMessageBox(const std::string& text) {
  ShowBox(QMessageBox::NoIcon, text);
}

void ShowErrorBox(const std::string& text) {
  ShowBox(QMessageBox::Critical, text);
}

}  // namespace tablica
