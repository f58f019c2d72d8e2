// The tables of virtual operations of the public classes, in the order an
// application compiled against sdk/PDKSDK.h finds them: its calls go by slot.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "sdk/PDKSDK.h"

namespace {

// The slot of a virtual operation, from its pointer to member as the
// compilers of every preset lay it out (the Itanium C++ ABI: one more than
// the operation's byte offset in the table).
template <typename Member>
long slotOf(Member member) {
  struct Representation {
    uintptr_t pointer;
    ptrdiff_t adjustment;
  };
  static_assert(sizeof(Member) == sizeof(Representation), "not an Itanium pointer to member");
  Representation r;
  std::memcpy(&r, &member, sizeof r);
  if ((r.pointer & 1) == 0) return -1;  // not virtual
  return static_cast<long>((r.pointer - 1) / sizeof(void*));
}

// The destructor takes the first two slots (complete and deleting), so the
// operations follow from slot 2 on, one after the other.
void expectInOrder(const std::vector<long>& slots) {
  for (size_t i = 0; i < slots.size(); ++i) EXPECT_EQ(slots[i], long(i) + 2) << "operation " << i;
}

TEST(SlotOrderTest, DeviceObject) {
  expectInOrder({
      slotOf(&CPDK::getCapacity),
      slotOf(&CPDK::getSerial),
      slotOf(&CPDK::getRevision),
      slotOf(&CPDK::probeAccess),
      slotOf(&CPDK::ejectDevice),
      slotOf(&CPDK::getDriveLetters),
      slotOf(&CPDK::getVisiblePartition),
      slotOf(&CPDK::isRemovable),
      slotOf(&CPDK::isWriteProtected),
      slotOf(&CPDK::updateWriteProtected),
      slotOf(&CPDK::writeImage),
      slotOf(static_cast<bool (CPDK::*)(const DeviceParams&)>(&CPDK::attachDevice)),
      slotOf(static_cast<bool (CPDK::*)(char)>(&CPDK::attachDevice)),
      slotOf(&CPDK::detachDevice),
      slotOf(&CPDK::isValid),
  });
}

TEST(SlotOrderTest, DeviceListener) {
  expectInOrder({
      slotOf(&CDeviceListener::update),
      slotOf(&CDeviceListener::deviceConnected),
      slotOf(&CDeviceListener::deviceDisconnected),
      slotOf(&CDeviceListener::deviceUpdated),
      slotOf(&CDeviceListener::deviceNotRecognized),
      slotOf(&CDeviceListener::isDeviceValid),
  });
}

TEST(SlotOrderTest, DepositNotify) {
  expectInOrder({
      slotOf(&IDepositNotify::onProgress),
      slotOf(&IDepositNotify::onFormatDone),
      slotOf(&IDepositNotify::onError),
      slotOf(&IDepositNotify::onCompleted),
      slotOf(&IDepositNotify::onReconnectFailed),
  });
}

TEST(SlotOrderTest, PrivacyZoneInterface) {
  expectInOrder({
      slotOf(&CPDKDeposit::getPasswordHint),
      slotOf(&CPDKDeposit::isInSafePartition),
      slotOf(&CPDKDeposit::isDepositSupported),
      slotOf(&CPDKDeposit::isVersion3),
      slotOf(&CPDKDeposit::safePartitionExist),
      slotOf(&CPDKDeposit::getPartitionSizes),
      slotOf(&CPDKDeposit::configure),
      slotOf(&CPDKDeposit::changePassword),
      slotOf(&CPDKDeposit::login),
      slotOf(&CPDKDeposit::logout),
      slotOf(&CPDKDeposit::minPartitionSize),
  });
}

TEST(SlotOrderTest, CookieInterface) {
  expectInOrder({
      slotOf(&CPDKCookie::setString),
      slotOf(&CPDKCookie::setInt),
      slotOf(&CPDKCookie::getString),
      slotOf(&CPDKCookie::getInt),
      slotOf(&CPDKCookie::delCookie),
      slotOf(&CPDKCookie::delSection),
      slotOf(&CPDKCookie::freeSpace),
      slotOf(&CPDKCookie::dumpHiddenArea),
      slotOf(&CPDKCookie::delAllCookies),
      slotOf(&CPDKCookie::enumSections),
      slotOf(&CPDKCookie::enumCookies),
  });
}

}  // namespace
