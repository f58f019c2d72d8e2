// Tovik.exe as the user meets it: real processes under Wine, started from
// the install folder (or from elsewhere), one running instance found by its
// caption, and the boxes, popups and menus of the running process read and
// pressed from this test program.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <string>

#include "AppShortcuts.h"
#include "KestovaDlg.h"
#include "ProcessTestSupport.h"
#include "StringLoader.h"
#include "VersionInfo.h"
#include "WinExplorer.h"
#include "WineTray.h"
#include "resource.h"
#include "strings.h"

namespace {

using namespace processtest;

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// A window of process `pid` (any for 0) that shows `text` in a child and is
// none of `known`: the skinned boxes, the popups and the system's message
// boxes. Null when none came within the limit.
HWND BoxWithText(DWORD pid, const std::string& text, const std::set<HWND>& known = {}) {
  HWND found = nullptr;
  WaitUntil([&] {
    for (HWND w = FindWindowExA(nullptr, nullptr, kBoxClass, nullptr); w != nullptr;
         w = FindWindowExA(nullptr, w, kBoxClass, nullptr)) {
      DWORD owner = 0;
      GetWindowThreadProcessId(w, &owner);
      if ((pid == 0 || owner == pid) && IsWindowVisible(w) && known.count(w) == 0 &&
          HasChildText(w, text)) {
        found = w;
        return true;
      }
    }
    return false;
  });
  return found;
}

bool NoBoxWithText(DWORD pid, const std::string& text) {
  for (HWND w = FindWindowExA(nullptr, nullptr, kBoxClass, nullptr); w != nullptr;
       w = FindWindowExA(nullptr, w, kBoxClass, nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid && HasChildText(w, text)) return false;
  }
  return true;
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QuitRunning();
    CWinExplorer::CreateFolderWithParents(InstallFolder());
    EmptyFolder(InstallFolder());
    ASSERT_TRUE(CopyFileA(BuiltProgram().c_str(), InstalledProgram().c_str(), FALSE))
        << BuiltProgram();
    WriteInstalledSettings();
  }
  void TearDown() override { QuitRunning(); }

  // The installed program started and running: its main window.
  HWND StartInstalled(Process& process, const std::string& arguments = "") {
    EXPECT_TRUE(process.Start(InstalledProgram(), arguments));
    HWND main = WaitForWindow(process.Id(), nullptr, kCaption);
    EXPECT_NE(main, nullptr) << "no main window of the installed program";
    return main;
  }
};

TEST_F(ProgramTest, ASecondStartIsToldAboutByTheRunningInstanceWhichAsksForAnUpgradeOnlyIfNewer) {
  Process first;
  HWND main = StartInstalled(first);
  ASSERT_NE(main, nullptr);
  CVersionInfo::Record own;
  ASSERT_TRUE(CVersionInfo::Read(BuiltProgram(), own));
  const uint16_t* v = own.product;
  const struct {
    const char* name;
    uint16_t version[4];
    bool upgradeBox;
  } cases[] = {
      {"equal", {v[0], v[1], v[2], v[3]}, false},
      {"older", {v[0], v[1], v[2], uint16_t(v[3] - 1)}, false},
      {"newer build", {v[0], v[1], uint16_t(v[2] + 1), 0}, true},
      {"newer major", {uint16_t(v[0] + 1), 0, 0, 0}, true},
  };
  std::set<HWND> popups;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string copy = Scratch("second") + "\\Tovik.exe";
    ASSERT_TRUE(CopyFileA(BuiltProgram().c_str(), copy.c_str(), FALSE));
    ASSERT_TRUE(PatchProductVersion(copy, c.version));
    Process second(copy, "");
    if (c.upgradeBox) {
      HWND box = BoxWithText(first.Id(), Text(IDS_NEWER_LAUNCHED));
      ASSERT_NE(box, nullptr) << "no upgrade box in the running instance";
      EXPECT_FALSE(second.WaitExit(0)) << "the second start waits for the box";
      Press(box, IDOK);
    }
    ASSERT_TRUE(second.WaitExit());
    EXPECT_TRUE(NoBoxWithText(first.Id(), Text(IDS_NEWER_LAUNCHED)));
    // Each start gets a popup of its own (the earlier ones may still show).
    HWND popup = BoxWithText(first.Id(), Text(IDS_ALREADY_RUNNING), popups);
    ASSERT_NE(popup, nullptr) << "no \"already running\" popup";
    popups.insert(popup);
    EXPECT_TRUE(first.Running());
    EXPECT_EQ(FindWindowOf(second.Id(), nullptr, nullptr), nullptr);
  }
}

