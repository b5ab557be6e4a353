#pragma once

#include <QRect>
#include <QWidget>
#include <vector>

#include "board/board_dots.h"

namespace tablica {

// The board's 128 x 32 dots drawn as the virtual board draws them, every
// dot large enough to see.
class BoardPreview final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kPitch = 6;  // pixels from one dot's centre to the next

  explicit BoardPreview(QWidget* parent = nullptr);

  void SetDots(const BoardDots& dots);
  const BoardDots& Dots() const { return dots_; }
  // Rectangles of dots outlined over the board (the zones being edited).
  void SetEdges(std::vector<QRect> edges);
  const std::vector<QRect>& Edges() const { return edges_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  BoardDots dots_;
  std::vector<QRect> edges_;
};

}  // namespace tablica
