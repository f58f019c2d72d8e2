// The drive manager as the SDK's listener: real drives plugged into the
// emulated bus, the SDK's own thread calling the manager, and a real window
// whose message loop receives what the manager posts.
#include "PDKManager.h"

#include <gtest/gtest.h>

#include <cstring>

#include "DriveTestSupport.h"
#include "SdkEnvironment.h"

namespace {

using drivetest::DriveTest;
using drivetest::kLetter;
using drivetest::kSecondLetter;
using drivetest::Posted;

const auto* const g_environment =
    ::testing::AddGlobalTestEnvironment(new SdkEnvironment(prepareDetectionPlatform));

// A record as the SDK would hand it over, for the callbacks called directly.
DeviceParams Params(int id, char letter, const char* revision) {
  DeviceParams p = DeviceParams::forLetter(letter);
  p.id = id;
  p.status = pdk::kOk;
  pdk::setText(p.revision, revision);
  pdk::setText(p.vendor, "VANTREL");
  pdk::setText(p.product, "Plunda Drive");
  return p;
}

class PDKManagerTest : public DriveTest {};

TEST_F(PDKManagerTest, InsertionSecondVolumeAndRemovalArePostedWithLetterAndId) {
  emu::CEmulatedDrive& drive = MakeDrive(drivetest::DriveConfig("0F3B27200001"));
  Plug(drive, {kLetter, kSecondLetter});
  // ME reads all letters of the drive at once; the others hear the second
  // volume as an update of the drive.
  const bool me = GetOSKind() == pdk::kOSWinME;
  ASSERT_TRUE(drivetest::PumpUntil([&] { return Heard().size() >= (me ? 1u : 2u); }));
  window.drain();
  const int id = static_cast<int>(Heard()[0].lParam);
  ASSERT_TRUE(id >= 0 && id < CPDKManager::kSlotCount) << id;
  std::vector<Posted> want = {{WM_PLUNDA_INSERT, 'R', id}};
  if (!me) want.push_back({WM_PLUNDA_CHANGE, 'R', id});
  EXPECT_EQ(Heard(), want);

  CPDKProxy& proxy = manager->GetProxy(id);
  EXPECT_TRUE(proxy.IsValid());
  EXPECT_EQ(proxy.GetId(), id);
  EXPECT_EQ(proxy.LettersText(), "R:\\,U:\\");
  EXPECT_EQ(proxy.RootPath(), "R:\\");
  EXPECT_EQ(proxy.LetterCount(), 2);
  EXPECT_EQ(proxy.Capacity(), 4096 * 512);
  EXPECT_EQ(manager->DriveCount(), 1);

  window.clear();
  bus.unplug(&drive);
  ASSERT_TRUE(drivetest::PumpUntil([&] { return !Heard().empty(); }));
  window.drain();
  EXPECT_EQ(Heard(), (std::vector<Posted>{{WM_PLUNDA_REMOVE, 'R', id}}));
  // The message goes out before the slot empties, on the SDK's thread.
  EXPECT_TRUE(drivetest::PumpUntil([&] { return manager->DriveCount() == 0; }));
  EXPECT_FALSE(manager->GetProxy(id).IsValid());
}

TEST_F(PDKManagerTest, ModelsTheSdkDidNotTakeInAreDecidedByTheModelTable) {
  if (GetOSKind() == pdk::kOSWin98SE)
    GTEST_SKIP() << "the SDK of 98 SE takes these drives in without asking its listeners";
  if (GetOSKind() == pdk::kOSWinME)
    GTEST_SKIP() << "the SDK of ME misses the next drive after one it did not take in";
  const struct {
    const char* vendor;
    const char* product;
    std::vector<UINT> messages;  // for the drive on R, before the follower's insertion
  } cases[] = {
      {"Kelmar", "USB Drive", {WM_PLUNDA_INSERT}},
      {"Vantrel", "Plund", {WM_PLUNDA_UNSUPPORTED}},  // "Plunda" the SDK knows itself
      {"Vantrel.", "Storage", {WM_PLUNDA_UNSUPPORTED}},
      {"Acme", "Disk", {}},  // refused without a word
  };
  // A drive the SDK takes in by itself, plugged in after each case's drive on
  // a letter behind it: the SDK handles arrivals one by one, so once its
  // insertion is heard, the case's drive has been decided.
  emu::CEmulatedDrive& follower = MakeDrive(drivetest::DriveConfig("0F3B27210000"));
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.vendor);
    emu::DriveConfig config = drivetest::DriveConfig(("0F3B2721000" + std::to_string(++n)).c_str());
    config.vendor = c.vendor;
    config.product = c.product;
    // Neither the product nor the identifier names the maker, and the
    // revision is too old to be identified otherwise: the SDK asks.
    config.identifierText = "Acme Other 5";
    config.revision = "2.40";
    emu::CEmulatedDrive& drive = MakeDrive(config);
    window.clear();
    Plug(drive, {kLetter});
    Plug(follower, {kSecondLetter});
    ASSERT_TRUE(drivetest::PumpUntil([&] {
      for (const Posted& p : Heard())
        if (p.message == WM_PLUNDA_INSERT && p.wParam == static_cast<WPARAM>(kSecondLetter))
          return true;
      return false;
    }));
    window.drain();
    std::vector<Posted> messages = Heard();
    ASSERT_EQ(messages.back().message, static_cast<UINT>(WM_PLUNDA_INSERT));
    messages.pop_back();
    ASSERT_EQ(messages.size(), c.messages.size()) << ::testing::PrintToString(messages);
    if (!c.messages.empty() && c.messages[0] == WM_PLUNDA_INSERT) {
      EXPECT_EQ(messages[0].wParam, static_cast<WPARAM>('R'));
      EXPECT_TRUE(manager->GetProxy(static_cast<int>(messages[0].lParam)).IsValid());
    } else if (!c.messages.empty()) {
      EXPECT_EQ(messages[0], (Posted{WM_PLUNDA_UNSUPPORTED, 0, -1}));
    }
    window.clear();
    bus.unplug(&drive);
    bus.unplug(&follower);
    // Every slot empty again before the next case; that the SDK tells of
    // each removal is the first test's to check.
    drivetest::PumpUntil([&] { return manager->DriveCount() == 0; });
  }
}

