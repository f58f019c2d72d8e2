#include "DeviceHandle.h"

#include <gtest/gtest.h>

#include "DriveFixture.h"
#include "NTConnection.h"
#include "PDKErrors.h"

namespace {

class DeviceHandleTest : public DriveFixture {
 protected:
  CNTConnection nt;
  uint32_t kb = 0;
};

TEST_F(DeviceHandleTest, EveryCommandOpensAndClosesTheVolumeOfTheLowestLetter) {
  DeviceParams params;
  params.driveMask = (1u << 4) | (1u << 6);  // E: and G:
  CDeviceHandle handle(params);
  ASSERT_EQ(nt.readCapacity(handle, &kb), pdk::kOk);
  ASSERT_EQ(nt.readCapacity(handle, &kb), pdk::kOk);
  EXPECT_EQ(port.openCount(), 2u);
  EXPECT_EQ(port.openHandleCount(), 0u);
  EXPECT_EQ(port.openedPaths(), (std::vector<std::string>{"\\\\.\\E:", "\\\\.\\E:"}));
  EXPECT_FALSE(handle.isOpen());
  EXPECT_EQ(handle.params().path[0], '\0');  // closing forgets the path
}

TEST_F(DeviceHandleTest, AHandleHeldOpenServesEveryCommand) {
  CDeviceHandle handle(driveE());
  ASSERT_EQ(handle.open(nt), pdk::kOk);
  ASSERT_EQ(nt.readCapacity(handle, &kb), pdk::kOk);
  ASSERT_EQ(nt.readCapacity(handle, &kb), pdk::kOk);
  EXPECT_EQ(port.openCount(), 1u);
  EXPECT_EQ(port.openHandleCount(), 1u);
  handle.close();
  EXPECT_EQ(port.openHandleCount(), 0u);
  EXPECT_EQ(port.badCloseCount(), 0u);
}

TEST_F(DeviceHandleTest, ABorrowedHandleIsNeverClosedByTheBorrower) {
  CDeviceHandle owner(driveE());
  ASSERT_EQ(owner.open(nt), pdk::kOk);
  {
    CDeviceHandle borrower(driveE(), &owner);
    EXPECT_TRUE(borrower.isOpen());
    EXPECT_FALSE(borrower.ownsHandle());
    EXPECT_EQ(borrower.handle(), owner.handle());
    ASSERT_EQ(nt.readCapacity(borrower, &kb), pdk::kOk);
    borrower.close();
  }
  EXPECT_EQ(port.openCount(), 1u);
  EXPECT_EQ(port.openHandleCount(), 1u);
  EXPECT_TRUE(owner.isOpen());
  ASSERT_EQ(nt.readCapacity(owner, &kb), pdk::kOk);
}

TEST_F(DeviceHandleTest, BorrowingFromAClosedHandleOpensItsOwn) {
  CDeviceHandle closed(driveE());
  CDeviceHandle handle(driveE(), &closed);
  EXPECT_TRUE(handle.ownsHandle());
  ASSERT_EQ(nt.readCapacity(handle, &kb), pdk::kOk);
  EXPECT_EQ(port.openHandleCount(), 0u);
}

TEST_F(DeviceHandleTest, OpenFailuresMapToSdkCodes) {
  struct Case {
    const char* what;
    uint32_t mask;
    const char* path;
    bool busy;
    int expected;
  } cases[] = {
      {"no such volume", pdk::letterBit('Q'), "", false, pdk::kNotConnected},
      {"volume in use", pdk::letterBit('E'), "", true, pdk::kCantAccessDevice},
      {"no letter and no path", 0, "", false, pdk::kGeneralError},
      {"an explicit path wins over the letters", 0, "\\\\.\\E:", false, pdk::kOk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    port.setBusy('E', c.busy);
    DeviceParams params;
    params.driveMask = c.mask;
    pdk::setText(params.path, c.path);
    CDeviceHandle handle(params);
    EXPECT_EQ(nt.readCapacity(handle, &kb), c.expected);
    EXPECT_EQ(port.openHandleCount(), 0u);
  }
}

TEST_F(DeviceHandleTest, OnlyModesZeroAndOneOpen) {
  CDeviceHandle handle(driveE());
  EXPECT_EQ(handle.open(nt, 2), -1);
  EXPECT_FALSE(handle.isOpen());
  EXPECT_EQ(handle.open(nt, 1), pdk::kOk);
  EXPECT_TRUE(handle.isOpen());
}

}  // namespace
