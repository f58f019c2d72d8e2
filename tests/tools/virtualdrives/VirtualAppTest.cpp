// TovikVirtual.exe as a newcomer meets it: real processes under Wine, started
// from the build folder (it installs itself and starts the copy, which finds
// the drives' folder it was given), its plug window and its views read and
// pressed from this test program, the drives' letters real Wine drives, and
// a second run that finds each drive as the first one left it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DriveStateFile.h"
#include "KestovaDlg.h"
#include "PlugWindow.h"
#include "PlundaViewDlg.h"
#include "StringLoader.h"
#include "VirtualAppTestSupport.h"
#include "VirtualDrives.h"
#include "WineDriveLetters.h"
#include "WineTray.h"
#include "resource.h"
#include "strings.h"

namespace {

using namespace virtualtest;
using shelltest::Exists;

class VirtualAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QuitRunning();
    CWinExplorer::CreateFolderWithParents(InstallFolder());
    EmptyFolder(InstallFolder());
    // The virtual program reads the section of its own file name.
    WriteInstalledSettings(1, "TovikVirtual");
    drives_ = Scratch("virtualdrives");
    ASSERT_TRUE(SetEnvironmentVariableA(CVirtualDrives::kFolderVariable, drives_.c_str()));
  }
  void TearDown() override { QuitRunning(); }

  // Started from the build folder: the copy in the install folder runs; its id.
  static DWORD StartFromBuild() {
    Process first(BuiltVirtual(), "");
    EXPECT_TRUE(first.WaitExit()) << "the first process installs and ends";
    HWND main = WaitForWindow(0, nullptr, kCaption);
    return main != nullptr ? ProcessOf(main) : 0;
  }
  std::string DriveFile(const std::string& relative) const { return drives_ + "\\" + relative; }

  std::string drives_;
};