TEST_F(ProgramTest, StartedFromAnotherFolderItCopiesItselfIntoTheInstallFolderAndStartsTheCopy) {
  ASSERT_TRUE(DeleteFileA(InstalledProgram().c_str()));
  const std::string elsewhere = Scratch("elsewhere") + "\\Tovik.exe";
  ASSERT_TRUE(CopyFileA(BuiltProgram().c_str(), elsewhere.c_str(), FALSE));
  Process first(elsewhere, "");
  ASSERT_TRUE(first.WaitExit());
  EXPECT_EQ(first.ExitCode(), 0u);
  ASSERT_TRUE(shelltest::Exists(InstalledProgram()));
  HWND main = WaitForWindow(0, nullptr, kCaption);
  ASSERT_NE(main, nullptr) << "the copy did not start";
  DWORD pid = 0;
  GetWindowThreadProcessId(main, &pid);
  EXPECT_NE(pid, first.Id());
}

TEST_F(ProgramTest, UnsupportedWindowsIsRefusedWithItsBoxAndNoMainWindow) {
  const struct {
    const char* program;
    const char* version;
  } cases[] = {{"TovikWin95.exe", "win95"}, {"TovikNT4.exe", "nt40"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    const std::string program = InstallFolder() + "\\" + c.program;
    ASSERT_TRUE(CopyFileA(BuiltProgram().c_str(), program.c_str(), FALSE));
    SetWineVersion(c.program, c.version);
    Process refused(program, "");
    HWND box = WaitForWindow(refused.Id(), kBoxClass, "Tovik Control Panel Error", true);
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(HasChildText(box, Text(IDS_OS_NOT_SUPPORTED)));
    EXPECT_EQ(FindWindowOf(refused.Id(), nullptr, kCaption), nullptr);
    Press(box, IDOK);
    EXPECT_TRUE(refused.WaitExit());
  }
}

TEST_F(ProgramTest, A120DpiScreenGetsTheSmallFontsWarningAndStartsAnd144DpiStartsWithout) {
  HKEY desktop = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0,
                            KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &desktop, nullptr),
            ERROR_SUCCESS);
  DWORD saved = 0, size = sizeof saved;
  const bool hadValue = RegQueryValueExA(desktop, "LogPixels", nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(&saved), &size) == ERROR_SUCCESS;
  const struct {
    DWORD dpi;
    bool warning;
  } cases[] = {{120, true}, {144, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dpi);
    RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&c.dpi),
                   sizeof c.dpi);
    Process program(InstalledProgram(), "");
    if (c.warning) {
      HWND box = WaitForWindow(program.Id(), kBoxClass, "Tovik Control Panel Warning", true);
      ASSERT_NE(box, nullptr);
      EXPECT_TRUE(HasChildText(box, Text(IDS_SMALL_FONTS)));
      Press(box, IDOK);
    }
    // Behind a warning box the main window would not come.
    EXPECT_NE(WaitForWindow(program.Id(), nullptr, kCaption), nullptr);
    QuitRunning();
    EXPECT_TRUE(program.WaitExit());
  }
  if (hadValue) {
    RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&saved),
                   sizeof saved);
  } else {
    RegDeleteValueA(desktop, "LogPixels");
  }
  RegCloseKey(desktop);
}

