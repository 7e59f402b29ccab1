// The main window's tests on the test toolkit (headless, or Win32 on Windows): the
// toolkit first, then one run of the program over it.
#pragma once

#include <gtest/gtest.h>

#include "app/app_session.h"
#include "support/ui_test_backend.h"
#include "ui/headless/user.h"

class HeadlessSession : public testing::Test {
 protected:
  testsupport::UiBackend backend;
  Session s;
};
