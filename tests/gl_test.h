#pragma once

#include <gtest/gtest.h>

#include <optional>

#include "offscreen_context.h"

// Each test gets a fresh off-screen GL context and the angles the program starts with,
// and fails on any GL error its frames and reshapes raised.
class GlTest : public ::testing::Test {
 protected:
  static constexpr int kSurfaceSide = 512;  // pixels; every viewport used fits inside

  void SetUp() override;
  void TearDown() override;

  static std::vector<std::uint8_t> readPixels(int width, int height) {
    return OffscreenContext::readPixels(width, height);
  }

 private:
  std::optional<OffscreenContext> context_;
};
