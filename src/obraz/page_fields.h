#pragma once

#include <QWidget>
#include <chrono>
#include <optional>

#include "show/show_model.h"

class QDoubleSpinBox;
class QSpinBox;

namespace tablica {

// The fields of the page chosen in the "Pokaz" tab's list, as fits its
// kind: how long it shows (seconds; on a page that moves, or its passes
// instead), and the speed of a scrolling line. Each field says only what
// the user changed in it, so a value read from a file keeps its own
// precision until its field is edited.
class PageFields final : public QWidget {
  Q_OBJECT

 public:
  explicit PageFields(QWidget* parent = nullptr);

  // Shows `page`'s values (none: the fields are disabled), saying nothing;
  // `content` is the page's own or its chosen zone's, whose speed is edited.
  void ShowPage(const show::PageModel* page, const show::ContentModel* content);

 signals:
  // Unset: the page lasts its passes (one that moves) or for ever.
  void SecondsEdited(std::optional<std::chrono::milliseconds> length);
  void PassesEdited(int passes);
  void SpeedEdited(double dotsPerSecond);

 private:
  QDoubleSpinBox* seconds_ = nullptr;
  QSpinBox* passes_ = nullptr;
  QDoubleSpinBox* speed_ = nullptr;
};

}  // namespace tablica
