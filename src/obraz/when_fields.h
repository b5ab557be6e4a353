#pragma once

#include <QWidget>
#include <array>
#include <optional>
#include <string>

#include "show/show_model.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace tablica {

// The ways a page comes onto the board, each entry carrying its
// show::Transition; with `showsOwn` first "as the whole show" (-1).
QComboBox* TransitionList(const char* name, bool showsOwn);

// When the page chosen in the "Pokaz" tab is due and how it comes onto the
// board: the days of the week, the hours from and to (a range may pass
// midnight), the dates as the show file writes them, and the transition.
// Text that is not a time or a date is refused with its reason and the
// field shows the page's value again, so the page never holds half of it.
class WhenFields final : public QWidget {
  Q_OBJECT

 public:
  explicit WhenFields(QWidget* parent = nullptr);

  // Shows `page`'s values (none: the fields are disabled), saying nothing.
  void ShowPage(const show::PageModel* page);

 signals:
  // Unset: the page is always due.
  void WhenEdited(std::optional<show::WhenRule> when);
  // Unset: the show's transition.
  void TransitionEdited(std::optional<show::Transition> transition);
  // Why an edit was not taken (Polish).
  void Refused(const std::string& message);

 private:
  void Edited();
  std::optional<show::Transition> TransitionShown() const;
  // The rule the fields say, or why they say none.
  std::optional<show::WhenRule> Read(std::string& refusal) const;

  std::array<QCheckBox*, 7> days_{};
  QLineEdit* from_ = nullptr;
  QLineEdit* to_ = nullptr;
  QLineEdit* dates_ = nullptr;
  QComboBox* transition_ = nullptr;
  std::optional<show::WhenRule> shown_;  // the page's rule, put back after a refusal
};

}  // namespace tablica