TEST_F(PDKManagerTest, RevisionsOfMajorOneOrShortAreUnsupportedAndAFailedAttachIsAnError) {
  const struct {
    const char* revision;
    UINT message;
  } cases[] = {
      {"1.50", WM_PLUNDA_UNSUPPORTED},
      {"1.99", WM_PLUNDA_UNSUPPORTED},
      {"2", WM_PLUNDA_UNSUPPORTED},   // too short: major 0
      {"3.", WM_PLUNDA_UNSUPPORTED},  // too short as well
      // The SDK's table holds no drive on T: attaching fails.
      {"2.70", WM_PLUNDA_ERROR},
      {"10.1", WM_PLUNDA_ERROR},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.revision);
    window.clear();
    manager->deviceConnected(Params(3, 't', c.revision));
    window.drain();
    EXPECT_EQ(Heard(), (std::vector<Posted>{{c.message, 'T', 3}}));
    EXPECT_FALSE(manager->GetProxy(3).IsValid());
  }
}

TEST_F(PDKManagerTest, IdsOutsideTheSlotsGiveTheEmptyProxyAndAreNeverTakenIn) {
  CPDKProxy& empty = manager->GetProxy(-1);
  for (int id : {-1, 26, 27, 127, 100000}) {
    EXPECT_EQ(&manager->GetProxy(id), &empty) << id;
    EXPECT_FALSE(manager->GetProxy(id).IsValid());
  }
  for (int id : {0, 25}) EXPECT_NE(&manager->GetProxy(id), &empty) << id;
  window.clear();
  manager->deviceConnected(Params(40, 'T', "2.70"));
  window.drain();
  EXPECT_EQ(Heard(), (std::vector<Posted>{{WM_PLUNDA_ERROR, 'T', 40}}));
  EXPECT_FALSE(empty.IsValid());
}

TEST_F(PDKManagerTest, NothingIsPostedOnceListeningHasStopped) {
  emu::CEmulatedDrive& drive = MakeDrive(drivetest::DriveConfig("0F3B27200003"));
  const int id = PlugInserted(drive);
  ASSERT_GE(id, 0);
  ASSERT_TRUE(manager->stopListen());
  EXPECT_EQ(manager->DriveCount(), 0);
  manager->deviceDisconnected(Params(id, kLetter, "2.70"));
  manager->deviceConnected(Params(5, 'T', "1.00"));
  window.drain();
  EXPECT_TRUE(Heard().empty());
}

TEST(PDKManagerSingleton, IsSharedByReferenceCounting) {
  EXPECT_EQ(CPDKManager::Release(), 0u);  // nothing to release
  CPDKManager* first = CPDKManager::Acquire();
  CPDKManager* second = CPDKManager::Acquire();
  EXPECT_EQ(first, second);
  EXPECT_EQ(CPDKManager::Release(), 1u);
  EXPECT_EQ(CPDKManager::Release(), 0u);
  EXPECT_EQ(CPDKManager::Release(), 0u);
  EXPECT_STREQ(CPDKManager::SdkVersion().c_str(), "3.0.10.8");
}

}  // namespace
