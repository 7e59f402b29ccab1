// The Qt peers of windows and controls, and what they share.
#pragma once

#include <QEventLoop>
#include <QFont>
#include <QObject>
#include <QString>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "ui/backend.h"
#include "ui/controls.h"
#include "ui/window.h"

namespace ui::qt {

// The windows' texts are ANSI bytes: Latin-1 both ways.
inline QString ToQt(const std::string& text) { return QString::fromLatin1(text.data(), static_cast<int>(text.size())); }
inline std::string FromQt(const QString& text) { return text.toLatin1().toStdString(); }

// base with the face, height and weight that description names; a face the system lacks falls
// back to its fixed or proportional font.
QFont FontOf(const FontSpec& description, const QFont& base);

class QtWindow : public WindowPeer {
 public:
  QtWindow(Window& window, Window* owner);
  ~QtWindow() override;
  void SetCaption(const std::string& caption) override;
  void SetEnabled(bool enabled) override;
  void Place() override;
  void Show() override;
  void Hide() override;
  void RunModal() override;
  void EndModal() override;
  void Repaint() override;
  void Activate() override;
  void SetDialogKeys(const std::vector<Control*>& tabOrder, Control* defaultButton) override;

  // The menu bar above the client area.
  void CreateMenu(const std::vector<MenuItem*>& items);
  QWidget* Widget() const { return top_; }
  // Where the controls of the client area lie.
  QWidget* Client() const { return client_; }

 private:
  void Raise();

  Window& window_;
  Window* const owner_;
  QWidget* const top_;
  QWidget* const client_;
  QEventLoop* loop_ = nullptr;
  bool ended_ = false;
};

// A control's widget, and the filter that hands its typed keys and focus to the control.
class QtControl : public QObject, public ControlPeer {
 public:
  QtControl(Control& control, QWidget* widget);
  ~QtControl() override;
  void SetBounds(const Rect& bounds) override;
  void SetVisible(bool visible) override;
  void SetEnabled(bool enabled) override;
  void SetFocus() override;
  QWidget* Widget() const { return widget_; }
  // Starts filtering the widget and the widgets it is made of.
  void Watch();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  Control& control_;

 private:
  QWidget* const widget_;
};

std::unique_ptr<QtControl> NewControlPeer(Control& control, QWidget* parent);

}  // namespace ui::qt
