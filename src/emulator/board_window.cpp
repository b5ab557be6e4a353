#include "emulator/board_window.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "picture/dots_painter.h"

namespace emulator {

namespace {

constexpr int kPreferredPitch = 5;  // pixels from one dot's centre to the next

QLabel* Caption(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QFont font = label->font();
  font.setBold(true);
  label->setFont(font);
  return label;
}

}  // namespace

BoardView::BoardView(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void BoardView::SetPicture(const BoardDots& picture) {
  picture_ = picture;
  update();
}

QSize BoardView::sizeHint() const {
  return {kBoardWidth * kPreferredPitch + 8, kBoardHeight * kPreferredPitch + 8};
}

QSize BoardView::minimumSizeHint() const {
  return {kBoardWidth * 2 + 8, kBoardHeight * 2 + 8};
}

void BoardView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  tablica::picture::PaintDots(painter, QRectF(rect()),
                              [this](int x, int y) { return picture_.IsLit(x, y); });
}

BoardWindow::BoardWindow(const QString& title, QWidget* parent)
    : QWidget(parent),
      first_(new BoardView(this)),
      second_(new BoardView(this)),
      status_(new QLabel(QString::fromUtf8("Nic jeszcze nie odebrano."), this)) {
  setWindowTitle(title);
  first_->setObjectName("board1");
  second_->setObjectName("board2");
  status_->setObjectName("status");

  auto* boards = new QHBoxLayout;
  auto* left = new QVBoxLayout;
  left->addWidget(Caption(QString::fromUtf8("Tablica 1"), this));
  left->addWidget(first_, 1);
  auto* right = new QVBoxLayout;
  right->addWidget(Caption(QString::fromUtf8("Tablica 2 (przez CAN)"), this));
  right->addWidget(second_, 1);
  boards->addLayout(left);
  boards->addLayout(right);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(boards, 1);
  layout->addWidget(status_);
  resize(2 * (kBoardWidth * kPreferredPitch + 8) + 40, kBoardHeight * kPreferredPitch + 90);
}

void BoardWindow::ShowUnit(const Unit& unit, std::chrono::system_clock::time_point when) {
  state_.Apply(unit, when);
  first_->SetPicture(state_.Board(1));
  second_->SetPicture(state_.Board(2));
  const Arrival& last = *state_.Last();
  status_->setText(QString::fromStdString(DescribeArrival(last)));
  const bool wrong = last.kind == UnitKind::Garbage || !last.checksumOk;
  status_->setStyleSheet(wrong ? "color: #c00000; font-weight: bold;" : "");
}

}  // namespace emulator
