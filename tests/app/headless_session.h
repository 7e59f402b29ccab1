// The main window's tests on the headless toolkit: the toolkit first, then one run of the
// program over it.
#pragma once

#include <gtest/gtest.h>

#include "app/app_session.h"
#include "ui/headless/headless_backend.h"
#include "ui/headless/user.h"

class HeadlessSession : public testing::Test {
 protected:
  ui::HeadlessBackend backend;
  Session s;
};
