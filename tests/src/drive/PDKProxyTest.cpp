// The drive proxy on a drive the SDK took in: the personal label, icon and
// sound live on the drive (cookies in its hidden area, files on its volume,
// a real Wine drive) and outlast a pull-out; write protection and the privacy
// zone are asked of the drive itself.
#include "PDKProxy.h"

#include <gtest/gtest.h>

#include <chrono>

#include "DriveTestSupport.h"
#include "resource.h"

namespace {

using drivetest::SourceFile;

using drivetest::DriveTest;
using drivetest::kLetter;
using shelltest::Exists;
using shelltest::ReadFile;

class PDKProxyTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    if (HasFatalFailure()) return;
    drive = &MakeDrive(drivetest::DriveConfig("0F3B27220001"));
    id = PlugInserted(*drive);
    ASSERT_GE(id, 0);
  }
  CPDKProxy& Proxy() { return manager->GetProxy(id); }

  emu::CEmulatedDrive* drive = nullptr;
  int id = -1;
};

TEST_F(PDKProxyTest, LabelIconAndSoundOutlastAPullOut) {
  const std::string settings = "R:\\My Profile\\Device Settings";
  EXPECT_FALSE(Exists(settings));
  std::string label;
  EXPECT_EQ(Proxy().GetLabel(label), CPDKProxy::kPersonalUnset);
  HICON icon = nullptr;
  int index = -1;
  EXPECT_EQ(Proxy().GetPersonalIcon(icon, index), CPDKProxy::kPersonalUnset);
  EXPECT_EQ(icon, nullptr);

  ASSERT_TRUE(Proxy().SetLabel("Anna's drive"));
  ASSERT_TRUE(Proxy().SetPersonalIcon("", IDI_APPLICATION_ICON, 4));
  ASSERT_TRUE(Proxy().SetPersonalSound("", IDW_INSERTED, 7));
  EXPECT_TRUE(Exists("R:\\My Profile"));

  Unplug(*drive);
  EXPECT_TRUE(drivetest::PumpUntil([&] { return !manager->GetProxy(id).IsValid(); }));
  id = PlugInserted(*drive);
  ASSERT_GE(id, 0);

  EXPECT_EQ(Proxy().GetLabel(label), CPDKProxy::kPersonalSet);
  EXPECT_EQ(label, "Anna's drive");
  ASSERT_EQ(Proxy().GetPersonalIcon(icon, index), CPDKProxy::kPersonalSet);
  EXPECT_NE(icon, nullptr) << "LoadImage cannot read the icon file";
  if (icon != nullptr) DestroyIcon(icon);
  EXPECT_EQ(index, 4);
  std::string sound;
  ASSERT_EQ(Proxy().GetPersonalSound(sound, index), CPDKProxy::kPersonalSet);
  EXPECT_EQ(sound, settings + "\\Sound.wav");
  EXPECT_EQ(index, 7);

  // The icon file is the icon the program was built from, byte for byte:
  // its directory of 16-byte entries and the images behind it.
  const std::string iconFile = settings + "\\Icon.ico";
  EXPECT_EQ(ReadFile(iconFile), ReadFile(SourceFile("res/icons/application.ico")));
  const DWORD want = FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;
  EXPECT_EQ(GetFileAttributesA(iconFile.c_str()) & want, want);
  EXPECT_EQ(ReadFile(sound), ReadFile(SourceFile("res/sounds/inserted.wav")));

  // An empty label removes the key: the drive's store no longer has it.
  ASSERT_TRUE(Proxy().SetLabel(""));
  EXPECT_EQ(Proxy().GetLabel(label), CPDKProxy::kPersonalUnset);
  EXPECT_EQ(label, "");
  CPDK direct;
  ASSERT_TRUE(direct.attachDevice(kLetter));
  char buffer[64] = "";
  uint32_t size = sizeof buffer;
  EXPECT_NE(direct.cookies().getString("Ovrin App", "LabelStr", buffer, size), pdk::kOk);
  int stored = -1;
  ASSERT_EQ(direct.cookies().getInt("Ovrin App", "IconIndex", stored), pdk::kOk);
  EXPECT_EQ(stored, 4);
}

