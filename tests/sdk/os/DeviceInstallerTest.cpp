// Each walk over the system's devices is its own: one that begins or ends
// meanwhile, on this thread or another, leaves the others whole, as ejects
// from several threads through the one shared connection need.
#include "DeviceInstaller.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using pdkos::CDeviceInstaller;

std::vector<std::string> descriptions(const CDeviceInstaller& installer) {
  std::vector<std::string> all;
  CDeviceInstaller::Enumeration devices(installer);
  for (uint32_t i = 0; devices.selectDevice(i); ++i) {
    std::string text;
    devices.property(CDeviceInstaller::Property::kDescription, &text);
    all.push_back(text);
  }
  return all;
}

TEST(DeviceInstallerTest, WalksOverlappingEachOtherSeeTheSameDevices) {
  CDeviceInstaller installer;
  if (!installer.available()) GTEST_SKIP() << "no device-installation library on this system";
  const std::vector<std::string> reference = descriptions(installer);
  if (reference.empty()) GTEST_SKIP() << "the system lists no devices";

  // Another walk begins and ends between every step of this one.
  CDeviceInstaller::Enumeration outer(installer);
  ASSERT_TRUE(outer.valid());
  for (uint32_t i = 0; i < reference.size(); ++i) {
    {
      CDeviceInstaller::Enumeration inner(installer);
      EXPECT_TRUE(inner.selectDevice(0));
    }
    ASSERT_TRUE(outer.selectDevice(i)) << i;
    std::string text;
    EXPECT_TRUE(outer.property(CDeviceInstaller::Property::kDescription, &text));
    EXPECT_EQ(text, reference[i]);
  }
  EXPECT_FALSE(outer.selectDevice(static_cast<uint32_t>(reference.size())));

  // Walks on several threads at once, each one whole.
  std::vector<int> mismatches(4, 0);
  std::vector<std::thread> walkers;
  for (int& count : mismatches) {
    walkers.emplace_back([&installer, &reference, &count] {
      for (int round = 0; round < 10; ++round) count += descriptions(installer) != reference;
    });
  }
  for (auto& walker : walkers) walker.join();
  for (const int count : mismatches) EXPECT_EQ(count, 0);
}

}  // namespace
