// The look the windows were drawn for, and small builders for panels docked the way the
// layouts describe them.
#pragma once

#include <QFont>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

// MS Sans Serif, 13 pixels high.
QFont WindowFont();
// Places a top-level window at the centre of parent, or of the screen when parent is null.
void CenterOn(QWidget* window, QWidget* parent);

// A borderless container.
QWidget* NewPanel(QWidget* parent, const char* name);
// A vertical layout without margins or spacing, so fixed heights add up as docked panels do.
QVBoxLayout* NewVBox(QWidget* parent);
QGroupBox* NewGroupBox(QWidget* parent, const char* name, const char* caption);
// Docks child to fill the client part of a group box: below its caption, inside its frame.
void FillGroupBox(QGroupBox* box, QWidget* child);
// A 80 x 25 button at (left, top) of its parent.
QPushButton* NewButton(QWidget* parent, const char* name, const char* caption, int left, int top);
// A password edit that shows every character as "*".
void MaskWithAsterisks(QLineEdit* edit);