TEST_F(ProgramTest, TheFirstRunOffersTheWizardWhoseCancelEndsWithNoSettingsUntilFinish) {
  ASSERT_TRUE(DeleteFileA(InstalledSettings().c_str()));
  for (int id : {IDCANCEL, ID_WIZFINISH}) {
    SCOPED_TRACE(id);
    Process program(InstalledProgram(), "");
    HWND wizard = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
      wizard = FindWindowOf(program.Id(), kBoxClass, nullptr, true);
      return wizard != nullptr && GetDlgItem(wizard, ID_WIZFINISH) != nullptr;
    })) << "no install wizard";
    EXPECT_EQ(FindWindowOf(program.Id(), nullptr, kCaption), nullptr);
    Press(wizard, id);
    if (id == IDCANCEL) {
      ASSERT_TRUE(program.WaitExit());
      EXPECT_FALSE(shelltest::Exists(InstalledSettings()));
    } else {
      EXPECT_NE(WaitForWindow(program.Id(), nullptr, kCaption), nullptr);
      EXPECT_TRUE(shelltest::Exists(InstalledSettings()));
      QuitRunning();
      EXPECT_TRUE(program.WaitExit());
    }
  }
  // What the wizard's Finish made belongs to no other test.
  CWinExplorer::RemoveStartupEntry();
  CAppShortcuts::Delete(CAppShortcuts::kDesktop);
  CWinExplorer::FileOperation(FO_DELETE,
                              CWinExplorer::GetSpecialFolder(CWinExplorer::kProgramGroup), "",
                              FOF_NOCONFIRMATION | FOF_NOERRORUI);
}

TEST_F(ProgramTest, ExitAsksFirstAndCancelChangesNothingWhileOkEndsTheProcess) {
  Process program;
  HWND main = StartInstalled(program);
  ASSERT_NE(main, nullptr);
  for (int answer : {IDCANCEL, IDOK}) {
    SCOPED_TRACE(answer);
    PostMessageA(main, WM_COMMAND, ID_TRAY_EXIT, 0);
    HWND box = BoxWithText(program.Id(), Text(IDS_EXIT_CONFIRM));
    ASSERT_NE(box, nullptr);
    Press(box, answer);
    if (answer == IDCANCEL) {
      ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));
      EXPECT_TRUE(program.Running());
      EXPECT_EQ(FindWindowOf(program.Id(), nullptr, kCaption), main);
    }
  }
  ASSERT_TRUE(program.WaitExit());
  EXPECT_EQ(program.ExitCode(), 0u);
}

TEST_F(ProgramTest, LogOffEndsTheProgramWithoutAsking) {
  Process program;
  HWND main = StartInstalled(program);
  ASSERT_NE(main, nullptr);
  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutA(main, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
  // No box stands in the way of the end.
  ASSERT_TRUE(program.WaitExit());
  EXPECT_EQ(program.ExitCode(), 0u);
}

TEST_F(ProgramTest, TheTrayMenuOpensOnARightClickButNotWhileTheAboutBoxIsOpen) {
  Process program;
  HWND main = StartInstalled(program);
  ASSERT_NE(main, nullptr);
  HWND tray = WaitForWindow(program.Id(), CSystemTray::kWindowClass, nullptr);
  ASSERT_NE(tray, nullptr);

  PostMessageA(main, WM_COMMAND, ID_TRAY_ABOUT, 0);
  HWND about = WaitForWindow(program.Id(), kBoxClass, "About Tovik Control Panel", true);
  ASSERT_NE(about, nullptr);
  DWORD_PTR handled = 1;
  ASSERT_TRUE(SendMessageTimeoutA(tray, WM_TRAY_NOTIFY, IDR_TRAY_MENU, WM_RBUTTONUP,
                                  SMTO_ABORTIFHUNG, 5000, &handled))
      << "the click opened a menu";
  EXPECT_EQ(handled, 0u);
  EXPECT_EQ(FindWindowOf(program.Id(), kMenuClass, nullptr, true), nullptr);
  Press(about, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(about); }));

  PostMessageA(tray, WM_TRAY_NOTIFY, IDR_TRAY_MENU, WM_RBUTTONUP);
  HWND menu = WaitForWindow(program.Id(), kMenuClass, nullptr, true);
  ASSERT_NE(menu, nullptr) << "no tray menu once About is closed";
  PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }));
}

