// SuiteWindow: a small headless window for a test suite that draws with GL
// directly (no compositor), made before the suite's first test and
// destroyed after its last.
//
//   class TextureTest : public test::SuiteWindow {
//       void SetUp() override { ASSERT_NE(window_, nullptr) << "no GL context"; }
//   };
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "platform/video/Video.h"

namespace kvx::test {

class SuiteWindow : public ::testing::Test {
  protected:
    static constexpr int kWindowSide = 64;

    static void SetUpTestSuite() {
        window_ = platform::Window::create("test", kWindowSide, kWindowSide, 32, false);
    }
    static void TearDownTestSuite() { window_.reset(); }

    // Null when there is no GL context.
    static inline std::unique_ptr<platform::Window> window_;
};

}  // namespace kvx::test