TEST_F(VirtualAppTest,
       PluggedInDrivesShowTheirViewsOnRealLettersAndKeepLabelAndFilesForTheNextRun) {
  const DWORD pid = StartFromBuild();
  ASSERT_NE(pid, 0u) << "no main window of the installed copy";
  Process running(pid);
  EXPECT_TRUE(Exists(InstalledVirtual()));
  HWND plug = PlugWindowOf(running.Id());
  ASSERT_NE(plug, nullptr) << "no plug window";
  // The copy keeps its drives where the first process was told to.
  EXPECT_TRUE(Exists(DriveFile("Removable\\drive.img")));
  EXPECT_TRUE(Exists(DriveFile("FixedDisk\\drive.img")));

  const struct {
    int slot;
    std::string letters;
    const char* folders[2];
  } cases[] = {
      {CVirtualDrives::kRemovable, "K:\\", {"Removable\\public", nullptr}},
      {CVirtualDrives::kFixedDisk, "L:\\,M:\\", {"FixedDisk\\public", "FixedDisk\\dummy"}},
  };
  HWND views[2] = {};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.letters);
    EXPECT_FALSE(Exists(Root(c.letters[0])));
    Click(plug, CPlugWindow::kPlugInButton + c.slot);
    views[c.slot] = VisibleWindow(running.Id(), Text(IDS_VIEW_CAPTION) + c.letters);
    ASSERT_NE(views[c.slot], nullptr) << "no view";
    EXPECT_EQ(TextOf(GetDlgItem(plug, CPlugWindow::kStateText + c.slot)), "plugged in");
    // Each letter is a Wine drive showing its partition's folder.
    for (size_t v = 0; v < CVirtualDrives::Letters(c.slot).size(); ++v) {
      const std::string name = "volume" + std::to_string(v) + ".txt";
      const char letter = CVirtualDrives::Letters(c.slot)[v];
      ASSERT_TRUE(WriteText(Root(letter) + name, "on " + std::string(1, letter)));
      EXPECT_EQ(shelltest::ReadFile(DriveFile(std::string(c.folders[v]) + "\\" + name)),
                "on " + std::string(1, letter));
    }
  }
  EXPECT_NE(shelltest::ReadFile(DriveFile("Removable\\public\\volume0.txt")), "");

  // A personal label goes into the drive's hidden area, which the state file keeps.
  PostMessageA(views[0], WM_COMMAND, CPlundaViewDlg::kSettingsCommand, 0);
  HWND personalise = DialogWith(running.Id(), IDC_SET_PDK_LABEL_EDIT);
  ASSERT_NE(personalise, nullptr) << "no personalisation dialog";
  SendMessageA(GetDlgItem(personalise, IDC_SET_PDK_LABEL_EDIT), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>("Holidays"));
  Press(personalise, IDOK);
  EXPECT_TRUE(WaitUntil([&] { return TextOf(GetDlgItem(views[0], IDC_LABEL_CTL)) == "Holidays"; }))
      << TextOf(GetDlgItem(views[0], IDC_LABEL_CTL));

  // Pulled out, the view goes and so do the letters.
  Click(plug, CPlugWindow::kPullOutButton + CVirtualDrives::kFixedDisk);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(views[1]); }));
  EXPECT_FALSE(Exists(Root('L')));
  EXPECT_FALSE(Exists(Root('M')));
  EXPECT_EQ(TextOf(GetDlgItem(plug, CPlugWindow::kStateText + 1)), "pulled out");

  // Closing the plug window only puts it away.
  SendMessageA(plug, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(plug));
  EXPECT_TRUE(IsIconic(plug));
  EXPECT_TRUE(running.Running());

  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutA(FindWindowOf(running.Id(), nullptr, kCaption), WM_QUERYENDSESSION,
                                  0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
  ASSERT_TRUE(running.WaitExit());
  EXPECT_FALSE(Exists(Root('K'))) << "the letter outlived the program";
  const emu::SavedDrive saved = emu::CDriveStateFile::load(DriveFile("Removable\\drive.state"));
  EXPECT_EQ(saved.config.serial, "0F3B27000101");
  EXPECT_TRUE(saved.config.removable);
  EXPECT_FALSE(emu::CDriveStateFile::load(DriveFile("FixedDisk\\drive.state")).config.removable);

  // Started from the build, it remembers where its drives and the ASPI
  // library are, for the installed copy started by itself.
  shelltest::CheckRecord::Value("HKCU\\Software\\TovikVirtual", "Drives", drives_);
  shelltest::CheckRecord::Value("HKCU\\Software\\TovikVirtual", "AspiLibrary",
                                FolderOf(BuiltVirtual()) + "\\wnaspi32.dll");

  // The next run, from the install folder, ended by the exit command.
  Process again(InstalledVirtual(), "");
  HWND main = WaitForWindow(again.Id(), nullptr, kCaption);
  ASSERT_NE(main, nullptr);
  plug = PlugWindowOf(again.Id());
  ASSERT_NE(plug, nullptr);
  Click(plug, CPlugWindow::kPlugInButton + CVirtualDrives::kRemovable);
  HWND view = VisibleWindow(again.Id(), Text(IDS_VIEW_CAPTION) + "K:\\");
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return TextOf(GetDlgItem(view, IDC_LABEL_CTL)) == "Holidays"; }))
      << TextOf(GetDlgItem(view, IDC_LABEL_CTL));
  EXPECT_EQ(shelltest::ReadFile("K:\\volume0.txt"), "on K");

  PostMessageA(main, WM_COMMAND, ID_TRAY_EXIT, 0);
  HWND box = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    for (HWND w = FindWindowExA(nullptr, nullptr, kBoxClass, nullptr); w != nullptr;
         w = FindWindowExA(nullptr, w, kBoxClass, nullptr)) {
      if (ProcessOf(w) == again.Id() && IsWindowVisible(w) &&
          HasChildText(w, Text(IDS_EXIT_CONFIRM)))
        box = w;
    }
    return box != nullptr;
  })) << "no exit confirmation";
  Press(box, IDOK);
  ASSERT_TRUE(again.WaitExit());
  EXPECT_EQ(again.ExitCode(), 0u);
  // Nothing of the program is left.
  EXPECT_EQ(FindWindowOf(0, nullptr, kCaption), nullptr);
  EXPECT_EQ(FindWindowOf(0, CPlugWindow::kWindowClass, nullptr), nullptr);
  EXPECT_FALSE(Exists(Root('K')));
}

TEST_F(VirtualAppTest, ADamagedStateFileIsKeptAsideAndTheDriveStartsAfresh) {
  CWinExplorer::CreateFolderWithParents(DriveFile("Removable"));
  ASSERT_TRUE(WriteText(DriveFile("Removable\\drive.state"), "TovikEmulatedDrive 1\n"));
  const DWORD pid = StartFromBuild();
  ASSERT_NE(pid, 0u);
  Process running(pid);
  HWND plug = PlugWindowOf(running.Id());
  ASSERT_NE(plug, nullptr);
  Click(plug, CPlugWindow::kPlugInButton + CVirtualDrives::kRemovable);
  EXPECT_NE(VisibleWindow(running.Id(), Text(IDS_VIEW_CAPTION) + "K:\\"), nullptr);
  EXPECT_EQ(shelltest::ReadFile(DriveFile("Removable\\drive.state.damaged")),
            "TovikEmulatedDrive 1\n");
  QuitRunning();
  ASSERT_TRUE(running.WaitExit());
  // Saved afresh at the end.
  EXPECT_EQ(emu::CDriveStateFile::load(DriveFile("Removable\\drive.state")).config.serial,
            "0F3B27000101");
}

