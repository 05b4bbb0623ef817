// The window state on the platform double: the base of the tests that drive the core's commands.
#pragma once

#include <gtest/gtest.h>

#include "shell/app_state.hpp"
#include "support/fake_platform.hpp"

namespace quorbel::testing {

class AppOnFakePlatform : public ::testing::Test {
  protected:
    FakePlatform platform;
    AppState app{platform};
};

}  // namespace quorbel::testing
