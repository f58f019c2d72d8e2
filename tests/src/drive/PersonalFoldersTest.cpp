// The personal folders on an emulated drive whose volume is a real Wine
// drive: the command asks first, then makes the folders with their
// descriptions, web views, pictures and attributes and the three shortcuts
// in the drive's "Start Menu"; run again it rewrites them in place. Storing a
// personal icon gives only "My Profile" and "Device Settings" their look.
#include "PersonalFolders.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>

#include "DriveSwitchTestSupport.h"
#include "DriveTestSupport.h"
#include "PDKProxy.h"
#include "WinExplorer.h"
#include "resource.h"

namespace {

using drivetest::BoxAnswerer;
using drivetest::DriveTest;
using drivetest::SourceFile;
using shelltest::CheckRecord;
using shelltest::Exists;
using shelltest::ReadFile;

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
const char kDocumentsDescription[] =
    "[.ShellClassInfo]\r\n CLSID2={450D8FBA-AD25-11D0-98A8-0800361B1103}\r\n "
    "ConfirmFileOp=0 InfoTip=Stores your documents, graphics, and other files.\r\n";
const char kFavoritesDescription[] =
    "[.ShellClassInfo]\r\n CLSID2={1A9BA3A0-143A-11CF-8350-444553540000}\r\n "
    "ConfirmFileOp=0\r\n InfoTip=Stores your Favorites internet links, documents, "
    "graphics, and other files.\r\n";
constexpr DWORD kFileAttributes =
    FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;

DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

// The file system's number of the file (Wine's is the host's inode), 0 when
// it cannot be opened.
uint64_t FileIndex(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  BY_HANDLE_FILE_INFORMATION info{};
  const BOOL known = GetFileInformationByHandle(file, &info);
  CloseHandle(file);
  return known ? (uint64_t(info.nFileIndexHigh) << 32) | info.nFileIndexLow : 0;
}

class PersonalFoldersTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    if (HasFatalFailure()) return;
    drivetest::EmptyFolder(drivetest::Root(Letter()));
    drive = &MakeDrive(drivetest::DriveConfig("0F3B27220061"));
    id = PlugInserted(*drive, {Letter()});
    ASSERT_GE(id, 0);
    profile = drivetest::Root(Letter()) + "My Profile";
  }
  virtual char Letter() const { return drivetest::kLetter; }
  CPDKProxy& Proxy() { return manager->GetProxy(id); }

  std::string profile;

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
  EXPECT_FALSE(Exists(profile));
  EXPECT_FALSE(Proxy().HasPersonalFolders());
}

// On a Wine drive no later test empties: the host looks at its files after the run.
class PersonalFoldersKeptTest : public PersonalFoldersTest {
 protected:
  char Letter() const override { return drivetest::kKeptLetter; }
};

TEST_F(PersonalFoldersKeptTest, TheFoldersTheirFilesAndShortcutsAreOnTheDriveAndARunAgainRewritesThem) {
  const std::string personal = profile + "\\My Tovik USB Drive";
  const std::string documents = profile + "\\Tovik USB Drive Documents";
  const std::string favorites = profile + "\\Tovik USB Drive Favorites";
  const std::string menu = profile + "\\Start Menu";
  // Files the second run must rewrite where they are, not make anew.
  const std::string rewritten[] = {personal + "\\desktop.ini", personal + "\\folder.htt",
                                   documents + "\\desktop.ini", favorites + "\\desktop.ini"};
  uint64_t firstRun[std::size(rewritten)] = {};
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
    EXPECT_EQ(ReadFile(documents + "\\desktop.ini"), kDocumentsDescription);
    EXPECT_EQ(ReadFile(favorites + "\\desktop.ini"), kFavoritesDescription);
    for (size_t i = 0; i < std::size(rewritten); ++i) {
      const uint64_t file = FileIndex(rewritten[i]);
      EXPECT_NE(file, 0u) << rewritten[i];
      if (run == 0) firstRun[i] = file;
      EXPECT_EQ(file, firstRun[i]) << rewritten[i] << " was made anew";
    }
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
      if (run == 1) CheckRecord::Shortcut(file, link.target, "", "", profile, link.target + ",0");
    }
  }
  // What the second run left, as the host sees the drive's folder: the bytes
  // and attributes of every file, and the system mark of every folder (the
  // only folder attribute Wine keeps).
  const struct {
    std::string file;
    std::string text;    // what it holds; empty for a copy of
    std::string source;  // this source file
  } files[] = {
      {personal + "\\desktop.ini", kPersonalDescription, ""},
      {personal + "\\folder.htt", "", SourceFile("res/htt/personal_folder.htt")},
      {personal + "\\image.gif", "", SourceFile("res/pictures/personal_folder.gif")},
      {personal + "\\icon.ico", "", SourceFile("res/icons/application.ico")},
      {documents + "\\desktop.ini", kDocumentsDescription, ""},
      {favorites + "\\desktop.ini", kFavoritesDescription, ""},
  };
  for (const auto& f : files) {
    if (f.text.empty()) {
      CheckRecord::SameFile(f.file, f.source);
    } else {
      CheckRecord::SameText(f.file, f.text);
    }
    CheckRecord::Attributes(f.file, "RHS");
  }
  for (const std::string& folder : {profile, personal, documents, favorites, menu})
    CheckRecord::Attributes(folder, "S");
  // The shortcuts are tools of the drive.
  CToolsList* tools = Proxy().GetToolsList();
  ASSERT_NE(tools, nullptr);
}

TEST_F(PersonalFoldersTest, APersonalIconGivesOnlyTheProfileAndSettingsTheirLook) {
  ASSERT_TRUE(Proxy().SetPersonalIcon("", IDI_DRIVE_1, 1));
  for (const std::string& folder :
       {profile, profile + "\\Device Settings"}) {
    SCOPED_TRACE(folder);
    EXPECT_EQ(ReadFile(folder + "\\desktop.ini"), kPlainDescription);
    EXPECT_EQ(ReadFile(folder + "\\folder.htt"), ReadFile(SourceFile("res/htt/plain_folder.htt")));
    EXPECT_EQ(Attributes(folder + "\\desktop.ini") & kFileAttributes, kFileAttributes);
    // Read-only and system are set; Wine keeps only the system bit of a folder.
    EXPECT_NE(Attributes(folder) & FILE_ATTRIBUTE_SYSTEM, 0u);
  }
  EXPECT_FALSE(Exists(profile + "\\Start Menu"));
  EXPECT_FALSE(Proxy().HasPersonalFolders());
}

}  // namespace
