// Papers flying from one folder to another while a file is being copied, drawn frame by
// frame on a timer.
#pragma once

#include <QTimer>
#include <QWidget>

namespace ui::qt {

class FileCopyAnimation : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kFrameCount = 27;  // frames 0 to 26
  static constexpr int kFrameIntervalMs = 60;

  explicit FileCopyAnimation(QWidget* parent);

  // An active animation runs from frame 0; an inactive one stands still.
  void SetActive(bool active);
  bool Active() const { return timer_.isActive(); }
  int Frame() const { return frame_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void NextFrame();

  QTimer timer_;
  int frame_ = 0;
};

}  // namespace ui::qt
