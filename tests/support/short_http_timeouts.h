// A test fixture for tests that talk HTTP to loopback servers: short give-up times, so that a stalled
// server costs a second rather than half a minute, and an empty cookie store before and after each test.
#pragma once

#include <gtest/gtest.h>

#include "platform/http_client.h"

namespace sarvoke {

class ShortHttpTimeouts : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = CurrentHttpTimeouts();
    SetHttpTimeouts({2000, 1});
    ClearHttpCookieStore();
  }
  void TearDown() override {
    SetHttpTimeouts(saved_);
    ClearHttpCookieStore();
  }

 private:
  HttpTimeouts saved_;
};

}  // namespace sarvoke
