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
  // Where the clip turns back to frame 0: stopFrame counted from 1, as a layout gives
  // it; 0, or a frame past the clip's end, plays the clip whole.
  void SetStopFrame(int stopFrame);
  // The last frame played, counted from 0.
  int LastFrame() const { return lastFrame_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void NextFrame();

  QTimer timer_;
  int frame_ = 0;
  int lastFrame_ = kFrameCount - 1;
};

}  // namespace ui::qt