// In this process: a privacy-zone login on either drive (the partition
// switch the drive is sent) moves its letters to the safe partition's
// folder, and the logout back.
TEST(VirtualDrivesTest, ALoginMovesTheLettersToTheSafePartitionsFolderAndTheLogoutBack) {
  const std::string folder = Scratch("virtualdrives-switch");
  CVirtualDrives drives(folder);
  const struct {
    int slot;
    size_t volume;  // the letter that changes
    uint16_t configure, enterSwitch;
    std::vector<uint8_t> configureBlock, loginBlock, logoutBlock;
    const char* safeFolder;
    const char* leftFolder;  // what the letter shows outside the zone
    uint64_t safeBytes, leftBytes;
  } cases[] = {
      {CVirtualDrives::kRemovable, 0, 0x0041, 0x0042, Block(20, {{0, 4}}, 4), Block(16, {}, 0),
       Block(16, {}), "Removable\\safe", "Removable\\public", 4 << 20, 60 << 20},
      {CVirtualDrives::kFixedDisk, 1, 0x0045, 0x0046, Block(28, {{0, 4}, {4, 2}, {8, 6}}, 12),
       Block(20, {{0, 6}}, 4), Block(20, {}), "FixedDisk\\safe", "FixedDisk\\dummy", 4 << 20,
       2 << 20},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(CVirtualDrives::Name(c.slot));
    ASSERT_TRUE(drives.PlugIn(c.slot)) << drives.Problem();
    const char letter = CVirtualDrives::Letters(c.slot)[c.volume];
    emu::CEmulatedDrive& drive = drives.Drive(c.slot);
    ASSERT_EQ(Vendor(drive, c.configure, c.configureBlock), emu::kStatusGood);
    // Back in the zone, the letter shows the safe partition's files again.
    const struct {
      std::vector<uint8_t> block;
      std::string folder;
      uint64_t bytes;
      std::string found;  // here.txt on arrival
    } steps[] = {{c.loginBlock, c.safeFolder, c.safeBytes, ""},
                 {c.logoutBlock, c.leftFolder, c.leftBytes, ""},
                 {c.loginBlock, c.safeFolder, c.safeBytes, c.safeFolder}};
    for (const auto& step : steps) {
      SCOPED_TRACE(step.folder);
      ASSERT_EQ(Vendor(drive, c.enterSwitch, step.block), emu::kStatusGood);
      EXPECT_EQ(drives.VolumeFolder(c.slot, int(c.volume)), folder + "\\" + step.folder);
      const std::string name = Root(letter) + "here.txt";
      EXPECT_EQ(shelltest::ReadFile(name), step.found);
      if (drives.VolumeMounted(c.slot, int(c.volume))) {
        EXPECT_EQ(TotalBytes(letter), step.bytes);
      }
      ASSERT_TRUE(WriteText(name, step.folder));
      EXPECT_EQ(shelltest::ReadFile(folder + "\\" + step.folder + "\\here.txt"), step.folder);
    }
    EXPECT_TRUE(drives.PullOut(c.slot));
    EXPECT_FALSE(Exists(Root(letter)));
  }
}

// In this process: while the drive is write-protected its letter refuses
// writes (the drive would refuse the sectors), and takes them again after.
TEST(VirtualDrivesTest, AWriteProtectedDrivesLetterRefusesWrites) {
  CVirtualDrives drives(Scratch("virtualdrives-protect"));
  ASSERT_TRUE(drives.PlugIn(CVirtualDrives::kRemovable)) << drives.Problem();
  if (!drives.VolumeMounted(CVirtualDrives::kRemovable, 0)) {
    GTEST_SKIP()
        << "the host does not let this program mount a tmpfs: a plain folder stays writable";
  }
  emu::CEmulatedDrive& drive = drives.Drive(CVirtualDrives::kRemovable);
  for (bool protect : {true, false}) {
    SCOPED_TRACE(protect ? "protected" : "unprotected");
    const auto block = drive.state().configBlock;
    std::vector<uint8_t> config(block.begin(), block.end());
    config[emu::CEmulatedDrive::kConfigPresentationOffset] ^=
        emu::CEmulatedDrive::kConfigWriteProtectBit;
    ASSERT_EQ(Vendor(drive, emu::CEmulatedDrive::kSubCodeConfigWrite, config), emu::kStatusGood);
    EXPECT_EQ(WriteText("K:\\written.txt", "written"), !protect);
  }
  EXPECT_EQ(shelltest::ReadFile("K:\\written.txt"), "written");
  EXPECT_TRUE(drives.PullOut(CVirtualDrives::kRemovable));
}

