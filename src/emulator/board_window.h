#pragma once

// The emulator's window: both boards drawn as dot matrices, board 2 beside
// board 1, and a status line saying what arrived last.

#include <QLabel>
#include <QWidget>

#include "emulator/board_picture.h"

namespace emulator {

// One board: 128 x 32 round dots, lit or dark, scaled to the widget.
class BoardView : public QWidget {
 public:
  explicit BoardView(QWidget* parent = nullptr);
  void SetPicture(const BoardDots& picture);
  const BoardDots& Picture() const { return picture_; }
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  BoardDots picture_;
};

class BoardWindow : public QWidget {
 public:
  explicit BoardWindow(const QString& title, QWidget* parent = nullptr);
  // Shows a received unit (on the window's thread).
  void ShowUnit(const Unit& unit, std::chrono::system_clock::time_point when);

  const BoardsState& State() const { return state_; }

 private:
  BoardsState state_;
  BoardView* first_;
  BoardView* second_;
  QLabel* status_;
};

}  // namespace emulator
