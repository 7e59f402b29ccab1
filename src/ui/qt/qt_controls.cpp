// Control peers: one widget per control, placed at its layout rectangle. Programmatic
// changes come in with the widget's signals blocked; the user's acts go out through the
// control's User... operations.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyleOption>
#include <QTreeWidget>
#include <algorithm>

#include "ui/qt/file_copy_animation.h"
#include "ui/qt/qt_native.h"
#include "ui/qt/qt_peers.h"

namespace ui::qt {

namespace {

// What the styles of today's toolkits draw otherwise: "*" for a password character, and a
// progress bar's blocks without gaps.
class ControlLook : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* returnData) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
  }
  void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
    if (element == PE_IndicatorProgressChunk) {
      painter->fillRect(option->rect, option->palette.brush(QPalette::Highlight));
      return;
    }
    QProxyStyle::drawPrimitive(element, option, painter, widget);
  }
};

void UseControlLook(QWidget* widget) {
  auto* look = new ControlLook;
  look->setParent(widget);  // lives as long as the widget
  widget->setStyle(look);
}

QRect RectOf(const Rect& r) { return {r.left, r.top, r.width, r.height}; }

Qt::Alignment HorizontalAlignment(std::uint32_t style, Qt::Alignment otherwise) {
  if (style & kAlignRight) return Qt::AlignRight;
  if (style & kAlignCenter) return Qt::AlignHCenter;
  return otherwise;
}

// A peer whose widget is a W.
template <class W>
class PeerOf : public QtControl {
 public:
  PeerOf(Control& control, QWidget* parent) : QtControl(control, new W(parent)) {}

 protected:
  W* Native() const { return static_cast<W*>(Widget()); }
};

// A panel with its caption at the centre, or a static text: both are labels.
class LabelPeer : public PeerOf<QLabel> {
 public:
  LabelPeer(Control& control, QWidget* parent) : PeerOf(control, parent) {
    const std::uint32_t style = control.Description().style;
    Native()->setTextFormat(Qt::PlainText);
    if (control.Kind() == ControlKind::kPanel)
      Native()->setAlignment(HorizontalAlignment(style, Qt::AlignHCenter) | Qt::AlignVCenter);
    else
      Native()->setAlignment(HorizontalAlignment(style, Qt::AlignLeft) | Qt::AlignTop);
    // A pixel per lowered ring.
    const int rings = ((style & kBevelInnerLowered) != 0) + ((style & kBevelOuterLowered) != 0) +
                      ((style & kSunkenBorder) != 0);
    if (rings > 1) {
      Native()->setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    } else if (rings == 1) {
      Native()->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      Native()->setLineWidth(1);
    }
  }
  void SetText(const std::string& text) override {
    Native()->setText(ToQt(text).remove('\r'));
    FitToText();
  }
  void SetBounds(const Rect& bounds) override {
    QtControl::SetBounds(bounds);
    FitToText();
  }

 private:
  void FitToText() {
    if (control_.Description().style & kAutoSize) Native()->resize(Native()->sizeHint());
  }
};

class GroupBoxPeer : public PeerOf<QGroupBox> {
 public:
  using PeerOf::PeerOf;
  void SetText(const std::string& text) override { Native()->setTitle(ToQt(text)); }
};

class ButtonPeer : public PeerOf<QPushButton> {
 public:
  ButtonPeer(Control& control, QWidget* parent) : PeerOf(control, parent) {
    // Enter on the focused button presses it, as Space does.
    Native()->setAutoDefault(true);
    QObject::connect(Native(), &QPushButton::clicked, Native(), [&control] { control.UserClick(); });
  }
  void SetText(const std::string& text) override { Native()->setText(ToQt(text)); }
};

