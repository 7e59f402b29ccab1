// The program's run on the toolkit the entry has started: the platform services, the main
// window's start-up, and the message loop.
#pragma once

#include "platform/desktop.h"

// Shows every message through desktop. Returns the program's result: 0.
int RunProgram(platform::Desktop& desktop);