TEST_F(ProgramTest, UninstallInAnyOtherCaseStartsTheProgramAndCancelRemovesNothing) {
  Process lower;
  EXPECT_NE(StartInstalled(lower, "/uninstall"), nullptr);
  QuitRunning();
  ASSERT_TRUE(lower.WaitExit());

  Process running;
  ASSERT_NE(StartInstalled(running), nullptr);
  Process uninstaller(InstalledProgram(), "/UNINSTALL");
  HWND box = BoxWithText(0, Text(IDS_UNINSTALL_CONFIRM));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(TextOf(box), " Tovik Control Panel");
  Process copy(ProcessOf(box));
  Press(box, IDCANCEL);
  ASSERT_TRUE(uninstaller.WaitExit());
  ASSERT_TRUE(copy.WaitExit());
  EXPECT_TRUE(running.Running());
  EXPECT_TRUE(shelltest::Exists(InstalledSettings()));
}

// Run on its own by the run script, whose host checks follow it: the paths
// written to "removed.txt" must be gone on the Linux side too.
TEST_F(ProgramTest, UninstallConfirmedEndsTheRunningInstanceAndRemovesEverything) {
  // The kinds share the prefix: a Run value another kind's test left behind is
  // not this kind's entry when it keeps its entry in the Startup folder.
  HKEY leftover = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &leftover) == ERROR_SUCCESS) {
    RegDeleteValueA(leftover, "Tovik");
    RegCloseKey(leftover);
  }
  Process running;
  ASSERT_NE(StartInstalled(running), nullptr);
  const std::string program = InstalledProgram();
  CWinExplorer::AddStartupEntry(program);
  ASSERT_TRUE(CAppShortcuts::Create(CAppShortcuts::kDesktop, program));
  ASSERT_TRUE(CAppShortcuts::Create(CAppShortcuts::kStartMenu, program));
  ASSERT_TRUE(CAppShortcuts::CreateUninstall(program));
  const std::string group = CWinExplorer::GetSpecialFolder(CWinExplorer::kProgramGroup);
  const std::string desktop =
      CWinExplorer::GetSpecialFolder(CAppShortcuts::kDesktop) + "\\" + CAppShortcuts::kShortcutName;
  const std::string startup =
      CWinExplorer::GetSpecialFolder(CSIDL_STARTUP) + "\\" + CAppShortcuts::kShortcutName;
  const std::vector<std::string> removed = {desktop, group, InstalledSettings(), InstallFolder(),
                                            startup};
  ASSERT_TRUE(shelltest::Exists(group) && shelltest::Exists(desktop));

  // As the uninstall shortcut starts it: from the install folder, which it
  // leaves to a copy of itself in the temporary folder.
  Process uninstaller(program, "/UNINSTALL");
  HWND box = BoxWithText(0, Text(IDS_UNINSTALL_CONFIRM));
  ASSERT_NE(box, nullptr);
  Process copy(ProcessOf(box));
  EXPECT_NE(copy.Id(), uninstaller.Id());
  // The user reads the box; the program that handed over has ended by then.
  ASSERT_TRUE(uninstaller.WaitExit());
  Press(box, IDOK);
  ASSERT_TRUE(running.WaitExit()) << "the running instance did not end";
  ASSERT_TRUE(copy.WaitExit());
  EXPECT_EQ(copy.ExitCode(), 0u);
  for (const std::string& path : removed) EXPECT_FALSE(shelltest::Exists(path)) << path;
  HKEY run = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &run) == ERROR_SUCCESS) {
    EXPECT_NE(RegQueryValueExA(run, "Tovik", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    RegCloseKey(run);
  }
  const std::string out = shelltest::Env("TOVIK_SHELL_OUT");
  if (!out.empty()) {
    std::ofstream list(out + "\\removed.txt");
    for (const std::string& path : removed) list << path << "\n";
  }
}

}  // namespace

// Tovik.exe reports the Windows version of this run's kind.
class WineVersionOfTheProgram : public ::testing::Environment {
 public:
  void SetUp() override {
    const std::string version = shelltest::Env("TOVIK_WINE_VERSION");
    if (!version.empty()) SetWineVersion("Tovik.exe", version);
  }
};
const auto* const kWineVersion = ::testing::AddGlobalTestEnvironment(new WineVersionOfTheProgram);
const auto* const kTrayKeeper = ::testing::AddGlobalTestEnvironment(new traytest::WineTrayKeeper);