// Whether the host's mount table has a mount below `folder`, asked of the host's own grep.
bool MountedBelow(const std::string& folder) {
  // The table has the folder's real path, without the prefix's drive links.
  const int found = CWineDriveLetters::RunHostScript(
      "cd " + CWineDriveLetters::ShellWord(CWineDriveLetters::HostPath(folder)) +
          " && pwd -P | sed 's|$|/|' | grep -qFf - /proc/mounts",
      folder);
  EXPECT_TRUE(found == 0 || found == 1) << "grep answered " << found;
  return found == 0;
}

// In this process: each letter is as large as the partition it shows, its
// files outlive a pull-out and the end of the program, and a format through
// the drive empties it. Nothing stays mounted once the drives are gone.
TEST(VirtualDrivesTest, ALetterHasItsPartitionsSizeKeepsItsFilesAndAFormatEmptiesIt) {
  const std::string folder = Scratch("virtualdrives-mounts");
  CWinExplorer::CreateFolderWithParents(folder);
  ASSERT_FALSE(MountedBelow(folder)) << "left over from an earlier run";
  const struct {
    int slot;
    int volume;
    uint64_t bytes;
  } cases[] = {
      {CVirtualDrives::kRemovable, 0, 131072ull * 512},
      {CVirtualDrives::kFixedDisk, 0, 131072ull * 512},
  };
  {
    CVirtualDrives drives(folder);
    for (const auto& c : cases) {
      SCOPED_TRACE(CVirtualDrives::Name(c.slot));
      ASSERT_TRUE(drives.PlugIn(c.slot)) << drives.Problem();
      if (!drives.VolumeMounted(c.slot, c.volume)) {
        GTEST_SKIP() << "the host does not let this program mount a tmpfs (not root?): the "
                        "letters have the host disk's size, not the partition's";
      }
      const char letter = CVirtualDrives::Letters(c.slot)[size_t(c.volume)];
      EXPECT_EQ(drives.VolumeBytes(c.slot, c.volume), c.bytes);
      EXPECT_EQ(TotalBytes(letter), c.bytes);
      ASSERT_TRUE(WriteText(Root(letter) + "kept.txt", "kept on " + std::string(1, letter)));
      ASSERT_TRUE(drives.PullOut(c.slot));
      ASSERT_TRUE(drives.PlugIn(c.slot)) << drives.Problem();
      EXPECT_EQ(shelltest::ReadFile(Root(letter) + "kept.txt"), "kept on " + std::string(1, letter))
          << "after a pull-out";
    }
    EXPECT_TRUE(MountedBelow(folder));
  }
  EXPECT_FALSE(MountedBelow(folder)) << "a mount outlived the drives";

  CVirtualDrives drives(folder);
  for (const auto& c : cases) {
    SCOPED_TRACE(CVirtualDrives::Name(c.slot));
    ASSERT_TRUE(drives.PlugIn(c.slot)) << drives.Problem();
    const char letter = CVirtualDrives::Letters(c.slot)[size_t(c.volume)];
    EXPECT_EQ(shelltest::ReadFile(Root(letter) + "kept.txt"), "kept on " + std::string(1, letter))
        << "after a restart";
    // A formatter's boot sector, written where the partition begins.
    std::vector<uint8_t> boot(512, 0);
    boot[12] = 0x02;
    boot[38] = 0x29;
    boot[510] = 0x55;
    boot[511] = 0xAA;
    const uint8_t write[10] = {0x2A, 0, 0, 0, 0, 63, 0, 0, 1, 0};
    ASSERT_EQ(drives.Drive(c.slot).execute(write, sizeof write, boot.data(), 512, false).status,
              emu::kStatusGood);
    EXPECT_FALSE(Exists(Root(letter) + "kept.txt")) << "the format left the file";
    ASSERT_TRUE(drives.PullOut(c.slot));
    ASSERT_TRUE(drives.PlugIn(c.slot)) << drives.Problem();
    EXPECT_FALSE(Exists(Root(letter) + "kept.txt")) << "the file came back from the kept place";
    // Other sectors leave the files alone.
    ASSERT_TRUE(WriteText(Root(letter) + "stays.txt", "stays"));
    std::vector<uint8_t> other(512, 0xE5);
    ASSERT_EQ(drives.Drive(c.slot).execute(write, sizeof write, other.data(), 512, false).status,
              emu::kStatusGood);
    EXPECT_EQ(shelltest::ReadFile(Root(letter) + "stays.txt"), "stays");
    ASSERT_TRUE(drives.PullOut(c.slot));
  }
}

}  // namespace

const auto* const kWineVersion =
    ::testing::AddGlobalTestEnvironment(new virtualtest::WineVersionOfTheVirtualProgram);
const auto* const kTrayKeeper = ::testing::AddGlobalTestEnvironment(new traytest::WineTrayKeeper);
