// The personal folders on an emulated drive whose volume is a real Wine
// drive: the command asks first, then makes the folders with their
// descriptions, web views, pictures and attributes and the three shortcuts
// in the drive's "Start Menu"; run again it rewrites them in place. Storing a
// personal icon gives only "My Profile" and "Device Settings" their look.
#include "PersonalFolders.h"

#include <gtest/gtest.h>

#include <string>

#include "DriveSwitchTestSupport.h"
#include "DriveTestSupport.h"
#include "PDKProxy.h"
#include "WinExplorer.h"
#include "resource.h"

namespace {

using drivetest::BoxAnswerer;
using drivetest::DriveTest;
using shelltest::CheckRecord;
using shelltest::Exists;
using shelltest::ReadFile;

const char kProfile[] = "R:\\My Profile";
const char kPlainDescription[] =
    "[ExtShellFolderViews]\r\n Default={5984FFE0-28D4-11CF-AE66-08002B2E1262}\r\n "
    "{5984FFE0-28D4-11CF-AE66-08002B2E1262}={5984FFE0-28D4-11CF-AE66-08002B2E1262}\r\n\r\n "
    "[{5984FFE0-28D4-11CF-AE66-08002B2E1262}]\r\n PersistMoniker=file://Folder.htt\r\n\r\n "
    "[.ShellClassInfo]\r\nConfirmFileOp=0";
const char kPersonalDescription[] =
    "[.ShellClassInfo]\r\n IconFile=icon.ico\r\n IconIndex=0\r\n ConfirmFileOp=0 \r\n "
    "InfoTip=Stores your frequently accessed documents, graphics, and other files.\r\n "
    "[ExtShellFolderViews]\r\n "
    "{BE098140-A513-11D0-A3A4-00C04FD706EC}={BE098140-A513-11D0-A3A4-00C04FD706EC}\r\n "
    "{5984FFE0-28D4-11CF-AE66-08002B2E1262}={5984FFE0-28D4-11CF-AE66-08002B2E1262}\r\n "
    "PersistMonikerPreview=file://Folder.htt\r\n [{5984FFE0-28D4-11CF-AE66-08002B2E1262}]\r\n "
    "PersistMoniker=file://Folder.htt\r\n [{BE098140-A513-11D0-A3A4-00C04FD706EC}]\r\n "
    "Attributes=1\r\n IconArea_Image=image.gif\r\n";
constexpr DWORD kFileAttributes =
    FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;

std::string SourceFile(const std::string& relative) {
  std::string path = std::string("Z:") + TOVIK_SOURCE_DIR + "/" + relative;
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

class PersonalFoldersTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    if (HasFatalFailure()) return;
    drive = &MakeDrive(drivetest::DriveConfig("0F3B27220061"));
    id = PlugInserted(*drive);
    ASSERT_GE(id, 0);
  }
  CPDKProxy& Proxy() { return manager->GetProxy(id); }

  emu::CEmulatedDrive* drive = nullptr;
  int id = -1;
};

TEST_F(PersonalFoldersTest, CancelInTheQuestionMakesNothing) {
  BoxAnswerer boxes(IDCANCEL);
  EXPECT_FALSE(CPersonalFolders::CreatePersonalFolders(nullptr, Proxy()));
  ASSERT_EQ(boxes.boxes().size(), 1u);
  EXPECT_EQ(boxes.boxes()[0].text,
            "Personal Folders are folders designated for certain type of files. To create "
            "Personal Folders click 'OK', to abort click 'Cancel'.");
  EXPECT_FALSE(Exists(kProfile));
  EXPECT_FALSE(Proxy().HasPersonalFolders());
}

