#include "shell/message_box.h"

#include <QMessageBox>

namespace tablica {
namespace {

void ShowBox(QMessageBox::Icon icon, const std::string& text) {
  // No parent: the box is centred on the screen and blocks every window.
  QMessageBox box(icon, QString::fromUtf8(kApplicationTitle), QString::fromStdString(text),
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