class CheckBoxPeer : public PeerOf<QCheckBox> {
 public:
  CheckBoxPeer(Control& control, QWidget* parent) : PeerOf(control, parent) {
    auto& box = static_cast<CheckBox&>(control);
    QObject::connect(Native(), &QCheckBox::clicked, Native(), [this, &box] {
      box.UserClick();
      // The neutral state is the truth, whatever the handler did with it.
      SetChecked(box.Checked());
    });
  }
  void SetText(const std::string& text) override { Native()->setText(ToQt(text)); }
  void SetChecked(bool checked) override {
    const QSignalBlocker blocker(Native());
    Native()->setChecked(checked);
  }
};

// A drop-down list, or with a line edit an editable combo box.
class ComboBoxPeer : public PeerOf<QComboBox> {
 public:
  ComboBoxPeer(Control& control, QWidget* parent) : PeerOf(control, parent) {
    auto& box = static_cast<ComboBox&>(control);
    QObject::connect(Native(), &QComboBox::activated, Native(), [&box](int index) { box.UserChoose(index); });
    if (control.Kind() != ControlKind::kComboBox) return;
    Native()->setEditable(true);
    Native()->setInsertPolicy(QComboBox::NoInsert);
    // Typing completes nothing: the text is what was typed.
    Native()->setCompleter(nullptr);
    if (control.Description().maxLength > 0) Native()->lineEdit()->setMaxLength(control.Description().maxLength);
    QObject::connect(Native()->lineEdit(), &QLineEdit::textEdited, Native(),
                     [&box](const QString& text) { box.UserTextChanged(FromQt(text)); });
  }
  void SetText(const std::string& text) override {
    if (control_.Kind() != ControlKind::kComboBox) return;
    const QSignalBlocker blocker(Native()), lineBlocker(Native()->lineEdit());
    Native()->lineEdit()->setText(ToQt(text));
  }
  void SetItems(const std::vector<std::string>& items) override {
    const QSignalBlocker blocker(Native());
    Native()->clear();
    for (const std::string& item : items) Native()->addItem(ToQt(item));
  }
  void SetItemIndex(int index) override {
    const QSignalBlocker blocker(Native());
    Native()->setCurrentIndex(index);
  }
};

void ShowOnButtonFace(QWidget* widget, std::uint32_t style) {
  if (!(style & kButtonFace)) return;
  // Read as plain text on the button face, also when disabled.
  QPalette palette = widget->palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setColor(group, QPalette::Base, palette.color(QPalette::Active, QPalette::Button));
    palette.setColor(group, QPalette::Text, palette.color(QPalette::Active, QPalette::WindowText));
  }
  widget->setPalette(palette);
}

class EditPeer : public PeerOf<QLineEdit> {
 public:
  EditPeer(Control& control, QWidget* parent) : PeerOf(control, parent) {
    const ControlSpec& description = control.Description();
    if (description.maxLength > 0) Native()->setMaxLength(description.maxLength);
    if (description.style & kPasswordChar) {
      UseControlLook(Native());
      Native()->setEchoMode(QLineEdit::Password);
    }
    Native()->setFrame(!(description.style & kNoBorder));
    ShowOnButtonFace(Native(), description.style);
    Native()->setReadOnly(static_cast<TextBox&>(control).ReadOnly());
    QObject::connect(Native(), &QLineEdit::textEdited, Native(),
                     [&control](const QString& text) { control.UserTextChanged(FromQt(text)); });
  }
  void SetText(const std::string& text) override {
    const QSignalBlocker blocker(Native());
    Native()->setText(ToQt(text));
  }
  void SetReadOnly(bool readOnly) override { Native()->setReadOnly(readOnly); }
};

