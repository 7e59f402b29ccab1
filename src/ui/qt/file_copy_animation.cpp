#include "ui/qt/file_copy_animation.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace ui::qt {

namespace {

constexpr int kPapersInFlight = 2;
constexpr QSize kFolderSize(30, 22);
constexpr QSize kPaperSize(12, 15);
// Distance between the folders' centres.
constexpr int kFlightSpan = 180;

void DrawFolder(QPainter& painter, const QRect& body, bool open) {
  const QColor back(0xC8, 0x9A, 0x2C), front(0xF2, 0xC9, 0x4C);
  painter.setPen(QPen(QColor(0x70, 0x50, 0x10), 1));
  painter.setBrush(back);
  // The back with its tab.
  painter.drawRect(body.left(), body.top() + 4, body.width(), body.height() - 4);
  painter.drawRect(body.left(), body.top(), body.width() / 3, 4);
  painter.setBrush(front);
  if (open) {
    QPainterPath flap;
    flap.moveTo(body.left() + 4, body.top() + 10);
    flap.lineTo(body.right() + 4, body.top() + 10);
    flap.lineTo(body.right(), body.bottom());
    flap.lineTo(body.left(), body.bottom());
    flap.closeSubpath();
    painter.drawPath(flap);
  } else {
    painter.drawRect(body.left(), body.top() + 8, body.width(), body.height() - 8);
  }
}

void DrawPaper(QPainter& painter, const QPointF& centre, qreal angle) {
  painter.save();
  painter.translate(centre);
  painter.rotate(angle);
  const QRectF sheet(-kPaperSize.width() / 2.0, -kPaperSize.height() / 2.0, kPaperSize.width(), kPaperSize.height());
  painter.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
  painter.setBrush(Qt::white);
  painter.drawRect(sheet);
  painter.setPen(QPen(QColor(0x30, 0x50, 0xA0), 1));
  for (int line = 0; line < 3; ++line) {
    const qreal y = sheet.top() + 4 + line * 3.5;
    painter.drawLine(QPointF(sheet.left() + 3, y), QPointF(sheet.right() - 3, y));
  }
  painter.restore();
}

}  // namespace

FileCopyAnimation::FileCopyAnimation(QWidget* parent) : QWidget(parent) {
  timer_.setInterval(kFrameIntervalMs);
  connect(&timer_, &QTimer::timeout, this, &FileCopyAnimation::NextFrame);
}

void FileCopyAnimation::SetActive(bool active) {
  if (active == Active()) return;
  frame_ = 0;
  if (active)
    timer_.start();
  else
    timer_.stop();
  update();
}

void FileCopyAnimation::SetStopFrame(int stopFrame) {
  lastFrame_ = stopFrame > 0 && stopFrame <= kFrameCount ? stopFrame - 1 : kFrameCount - 1;
}

void FileCopyAnimation::NextFrame() {
  frame_ = frame_ < lastFrame_ ? frame_ + 1 : 0;
  update();
}

void FileCopyAnimation::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QPoint centre = rect().center();
  // The folders stand at the bottom; the papers' arc fills the height above them.
  const int folderY = height() - kFolderSize.height() / 2 - 2;
  const QPoint from(centre.x() - kFlightSpan / 2, folderY);
  const QPoint to(centre.x() + kFlightSpan / 2, folderY);
  const QRect source(QPoint(from.x() - kFolderSize.width() / 2, from.y() - kFolderSize.height() / 2), kFolderSize);
  const QRect target(QPoint(to.x() - kFolderSize.width() / 2, to.y() - kFolderSize.height() / 2), kFolderSize);
  DrawFolder(painter, source, true);
  DrawFolder(painter, target, true);
  if (!Active()) return;
  // Each paper leaves the source folder, rises in an arc and drops into the target one,
  // turning over on the way; the papers follow one another half a flight apart.
  for (int paper = 0; paper < kPapersInFlight; ++paper) {
    const qreal t = std::fmod(static_cast<qreal>(frame_) / kFrameCount + static_cast<qreal>(paper) / kPapersInFlight, 1.0);
    const qreal x = from.x() + (to.x() - from.x()) * t;
    const qreal lowest = from.y() - 4, highest = kPaperSize.height() / 2.0 + 3;
    const qreal y = lowest - std::sin(t * M_PI) * (lowest - highest);
    DrawPaper(painter, QPointF(x, y), -30 + 240 * t);
  }
}

}  // namespace ui::qt