TEST_F(PersonalFoldersTest, TheFoldersTheirFilesAndShortcutsAreOnTheDriveAndARunAgainRewritesThem) {
  const std::string personal = std::string(kProfile) + "\\My Tovik USB Drive";
  const std::string documents = std::string(kProfile) + "\\Tovik USB Drive Documents";
  const std::string favorites = std::string(kProfile) + "\\Tovik USB Drive Favorites";
  const std::string menu = std::string(kProfile) + "\\Start Menu";
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    if (run == 1) {
      // A longer text in place of the description: the run must cut it back.
      const std::string ini = personal + "\\desktop.ini";
      SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
      ASSERT_TRUE(drivetest::WriteText(ini, std::string(2000, 'x')));
      SetFileAttributesA(ini.c_str(), kFileAttributes);
    }
    BoxAnswerer boxes;
    ASSERT_TRUE(CPersonalFolders::CreatePersonalFolders(nullptr, Proxy()));
    EXPECT_EQ(boxes.boxes().size(), 1u);
    EXPECT_TRUE(Proxy().HasPersonalFolders());

    EXPECT_EQ(ReadFile(personal + "\\desktop.ini"), kPersonalDescription);
    EXPECT_EQ(ReadFile(personal + "\\image.gif"),
              ReadFile(SourceFile("res/pictures/personal_folder.gif")));
    EXPECT_EQ(ReadFile(personal + "\\icon.ico"), ReadFile(SourceFile("res/icons/application.ico")));
    EXPECT_EQ(ReadFile(personal + "\\folder.htt"),
              ReadFile(SourceFile("res/htt/personal_folder.htt")));
    for (const char* name : {"desktop.ini", "folder.htt", "image.gif", "icon.ico"}) {
      SCOPED_TRACE(name);
      EXPECT_EQ(Attributes(personal + "\\" + name) & kFileAttributes, kFileAttributes);
    }
    EXPECT_EQ(ReadFile(documents + "\\desktop.ini"),
              "[.ShellClassInfo]\r\n CLSID2={450D8FBA-AD25-11D0-98A8-0800361B1103}\r\n "
              "ConfirmFileOp=0 InfoTip=Stores your documents, graphics, and other files.\r\n");
    EXPECT_EQ(ReadFile(favorites + "\\desktop.ini"),
              "[.ShellClassInfo]\r\n CLSID2={1A9BA3A0-143A-11CF-8350-444553540000}\r\n "
              "ConfirmFileOp=0\r\n InfoTip=Stores your Favorites internet links, documents, "
              "graphics, and other files.\r\n");
    // Only "My Tovik USB Drive" has a web view and pictures.
    EXPECT_FALSE(Exists(documents + "\\folder.htt"));
    EXPECT_FALSE(Exists(favorites + "\\icon.ico"));
    for (const std::string& folder : {personal, documents, favorites, menu}) {
      SCOPED_TRACE(folder);
      const DWORD attributes = Attributes(folder);
      EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
      // The shell marks a system folder read-only or system.
      EXPECT_NE(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM), 0u);
    }
    const struct {
      const char* name;
      const std::string& target;
    } links[] = {{"My Tovik USB Drive", personal},
                 {"Tovik USB Drive Documents", documents},
                 {"Tovik USB Drive Favorites", favorites}};
    for (const auto& link : links) {
      SCOPED_TRACE(link.name);
      const std::string file = menu + "\\" + link.name + ".lnk";
      CWinExplorer::ShortcutInfo info;
      ASSERT_TRUE(CWinExplorer::ResolveShortcut(file, info));
      EXPECT_EQ(info.target, link.target);
      EXPECT_EQ(info.iconIndex, 0);
      if (run == 1) CheckRecord::Shortcut(file, link.target, "", "", kProfile, link.target + ",0");
    }
  }
  // The shortcuts are tools of the drive.
  CToolsList* tools = Proxy().GetToolsList();
  ASSERT_NE(tools, nullptr);
}

TEST_F(PersonalFoldersTest, APersonalIconGivesOnlyTheProfileAndSettingsTheirLook) {
  ASSERT_TRUE(Proxy().SetPersonalIcon("", IDI_DRIVE_1, 1));
  for (const std::string& folder :
       {std::string(kProfile), std::string(kProfile) + "\\Device Settings"}) {
    SCOPED_TRACE(folder);
    EXPECT_EQ(ReadFile(folder + "\\desktop.ini"), kPlainDescription);
    EXPECT_EQ(ReadFile(folder + "\\folder.htt"), ReadFile(SourceFile("res/htt/plain_folder.htt")));
    EXPECT_EQ(Attributes(folder + "\\desktop.ini") & kFileAttributes, kFileAttributes);
    // Read-only and system are set; Wine keeps only the system bit of a folder.
    EXPECT_NE(Attributes(folder) & FILE_ATTRIBUTE_SYSTEM, 0u);
  }
  EXPECT_FALSE(Exists(std::string(kProfile) + "\\Start Menu"));
  EXPECT_FALSE(Proxy().HasPersonalFolders());
}

}  // namespace