// Lines end in CR LF in the neutral text, in LF in the widget; the maximum length counts
// a line break as two characters, as the neutral text has them.
class MemoPeer : public PeerOf<QPlainTextEdit> {
 public:
  MemoPeer(Control& control, QWidget* parent) : PeerOf(control, parent) {
    const std::uint32_t style = control.Description().style;
    Native()->setTabChangesFocus(true);
    Native()->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    if (style & kVerticalScrollBar) Native()->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    if (style & kNoBorder) Native()->setFrameStyle(QFrame::NoFrame);
    ShowOnButtonFace(Native(), style);
    Native()->setReadOnly(static_cast<TextBox&>(control).ReadOnly());
    QObject::connect(Native(), &QPlainTextEdit::textChanged, Native(), [this] { UserEdited(); });
  }
  void SetText(const std::string& text) override {
    shown_ = Lines(text);
    const QSignalBlocker blocker(Native());
    Native()->setPlainText(shown_);
  }
  // Typed at the end, unless the oldest lines went to make room; the cursor stays at the
  // end, so the memo shows its last line.
  void AppendText(const std::string& added, const std::string& whole) override {
    const QString tail = Lines(added);
    const QString now = Lines(whole);
    const bool grows = now.size() == shown_.size() + tail.size();
    shown_ = now;
    const QSignalBlocker blocker(Native());
    if (!grows) Native()->setPlainText(now);
    Native()->moveCursor(QTextCursor::End);
    if (grows) Native()->insertPlainText(tail);
    Native()->ensureCursorVisible();
  }
  void SetReadOnly(bool readOnly) override { Native()->setReadOnly(readOnly); }

 private:
  static QString Lines(const std::string& text) { return ToQt(text).replace("\r\n", "\n"); }
  void UserEdited() {
    const QString text = Native()->toPlainText();
    const int maxLength = control_.Description().maxLength;
    if (maxLength > 0 && text.size() + text.count('\n') > maxLength) {
      // Too long: the text as it was, the cursor where the edit left it.
      const int cursor = Native()->textCursor().position() - static_cast<int>(text.size() - shown_.size());
      const QSignalBlocker blocker(Native());
      Native()->setPlainText(shown_);
      QTextCursor restored = Native()->textCursor();
      restored.setPosition(std::clamp(cursor, 0, static_cast<int>(shown_.size())));
      Native()->setTextCursor(restored);
      return;
    }
    shown_ = text;
    control_.UserTextChanged(FromQt(QString(text).replace('\n', "\r\n")));
  }

  QString shown_;
};

class TreePeer : public PeerOf<QTreeWidget> {
 public:
  TreePeer(Control& control, QWidget* parent) : PeerOf(control, parent), tree_(static_cast<Tree&>(control)) {
    Native()->setHeaderHidden(true);
    Native()->setColumnCount(1);
    Native()->setIndentation(19);
    Native()->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A current item once set, even none, keeps the view from choosing one by itself
    // when it gets the focus: only the user and the program select.
    Native()->setCurrentItem(nullptr);
    QObject::connect(Native(), &QTreeWidget::currentItemChanged, Native(),
                     [this](QTreeWidgetItem* current) { tree_.UserSelect(ItemOf(current)); });
    QObject::connect(Native(), &QTreeWidget::itemExpanded, Native(),
                     [this](QTreeWidgetItem* item) { tree_.UserExpand(*ItemOf(item), true); });
    QObject::connect(Native(), &QTreeWidget::itemCollapsed, Native(),
                     [this](QTreeWidgetItem* item) { tree_.UserExpand(*ItemOf(item), false); });
  }
  void SetText(const std::string&) override {}
  void TreeInserted(TreeItem& item) override {
    auto* native = new QTreeWidgetItem(QStringList(ToQt(item.Text())));
    native->setData(0, Qt::UserRole, QVariant::fromValue(static_cast<void*>(&item)));
    item.native = native;
    const auto& siblings = item.Parent() != nullptr ? item.Parent()->Children() : tree_.Items();
    const int index = static_cast<int>(
        std::find_if(siblings.begin(), siblings.end(), [&item](const auto& s) { return s.get() == &item; }) -
        siblings.begin());
    const QSignalBlocker blocker(Native());
    if (item.Parent() != nullptr)
      NativeOf(*item.Parent())->insertChild(index, native);
    else
      Native()->insertTopLevelItem(index, native);
  }
  void TreeRemoving(TreeItem& item) override {
    QTreeWidgetItem* native = NativeOf(item);
    Forget(item);
    const QSignalBlocker blocker(Native());
    delete native;
    // The widget moves its current item on; the neutral selection stays.
    TreeSelected(tree_.Selected());
  }
  void TreeReordered() override {
    const QSignalBlocker blocker(Native());
    while (Native()->topLevelItemCount() > 0) Native()->takeTopLevelItem(0);
    for (const auto& root : tree_.Items()) {
      Reorder(*root);
      Native()->addTopLevelItem(NativeOf(*root));
      // Items taken out forget their expansion.
      Expand(*root);
    }
    TreeSelected(tree_.Selected());
  }
  void TreeTextChanged(TreeItem& item) override { NativeOf(item)->setText(0, ToQt(item.Text())); }
  void TreeExpanded(TreeItem& item, bool expanded) override {
    const QSignalBlocker blocker(Native());
    NativeOf(item)->setExpanded(expanded);
  }
  void TreeSelected(TreeItem* item) override {
    const QSignalBlocker blocker(Native());
    Native()->setCurrentItem(item != nullptr ? NativeOf(*item) : nullptr);
  }

