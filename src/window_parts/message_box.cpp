#include "window_parts/message_box.h"

#include <QMessageBox>
#include <QString>

namespace tablica {
namespace {

void ShowBox(QMessageBox::Icon icon, const QString& title, const std::string& text) {
  // No parent: the box is centred on the screen and blocks every window.
  QMessageBox box(icon, title, QString::fromStdString(text), QMessageBox::Ok);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

ShowMessageFn BoxFor(QMessageBox::Icon icon, const char* programTitle) {
  return [icon, title = QString::fromUtf8(programTitle)](const std::string& text) {
    ShowBox(icon, title, text);
  };
}

}  // namespace

ShowMessageFn MessageBoxFor(const char* programTitle) {
  return BoxFor(QMessageBox::NoIcon, programTitle);
}

ShowMessageFn ErrorBoxFor(const char* programTitle) {
  return BoxFor(QMessageBox::Critical, programTitle);
}

}  // namespace tablica
