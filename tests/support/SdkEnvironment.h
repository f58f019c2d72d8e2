// The SDK started once for a whole test program (start and stop are one-way
// for a process), after the program has settled which Windows kind it plays.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "ConnectionSingleton.h"
#include "OSKind.h"
#include "sdk/PDKSDK.h"

class SdkEnvironment : public ::testing::Environment {
 public:
  explicit SdkEnvironment(std::function<void()> prepare) : m_prepare(std::move(prepare)) {}
  // Plays the given kind for the whole program.
  explicit SdkEnvironment(int kind) : SdkEnvironment([kind] { setOSKindForTesting(kind); }) {}

  void SetUp() override {
    m_prepare();
    PDKSDK_init();
    // Made now, so a test that plays another kind for a while keeps this transport.
    CConnectionSingleton::instance();
  }
  void TearDown() override {
    PDKSDK_fini();
    setOSKindForTesting(kOSKindNotOverridden);
  }

 private:
  std::function<void()> m_prepare;
};