 private:
  static QTreeWidgetItem* NativeOf(const TreeItem& item) { return static_cast<QTreeWidgetItem*>(item.native); }
  static TreeItem* ItemOf(QTreeWidgetItem* native) {
    return native != nullptr ? static_cast<TreeItem*>(native->data(0, Qt::UserRole).value<void*>()) : nullptr;
  }
  static void Forget(TreeItem& item) {
    item.native = nullptr;
    for (const auto& child : item.Children()) Forget(*child);
  }
  static void Reorder(const TreeItem& item) {
    NativeOf(item)->takeChildren();
    for (const auto& child : item.Children()) {
      Reorder(*child);
      NativeOf(item)->addChild(NativeOf(*child));
    }
  }
  static void Expand(const TreeItem& item) {
    NativeOf(item)->setExpanded(item.Expanded());
    for (const auto& child : item.Children()) Expand(*child);
  }

  Tree& tree_;
};

class ProgressBarPeer : public PeerOf<QProgressBar> {
 public:
  ProgressBarPeer(Control& control, QWidget* parent) : PeerOf(control, parent) {
    Native()->setTextVisible(false);
    if (control.Description().style & kSmooth) UseControlLook(Native());
    const auto& bar = static_cast<ProgressBar&>(control);
    SetProgress(bar.Min(), bar.Max(), bar.Position());
  }
  void SetText(const std::string&) override {}
  void SetProgress(int minimum, int maximum, int position) override {
    Native()->setRange(minimum, maximum);
    Native()->setValue(position);
  }
};

class AnimationPeer : public PeerOf<FileCopyAnimation> {
 public:
  AnimationPeer(Control& control, QWidget* parent) : PeerOf(control, parent) {
    Native()->SetStopFrame(control.Description().stopFrame);
  }
  void SetText(const std::string&) override {}
  void SetActive(bool active) override { Native()->SetActive(active); }
};

// Shown transparent: the colour of the bottom-left pixel lets the ground through.
class PicturePeer : public PeerOf<QLabel> {
 public:
  PicturePeer(Control& control, QWidget* parent) : PeerOf(control, parent) {
    Native()->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  }
  // The picture's bitmap has changed.
  void SetText(const std::string&) override {
    const auto& picture = static_cast<Picture&>(control_);
    QImage image;
    if (picture.Bitmap() != nullptr)
      image = QImage::fromData(picture.Bitmap(), static_cast<int>(picture.BitmapSize()), "BMP");
    if (image.isNull()) {
      Native()->clear();
      return;
    }
    QPixmap pixmap = QPixmap::fromImage(image);
    pixmap.setMask(pixmap.createMaskFromColor(image.pixelColor(0, image.height() - 1)));
    Native()->setPixmap(pixmap);
  }
};

