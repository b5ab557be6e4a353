// The program's message boxes: captioned with the title they are made for,
// the text as plain text, one OK button.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "window_parts/message_box.h"

namespace tablica::window_testing {
namespace {

constexpr const char* kApplicationTitle = "Zapis bitmapy do tablicy informacyjnej.";

struct BoxKind {
  const char* name;
  ShowMessageFn (*make)(const char*);
  QMessageBox::Icon icon;
};

TEST(MessageBoxTest, BoxesCarryTheProgramsTitleAndShowTheTextAsItIs) {
  const BoxKind kinds[] = {{"message", &MessageBoxFor, QMessageBox::NoIcon},
                           {"error", &ErrorBoxFor, QMessageBox::Critical}};
  for (const BoxKind& kind : kinds) {
    SCOPED_TRACE(kind.name);
    bool seen = false;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      seen = true;
      EXPECT_EQ(box->windowTitle(), QString::fromUtf8(kApplicationTitle));
      EXPECT_EQ(box->text(), QString::fromUtf8("<b>Nie mogę otworzyć portu COM7.</b>"));
      EXPECT_EQ(box->textFormat(), Qt::PlainText);
      EXPECT_EQ(box->icon(), kind.icon);
      ASSERT_EQ(box->buttons().size(), 1);
      box->buttons().front()->click();
    });
    kind.make(kApplicationTitle)("<b>Nie mogę otworzyć portu COM7.</b>");
    EXPECT_TRUE(seen);
  }
}

}  // namespace
}  // namespace tablica::window_testing
