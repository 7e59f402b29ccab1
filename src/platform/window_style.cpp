#include "platform/window_style.h"

#include <QGuiApplication>
#include <QProxyStyle>
#include <QScreen>

QFont WindowFont() {
  QFont font("MS Sans Serif");
  font.setPixelSize(13);
  return font;
}

void CenterOn(QWidget* window, QWidget* parent) {
  const QRect area = parent != nullptr ? parent->frameGeometry()
                     : QGuiApplication::primaryScreen() != nullptr
                         ? QGuiApplication::primaryScreen()->availableGeometry()
                         : QRect();
  if (area.isValid()) window->move(area.center() - window->rect().center());
}

QWidget* NewPanel(QWidget* parent, const char* name) {
  auto* panel = new QWidget(parent);
  panel->setObjectName(name);
  return panel;
}

QVBoxLayout* NewVBox(QWidget* parent) {
  auto* layout = new QVBoxLayout(parent);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  return layout;
}

QGroupBox* NewGroupBox(QWidget* parent, const char* name, const char* caption) {
  auto* box = new QGroupBox(caption, parent);
  box->setObjectName(name);
  return box;
}

void FillGroupBox(QGroupBox* box, QWidget* child) {
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(2, 18, 2, 2);
  layout->setSpacing(0);
  layout->addWidget(child);
}

QPushButton* NewButton(QWidget* parent, const char* name, const char* caption, int left, int top) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setGeometry(left, top, 80, 25);
  return button;
}

namespace {

class AsteriskStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
};

}  // namespace

void MaskWithAsterisks(QLineEdit* edit) {
  auto* style = new AsteriskStyle;
  style->setParent(edit);  // lives as long as the edit
  edit->setStyle(style);
  edit->setEchoMode(QLineEdit::Password);
}