class StatusBarPeer : public PeerOf<QStatusBar> {
 public:
  StatusBarPeer(Control& control, QWidget* parent) : PeerOf(control, parent) { Native()->setSizeGripEnabled(false); }
  void SetText(const std::string& text) override { Native()->showMessage(ToQt(text)); }
};

}  // namespace

QtControl::QtControl(Control& control, QWidget* widget) : control_(control), widget_(widget) {
  const ControlSpec& description = control.Description();
  widget_->setObjectName(description.name);
  if (description.font.face != nullptr || description.font.pixelHeight > 0 || description.font.bold)
    widget_->setFont(FontOf(description.font, widget_->font()));
  widget_->setGeometry(RectOf(control.Bounds()));
}

QtControl::~QtControl() { delete widget_; }

void QtControl::Watch() {
  widget_->installEventFilter(this);
  for (QWidget* part : widget_->findChildren<QWidget*>()) part->installEventFilter(this);
}

bool QtControl::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    control_.UserFocused();
  } else if (event->type() == QEvent::KeyPress && watched == QApplication::focusWidget()) {
    // A key that types a character, once, where the keyboard delivered it; Tab moves the
    // focus and is no typed key.
    const QString text = static_cast<QKeyEvent*>(event)->text();
    if (text.size() == 1 && text[0] != '\t' && text[0].unicode() < 0x100) {
      char key = text[0].toLatin1();
      if (!control_.UserKeyPress(key)) return true;
    }
  }
  return false;
}

void QtControl::SetBounds(const Rect& bounds) { widget_->setGeometry(RectOf(bounds)); }
void QtControl::SetVisible(bool visible) { widget_->setVisible(visible); }
void QtControl::SetEnabled(bool enabled) { widget_->setEnabled(enabled); }
void QtControl::SetFocus() { widget_->setFocus(Qt::OtherFocusReason); }

std::unique_ptr<QtControl> NewControlPeer(Control& control, QWidget* parent) {
  std::unique_ptr<QtControl> peer;
  switch (control.Kind()) {
    case ControlKind::kPanel:
    case ControlKind::kStaticText:
      peer = std::make_unique<LabelPeer>(control, parent);
      break;
    case ControlKind::kGroupBox:
      peer = std::make_unique<GroupBoxPeer>(control, parent);
      break;
    case ControlKind::kButton:
      peer = std::make_unique<ButtonPeer>(control, parent);
      break;
    case ControlKind::kCheckBox:
      peer = std::make_unique<CheckBoxPeer>(control, parent);
      break;
    case ControlKind::kDropDownList:
    case ControlKind::kComboBox:
      peer = std::make_unique<ComboBoxPeer>(control, parent);
      break;
    case ControlKind::kMemo:
      peer = std::make_unique<MemoPeer>(control, parent);
      break;
    case ControlKind::kEdit:
      peer = std::make_unique<EditPeer>(control, parent);
      break;
    case ControlKind::kTree:
      peer = std::make_unique<TreePeer>(control, parent);
      break;
    case ControlKind::kProgressBar:
      peer = std::make_unique<ProgressBarPeer>(control, parent);
      break;
    case ControlKind::kAnimation:
      peer = std::make_unique<AnimationPeer>(control, parent);
      break;
    case ControlKind::kStatusBar:
      peer = std::make_unique<StatusBarPeer>(control, parent);
      break;
    case ControlKind::kPicture:
      peer = std::make_unique<PicturePeer>(control, parent);
      break;
  }
  peer->Watch();
  return peer;
}

QWidget* NativeOf(Control& control) { return static_cast<QtControl*>(control.Peer())->Widget(); }

}  // namespace ui::qt
