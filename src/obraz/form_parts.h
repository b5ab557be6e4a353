#pragma once

// Small makers of the picture window's form rows, shared by its tabs.

#include <initializer_list>
#include <utility>

#include <QComboBox>
#include <QLabel>
#include <QString>

namespace tablica::obraz_form {

inline QString Text(const char* utf8) {
  return QString::fromUtf8(utf8);
}

// A label whose underlined letter moves the focus to `buddy`.
inline QLabel* BuddyLabel(const char* text, QWidget* buddy) {
  auto* label = new QLabel(Text(text));
  label->setBuddy(buddy);
  return label;
}

// A list of choices, each entry carrying its value.
template <class Value>
QComboBox* ChoiceList(const char* name,
                      std::initializer_list<std::pair<const char*, Value>> entries) {
  auto* list = new QComboBox;
  list->setObjectName(QString::fromLatin1(name));
  for (const auto& [text, value] : entries) list->addItem(Text(text), static_cast<int>(value));
  return list;
}

template <class Value>
Value ChosenValue(const QComboBox& list) {
  return static_cast<Value>(list.currentData().toInt());
}

}  // namespace tablica::obraz_form
