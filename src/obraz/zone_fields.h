#pragma once

#include <QRect>
#include <QWidget>
#include <vector>

#include "show/show_model.h"

class QListWidget;
class QMenu;
class QSpinBox;

namespace tablica {

// The zones of the page chosen in the "Pokaz" tab: their list (a later zone
// drawn over an earlier), the commands that add, move and remove them, and
// the chosen zone's place on the board in dots. The tab owns the page; this
// shows it and says what the user asked for.
class ZoneFields final : public QWidget {
  Q_OBJECT

 public:
  // `addMenu`: where a zone's content comes from, as for a page.
  explicit ZoneFields(QMenu* addMenu, QWidget* parent = nullptr);

  // Shows `page`'s zones with zone `select` chosen (none: the fields are
  // disabled), saying nothing.
  void ShowZones(const show::PageModel* page, int select);
  // The chosen zone, 0-based; -1 when none.
  int Current() const;

 signals:
  // Another zone chosen in the list (its place is in the fields).
  void ZoneChosen();
  void PlaceEdited(QRect place);
  void MoveRequested(int by);
  void RemoveRequested();

 private:
  void ShowPlace();

  QListWidget* zones_ = nullptr;
  QSpinBox* x_ = nullptr;
  QSpinBox* y_ = nullptr;
  QSpinBox* w_ = nullptr;
  QSpinBox* h_ = nullptr;
  std::vector<QRect> places_;  // of the zones shown, for the fields
};

}  // namespace tablica
