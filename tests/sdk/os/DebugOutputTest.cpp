#include "DebugOutput.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class DebugOutputTest : public ::testing::Test {
 protected:
  ~DebugOutputTest() override { pdkos::setDebugOutputHook({}); }
};

TEST_F(DebugOutputTest, HookReceivesTextUntilRemoved) {
  std::vector<std::string> seen;
  pdkos::setDebugOutputHook([&seen](const char* text) { seen.emplace_back(text); });
  pdkos::debugOutput("first");
  pdkos::debugOutput(nullptr);
  pdkos::debugOutput("second\n");
  pdkos::setDebugOutputHook({});
  pdkos::debugOutput("pdkos debug output test: this line goes to the platform output\n");
  EXPECT_EQ(seen, (std::vector<std::string>{"first", "second\n"}));
}

TEST_F(DebugOutputTest, HookMayWriteAndReplaceItself) {
  std::vector<std::string> seen;
  pdkos::setDebugOutputHook([&seen](const char* text) {
    seen.emplace_back(text);
    pdkos::setDebugOutputHook(
        [&seen](const char* next) { seen.emplace_back(std::string("2:") + next); });
    pdkos::debugOutput("nested");
  });
  pdkos::debugOutput("outer");
  pdkos::debugOutput("later");
  EXPECT_EQ(seen, (std::vector<std::string>{"outer", "2:nested", "2:later"}));
}

}  // namespace