TEST_F(PDKProxyTest, AUsersFilesAreCopiedOverTheOldOnes) {
  ASSERT_TRUE(Proxy().SetPersonalIcon("", IDI_APPLICATION_ICON, 1));
  ASSERT_TRUE(Proxy().SetPersonalSound("", IDW_INSERTED, 1));
  const struct {
    bool icon;
    std::string source;
    std::string target;
  } cases[] = {
      {true, SourceFile("tests/src/drive/res/user.ico"),
       "R:\\My Profile\\Device Settings\\Icon.ico"},
      {false, SourceFile("res/sounds/removed.wav"), "R:\\My Profile\\Device Settings\\Sound.wav"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    ASSERT_TRUE(Exists(c.source));
    ASSERT_TRUE(c.icon ? Proxy().SetPersonalIcon(c.source, 0, 11)
                       : Proxy().SetPersonalSound(c.source, 0, 11));
    EXPECT_EQ(ReadFile(c.target), ReadFile(c.source));
  }
  HICON icon = nullptr;
  int index = 0;
  ASSERT_EQ(Proxy().GetPersonalIcon(icon, index), CPDKProxy::kPersonalSet);
  EXPECT_NE(icon, nullptr);
  if (icon != nullptr) DestroyIcon(icon);
  EXPECT_EQ(index, 11);
  // A source that is not there changes nothing and says so.
  EXPECT_FALSE(Proxy().SetPersonalSound("R:\\no such.wav", 0, 3));
  EXPECT_FALSE(Proxy().SetPersonalIcon("", 9999, 3));
}

TEST_F(PDKProxyTest, WriteProtectionAndPrivacyAreAskedOfTheDrive) {
  // Write protection came with the drives of revision 3.
  EXPECT_FALSE(Proxy().IsWriteProtectSupported());
  EXPECT_FALSE(Proxy().SetWriteProtect(true));
  EXPECT_FALSE(Proxy().IsWriteProtected());
  EXPECT_TRUE(Proxy().IsPrivacySupported());
  EXPECT_FALSE(Proxy().HasPrivacyZone());
  EXPECT_FALSE(Proxy().IsLoggedIn());

  // Gone from the system's records too: 98 SE looks drives up there by letter.
  Unplug(*drive);
  unregisterDrives(port);
  emu::DriveConfig config = drivetest::DriveConfig("0F3B27220002");
  config.revision = "3.10";
  emu::CEmulatedDrive& newer = MakeDrive(config);
  // On a letter of its own: switching the protection makes the drive leave
  // the bus and come back, which no other drive must run into.
  id = PlugInserted(newer, {drivetest::kBusOnlyLetter});
  ASSERT_GE(id, 0);
  EXPECT_TRUE(Proxy().IsWriteProtectSupported());
  EXPECT_FALSE(Proxy().IsWriteProtected());
  for (bool on : {true, false}) {
    SCOPED_TRACE(on);
    const size_t before = bus.events().size();
    ASSERT_TRUE(Proxy().SetWriteProtect(on));
    // The drive takes the new setting by leaving the bus and coming back,
    // on a thread of the SDK's own; the SDK hides that from its listeners.
    ASSERT_TRUE(bus.waitForEvents(before + 2, std::chrono::seconds(15)));
    EXPECT_TRUE(drivetest::PumpUntil([&] { return Proxy().IsWriteProtected() == on; }));
    // The drive itself refuses writes while it is on.
    EXPECT_EQ((newer.state().configBlock[8] & 0x02) != 0, on);
    window.drain();
    EXPECT_TRUE(window.messages().empty()) << ::testing::PrintToString(window.messages());
  }

  CPDKProxy empty;
  EXPECT_FALSE(empty.IsValid());
  EXPECT_EQ(empty.RootPath(), "");
  EXPECT_EQ(empty.LettersText(), "");
  EXPECT_EQ(empty.Capacity(), -1);
  EXPECT_FALSE(empty.IsWriteProtected());
  EXPECT_FALSE(empty.IsPrivacySupported());
  EXPECT_FALSE(empty.SetLabel("x"));
}

TEST_F(PDKProxyTest, PersonalFoldersAreThereOnceTheirFolderIs) {
  EXPECT_FALSE(Proxy().HasPersonalFolders());
  ASSERT_TRUE(CreateDirectoryA("R:\\My Profile", nullptr));
  EXPECT_FALSE(Proxy().HasPersonalFolders());
  ASSERT_TRUE(CreateDirectoryA("R:\\My Profile\\My Tovik USB Drive", nullptr));
  EXPECT_TRUE(Proxy().HasPersonalFolders());
}

TEST_F(PDKProxyTest, ASlotTakesOverAFreshProxysDrive) {
  CPDKProxy copy;
  copy.CopyFrom(Proxy());
  EXPECT_TRUE(copy.IsValid());
  EXPECT_EQ(copy.GetId(), id);
  EXPECT_EQ(copy.RootPath(), "R:\\");
  CPDKProxy empty;
  copy.CopyFrom(empty);
  EXPECT_FALSE(copy.IsValid());
  EXPECT_EQ(copy.RootPath(), "");
  EXPECT_FALSE(copy.Attach(nullptr));
}

}  // namespace
