// The program's run between the application object and its end: the platform services,
// the main window's start-up, and the message loop.
#pragma once

#include <QApplication>

#include "platform/desktop.h"

// Shows every message through desktop. Returns the program's result: 0.
int RunProgram(QApplication& application, platform::Desktop& desktop);
