// A user's way through the control panel, end to end: TovikVirtual.exe
// started afresh as real processes under Wine, its windows pressed from this
// test program as a user's clicks, keys and menu choices would (messages to
// the program's own windows, never a call into it), and what it did checked
// from outside: the settings file, the shortcuts, the registry, the files
// on the drive's letters, the sync database and the drive's saved state.
// The journeys build on each other and run in the order written.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "AppShortcuts.h"
#include "DriveStateFile.h"
#include "ExplorerWindow.h"
#include "KestovaDlg.h"
#include "PlugWindow.h"
#include "PlundaViewDlg.h"
#include "StringLoader.h"
#include "SyncDB.h"
#include "SyncText.h"
#include "VirtualAppTestSupport.h"
#include "VirtualDrives.h"
#include "WineTray.h"
#include "resource.h"
#include "strings.h"
#include "support/ShellFolderOverride.h"

namespace {

using namespace virtualtest;
using shelltest::Exists;
using shelltest::ReadFile;

constexpr int kRemovable = CVirtualDrives::kRemovable;
constexpr int kFixedDisk = CVirtualDrives::kFixedDisk;
const char kRemovableSerial[] = "0F3B27000101";
const char kDriveDocuments[] = "K:\\My Profile\\Tovik USB Drive Documents";
const char kStartMenu[] = "K:\\My Profile\\Start Menu";

// A visible box of process `pid` showing `text`; null when none came.
HWND BoxWithText(DWORD pid, const std::string& text) { return DialogWith(pid, IDOK, text); }

// The box showing `text` answered with `button`; false when it did not come.
bool Answer(DWORD pid, const std::string& text, int button = IDOK) {
  HWND box = BoxWithText(pid, text);
  if (box == nullptr) return false;
  Press(box, button);
  return WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); });
}

// Text typed into an edit field key by key, over what it held.
void Type(HWND field, const std::string& text) {
  SendMessageA(field, EM_SETSEL, 0, -1);
  SendMessageA(field, WM_CHAR, VK_BACK, 0);
  for (char c : text) SendMessageA(field, WM_CHAR, static_cast<unsigned char>(c), 0);
}

// What the user picks from a list: the entry, then the list's notice.
void Choose(HWND dialog, int list, int position) {
  HWND box = GetDlgItem(dialog, list);
  SendMessageA(box, CB_SETCURSEL, WPARAM(position), 0);
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(list, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));
}

int Selected(HWND dialog, int list) {
  return int(SendDlgItemMessageA(dialog, list, CB_GETCURSEL, 0, 0));
}

std::string ShownSize(HWND view, int id) { return TextOf(GetDlgItem(view, id)); }

// The files of `folder` (no folders), by name.
std::vector<std::string> FileNames(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

class JourneyTest : public ::testing::Test {
 protected:
  // The drives exist before the first start: the removable one has a privacy
  // zone with password "secret" (4 MB), "public.txt" on its public partition
  // and "safe.txt" in its zone, as the zone's own program would leave it.
  static void SetUpTestSuite() {
    QuitRunning();
    CWinExplorer::CreateFolderWithParents(InstallFolder());
    EmptyFolder(InstallFolder());
    drives_ = Scratch("journey-drives");
    documents_ = Scratch("journey-documents");
    documentsOverride_ = std::make_unique<shelltest::ShellFolderOverride>("Personal", documents_);
    SetEnvironmentVariableA(CVirtualDrives::kFolderVariable, drives_.c_str());
    CVirtualDrives drives(drives_);
    if (!drives.PlugIn(kRemovable)) {
      setUpProblem_ = "the removable drive could not be plugged in: " + drives.Problem();
      return;
    }
    emu::CEmulatedDrive& drive = drives.Drive(kRemovable);
    const bool prepared = Vendor(drive, 0x0041, Block(20, {{0, 4}}, 4)) == emu::kStatusGood &&
                          WriteText("K:\\public.txt", "public") &&
                          Vendor(drive, 0x0042, Block(16, {}, 0)) == emu::kStatusGood &&
                          WriteText("K:\\safe.txt", "safe") &&
                          Vendor(drive, 0x0042, Block(16, {})) == emu::kStatusGood;
    if (!prepared) setUpProblem_ = "the privacy zone could not be prepared";
    drives.PullOut(kRemovable);
  }
  static void TearDownTestSuite() {
    QuitRunning();
    program_.reset();
    documentsOverride_.reset();
    // What the wizard's Finish made belongs to no other test.
    CWinExplorer::RemoveStartupEntry();
    CAppShortcuts::Delete(CAppShortcuts::kDesktop);
    CWinExplorer::FileOperation(FO_DELETE,
                                CWinExplorer::GetSpecialFolder(CWinExplorer::kProgramGroup), "",
                                FOF_NOCONFIRMATION | FOF_NOERRORUI);
  }
  void SetUp() override { ASSERT_EQ(setUpProblem_, ""); }

  static DWORD Pid() { return program_ != nullptr ? program_->Id() : 0; }
  // The program runs; without it the journey cannot go on.
  static bool Running() { return program_ != nullptr && program_->Running(); }
  static HWND View(char letter) {
    const std::string caption = Text(IDS_VIEW_CAPTION) + letter + ":\\";
    return VisibleWindow(Pid(), letter == 'L' ? caption + ",M:\\" : caption);
  }
  // A command of the view's tools menu, as the menu sends it.
  static void Command(HWND view, UINT id) { PostMessageA(view, WM_COMMAND, id, 0); }
  static void PlugIn(int slot) { Click(plug_, CPlugWindow::kPlugInButton + slot); }
  static void PullOut(int slot) { Click(plug_, CPlugWindow::kPullOutButton + slot); }
  // The popup saying `text`, which goes by itself.
  static bool Popup(UINT text) {
    return WaitUntil([&] {
      for (HWND w = FindWindowExA(nullptr, nullptr, kBoxClass, nullptr); w != nullptr;
           w = FindWindowExA(nullptr, w, kBoxClass, nullptr)) {
        if (ProcessOf(w) == Pid() && IsWindowVisible(w) &&
            TextOf(GetDlgItem(w, IDC_NOTIFY_TEXT)) == Text(text))
          return true;
      }
      return false;
    });
  }
  // The view of K: once it has settled after a change of the drive.
  static HWND SettledView(const std::string& capacity) {
    HWND view = nullptr;
    WaitUntil([&] {
      view = View('K');
      return view != nullptr && ShownSize(view, IDC_CAPACITY_CTL) == capacity;
    });
    return view;
  }

  static std::string drives_;
  static std::string documents_;
  static std::string setUpProblem_;
  static std::unique_ptr<shelltest::ShellFolderOverride> documentsOverride_;
  static std::unique_ptr<Process> program_;
  static HWND plug_;
};

std::string JourneyTest::drives_;
std::string JourneyTest::documents_;
std::string JourneyTest::setUpProblem_;
std::unique_ptr<shelltest::ShellFolderOverride> JourneyTest::documentsOverride_;
std::unique_ptr<Process> JourneyTest::program_;
HWND JourneyTest::plug_ = nullptr;

TEST_F(JourneyTest,
       J1_TheFirstStartShowsTheWizardWhoseFinishLeavesTheTrayIconSettingsAndShortcuts) {
  ASSERT_FALSE(Exists(InstalledSettings()));
  Process first(BuiltVirtual(), "");
  HWND wizard = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    wizard = FindWindowOf(0, kBoxClass, nullptr, true);
    return wizard != nullptr && GetDlgItem(wizard, ID_WIZFINISH) != nullptr;
  })) << "no install wizard";
  Press(wizard, ID_WIZFINISH);
  HWND main = WaitForWindow(0, nullptr, kCaption);
  ASSERT_NE(main, nullptr) << "no main window after the wizard";
  program_ = std::make_unique<Process>(ProcessOf(main));
  EXPECT_TRUE(first.WaitExit()) << "the first process hands over to the installed copy";

  // The tray icon's window answers a right click with the tray menu.
  HWND tray = WaitForWindow(Pid(), CSystemTray::kWindowClass, nullptr);
  ASSERT_NE(tray, nullptr);
  PostMessageA(tray, WM_TRAY_NOTIFY, IDR_TRAY_MENU, WM_RBUTTONUP);
  HWND menu = WaitForWindow(Pid(), kMenuClass, nullptr, true);
  ASSERT_NE(menu, nullptr) << "no tray menu";
  PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }));
  plug_ = PlugWindowOf(Pid());
  ASSERT_NE(plug_, nullptr);

  // The settings file as the wizard wrote it, in the program's own section.
  const std::string settings = InstalledSettings();
  for (const char* key : {"StartupLoad", "AutorunEnabled", "VisualIndication", "AudioIndication",
                          "SplashScreen", "AlwaysOntop"}) {
    EXPECT_EQ(GetPrivateProfileIntA("TovikVirtual", key, -1, settings.c_str()), 1) << key;
  }
  EXPECT_EQ(GetPrivateProfileIntA("TovikVirtual", "SelectedLanguage", -1, settings.c_str()), 1033);
  // And read from the host after the run, from a copy of it.
  if (shelltest::CheckRecord::Enabled()) {
    ASSERT_TRUE(CopyFileA(settings.c_str(),
                          (shelltest::Env("TOVIK_SHELL_OUT") + "\\Tovik.ini").c_str(), FALSE));
    for (const char* key : {"VisualIndication", "AlwaysOntop"})
      shelltest::CheckRecord::Setting("Tovik.ini", "TovikVirtual", key, "1");
    shelltest::CheckRecord::Setting("Tovik.ini", "TovikVirtual", "SelectedLanguage", "1033");
  }
  // Each shortcut the wizard was asked for leads to the installed program.
  const struct {
    const char* setting;
    std::string folder;
  } shortcuts[] = {
      {"DesktopShortcut", CWinExplorer::GetSpecialFolder(CAppShortcuts::kDesktop)},
      {"StartShortcut", CWinExplorer::GetSpecialFolder(CAppShortcuts::kStartMenu)},
  };
  for (const auto& s : shortcuts) {
    SCOPED_TRACE(s.setting);
    const int wanted = GetPrivateProfileIntA("TovikVirtual", s.setting, -1, settings.c_str());
    ASSERT_TRUE(wanted == 0 || wanted == 1);
    const std::string link = s.folder + "\\" + CAppShortcuts::kShortcutName;
    CWinExplorer::ShortcutInfo info;
    ASSERT_EQ(CWinExplorer::ResolveShortcut(link, info), wanted == 1);
    if (wanted == 1) {
      EXPECT_EQ(info.target, InstalledVirtual());
    }
  }
  CWinExplorer::ShortcutInfo uninstall;
  ASSERT_TRUE(
      CWinExplorer::ResolveShortcut(CWinExplorer::GetSpecialFolder(CWinExplorer::kProgramGroup) +
                                        "\\" + CAppShortcuts::kUninstallName,
                                    uninstall));
  EXPECT_EQ(uninstall.target, InstalledVirtual());
  EXPECT_EQ(uninstall.arguments, "/UNINSTALL");
  // Started with Windows: the Run value, or on 98 SE the Startup folder's shortcut.
  if (GetWindowsKind() == kWin98SE) {
    CWinExplorer::ShortcutInfo startup;
    ASSERT_TRUE(CWinExplorer::ResolveShortcut(
        CWinExplorer::GetSpecialFolder(CSIDL_STARTUP) + "\\Tovik Control Panel.lnk", startup));
    EXPECT_EQ(startup.target, InstalledVirtual());
  } else {
    // Read here: the journeys' end takes it away again before the host could look.
    char value[MAX_PATH] = "";
    DWORD size = sizeof value;
    EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                           "Tovik", RRF_RT_REG_SZ, nullptr, value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::string(value), InstalledVirtual());
  }
}

TEST_F(JourneyTest, J2_ADrivePluggedInShowsThePopupAndItsViewWithLabelLettersAndSizes) {
  ASSERT_TRUE(Running());
  PlugIn(kRemovable);
  EXPECT_TRUE(Popup(IDS_DRIVE_ARRIVED)) << "no arrival popup";
  HWND view = View('K');
  ASSERT_NE(view, nullptr) << "no view of K:";
  // The public partition: 64 MB less the zone's 4.
  EXPECT_TRUE(WaitUntil([&] { return ShownSize(view, IDC_CAPACITY_CTL) == "60.0 MB"; }))
      << ShownSize(view, IDC_CAPACITY_CTL);
  EXPECT_EQ(ShownSize(view, IDC_FREESPACE_CTL), "60.0 Free");
  EXPECT_EQ(TotalBytes('K'), 60ull << 20);
  EXPECT_EQ(TextOf(GetDlgItem(view, IDC_LABEL_CTL)), Text(IDS_PRODUCT_DRIVE));
  EXPECT_EQ(ReadFile("K:\\public.txt"), "public");

  // The fixed disk's two volumes share one view with both letters.
  PlugIn(kFixedDisk);
  HWND fixed = View('L');
  ASSERT_NE(fixed, nullptr) << "no view of L: and M:";
  EXPECT_TRUE(WaitUntil([&] { return ShownSize(fixed, IDC_CAPACITY_CTL) == "64.0 MB"; }))
      << ShownSize(fixed, IDC_CAPACITY_CTL);
  EXPECT_TRUE(Exists("L:\\"));
  EXPECT_TRUE(Exists("M:\\"));
  PullOut(kFixedDisk);
  EXPECT_TRUE(Popup(IDS_DRIVE_REMOVABLE)) << "no removal popup";
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(fixed); }));
}

TEST_F(JourneyTest, J3_APersonalLabelAndIconStayOnTheDriveAcrossAPullOut) {
  ASSERT_TRUE(Running());
  HWND view = View('K');
  ASSERT_NE(view, nullptr);
  Command(view, CPlundaViewDlg::kSettingsCommand);
  HWND settings = DialogWith(Pid(), IDC_SET_PDK_LABEL_EDIT);
  ASSERT_NE(settings, nullptr) << "no personalisation dialog";
  Type(GetDlgItem(settings, IDC_SET_PDK_LABEL_EDIT), "Holidays");
  Choose(settings, IDC_ICON_COMBOBOXEX, 3);
  Press(settings, IDOK);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(settings); }));
  EXPECT_TRUE(WaitUntil([&] { return TextOf(GetDlgItem(view, IDC_LABEL_CTL)) == "Holidays"; }));

  PullOut(kRemovable);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(view); }));
  PlugIn(kRemovable);
  view = View('K');
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return TextOf(GetDlgItem(view, IDC_LABEL_CTL)) == "Holidays"; }))
      << TextOf(GetDlgItem(view, IDC_LABEL_CTL));
  Command(view, CPlundaViewDlg::kSettingsCommand);
  settings = DialogWith(Pid(), IDC_SET_PDK_LABEL_EDIT);
  ASSERT_NE(settings, nullptr);
  EXPECT_EQ(TextOf(GetDlgItem(settings, IDC_SET_PDK_LABEL_EDIT)), "Holidays");
  EXPECT_EQ(Selected(settings, IDC_ICON_COMBOBOXEX), 3);
  Press(settings, IDCANCEL);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(settings); }));
}

TEST_F(JourneyTest, J4_LoginAndLogoutSwitchTheLetterBetweenTheZoneAndThePublicFiles) {
  ASSERT_TRUE(Running());
  HWND view = View('K');
  ASSERT_NE(view, nullptr);
  drivetest::ExplorerWindow before("K:\\");
  ASSERT_TRUE(before.Showing());
  Command(view, CPlundaViewDlg::kLoginCommand);
  HWND login = DialogWith(Pid(), IDC_PASSWORD_EDIT);
  ASSERT_NE(login, nullptr) << "no login dialog";
  Type(GetDlgItem(login, IDC_PASSWORD_EDIT), "wrong");
  Press(login, IDOK);
  EXPECT_TRUE(Answer(Pid(), "Incorrect password. Click OK and try again."));
  ASSERT_TRUE(IsWindowVisible(login)) << "the dialog stays for another try";
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(login) != FALSE; }));
  Type(GetDlgItem(login, IDC_PASSWORD_EDIT), "secret");
  Press(login, IDOK);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(login); })) << "the login dialog stays";
  EXPECT_TRUE(before.ToldToClose()) << "the folder window was left open over the switch";

  // The letter shows the zone: its file, its size, and the view says so.
  view = SettledView("4.0 MB");
  ASSERT_NE(view, nullptr) << "no view showing the zone";
  EXPECT_EQ(ShownSize(view, IDC_FREESPACE_CTL), "4.0 Free");
  EXPECT_EQ(TotalBytes('K'), 4ull << 20);
  EXPECT_EQ(FileNames("K:"), std::vector<std::string>{"safe.txt"});
  EXPECT_EQ(ReadFile("K:\\safe.txt"), "safe");

  drivetest::ExplorerWindow during("K:\\");
  ASSERT_TRUE(during.Showing());
  Command(view, CPlundaViewDlg::kLogoutCommand);
  view = SettledView("60.0 MB");
  ASSERT_NE(view, nullptr) << "no view after the logout";
  EXPECT_TRUE(during.ToldToClose()) << "the folder window was left open over the logout";
  EXPECT_EQ(TotalBytes('K'), 60ull << 20);
  EXPECT_EQ(ReadFile("K:\\public.txt"), "public");
  EXPECT_FALSE(Exists("K:\\safe.txt"));
  // The drive itself says which partition it presents.
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(view) != FALSE; }));
}

TEST_F(JourneyTest, J5_WriteProtectionRefusesACopyUntilItIsTakenOff) {
  ASSERT_TRUE(Running());
  const std::string source = documents_ + "\\copy-me.txt";
  ASSERT_TRUE(WriteText(source, "a copy"));
  const char target[] = "K:\\copied.txt";
  for (bool protect : {true, false}) {
    SCOPED_TRACE(protect ? "protected" : "unprotected");
    HWND view = View('K');
    ASSERT_NE(view, nullptr);
    Command(view, protect ? CPlundaViewDlg::kProtectCommand : CPlundaViewDlg::kUnprotectCommand);
    // A copy tried until the switch has taken effect; one that got through
    // before it did is taken away again.
    ASSERT_TRUE(WaitUntil([&] {
      const bool copied = CopyFileA(source.c_str(), target, FALSE) != FALSE;
      if (copied && protect) DeleteFileA(target);
      return copied != protect;
    })) << "a copy onto the drive "
        << (protect ? "still works" : "still fails");
    EXPECT_EQ(ReadFile(target), protect ? "" : "a copy");
    // The switch is over once the view takes clicks again.
    EXPECT_TRUE(WaitUntil([&] {
      view = View('K');
      return view != nullptr && IsWindowEnabled(view) != FALSE &&
             IsWindowEnabled(GetDlgItem(view, IDC_TOOLS_BUTTON)) != FALSE;
    }));
  }
  DeleteFileA(target);
}

TEST_F(JourneyTest, J6_SynchronizeMyDocumentsCopiesBothWaysAndASecondRunProposesNothing) {
  ASSERT_TRUE(Running());
  ASSERT_TRUE(WriteText(documents_ + "\\from-pc.txt", "from the PC"));
  ASSERT_TRUE(CWinExplorer::CreateFolderWithParents(kDriveDocuments));
  ASSERT_TRUE(WriteText(std::string(kDriveDocuments) + "\\from-drive.txt", "from the drive"));
  const std::string complete = "Synchronizartion complete";
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run == 0 ? "first run" : "second run");
    HWND view = View('K');
    ASSERT_NE(view, nullptr);
    Command(view, CPlundaViewDlg::kSyncDocumentsCommand);
    HWND window = VisibleWindow(Pid(), "Synchronization Details");
    ASSERT_NE(window, nullptr) << "no sync window";
    HWND list = GetDlgItem(window, IDC_ACTIONS_LIST);
    auto count = [&] { return int(SendMessageA(list, LB_GETCOUNT, 0, 0)); };
    auto actionAt = [&](int i) { return SendMessageA(list, LB_GETITEMDATA, WPARAM(i), 0); };
    if (run == 0) {
      // The two files and the copy-me.txt of the write-protection journey.
      ASSERT_TRUE(WaitUntil([&] { return count() == 3 && actionAt(0) != 0; })) << count();
      PostMessageA(GetDlgItem(window, IDC_SYNCHRONIZE), BM_CLICK, 0, 0);
      EXPECT_TRUE(Answer(Pid(), complete)) << "no complete box";
    } else {
      // One line of status and no action.
      ASSERT_TRUE(WaitUntil([&] {
        return count() == 1 && actionAt(0) == 0 &&
               IsWindowEnabled(GetDlgItem(window, IDC_SYNCHRONIZE)) == FALSE;
      })) << count();
    }
    PostMessageA(GetDlgItem(window, IDC_CLOSE), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !IsWindow(window); }));
  }
  EXPECT_EQ(ReadFile(std::string(kDriveDocuments) + "\\from-pc.txt"), "from the PC");
  EXPECT_EQ(ReadFile(documents_ + "\\from-drive.txt"), "from the drive");
  // The database beside the program pairs the two folders, the drive's by volume number.
  auto db = tovik::sync::Open(InstallFolder() + "\\", std::string(kRemovableSerial) + "Doc", true);
  tovik::SyncLinkRecord link;
  ASSERT_TRUE(db->GetLink(link));
  EXPECT_EQ(tovik::FieldToPath(link.driveFolder, tovik::kSyncPathUnits),
            "0:\\My Profile\\Tovik USB Drive Documents\\");
  EXPECT_EQ(tovik::FieldToPath(link.hostFolder, tovik::kSyncPathUnits), documents_ + "\\");
}

TEST_F(JourneyTest, J7_AToolOnTheDriveStartsFromTheToolsMenuAndPersonalFoldersAreMade) {
  ASSERT_TRUE(Running());
  ASSERT_TRUE(CWinExplorer::CreateFolderWithParents(kStartMenu));
  ASSERT_TRUE(CopyFileA((FolderOf(BuiltProgram()) + "\\drive_marker.exe").c_str(),
                        (std::string(kStartMenu) + "\\Marker.exe").c_str(), FALSE));
  HWND view = View('K');
  ASSERT_NE(view, nullptr);
  // The tool is the last entry of the menu the tools button opens (the
  // menu is the program's own: another process can only press its keys).
  Press(view, IDC_TOOLS_BUTTON);
  HWND menu = WaitForWindow(Pid(), kMenuClass, nullptr, true);
  ASSERT_NE(menu, nullptr) << "no tools menu";
  PostMessageA(menu, WM_KEYDOWN, VK_END, 0);
  PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }));
  const std::string marker = std::string(kStartMenu) + "\\marker-out.txt";
  EXPECT_TRUE(WaitUntil([&] { return Exists(marker); })) << "the tool did not start";

  Command(view, CPlundaViewDlg::kPersonalFoldersCommand);
  ASSERT_TRUE(Answer(Pid(), Text(IDS_PERSONAL_FOLDERS_ASK)));
  // The folder's shortcut in the drive's Start Menu comes last.
  EXPECT_TRUE(
      WaitUntil([&] { return Exists(std::string(kStartMenu) + "\\My Tovik USB Drive.lnk"); }));
  EXPECT_TRUE(Exists("K:\\My Profile\\My Tovik USB Drive\\desktop.ini"));
}

TEST_F(JourneyTest, J8_EjectThenPullOutThenExitLeavesNothingRunning) {
  ASSERT_TRUE(Running());
  HWND view = View('K');
  ASSERT_NE(view, nullptr);
  Press(view, IDC_SAFE_EJECT_BUTTON);
  switch (GetWindowsKind()) {
    case kWin98SE:
      // The system cannot stop the drive: the user is told it may go.
      EXPECT_TRUE(Answer(Pid(), Text(IDS_SAFE_TO_REMOVE)));
      break;
    case kWinME: {
      // The system's own removal panel is started instead, and the notice
      // comes only when it cannot be: Wine keeps no RUNDLL32.EXE in the
      // Windows folder.
      char windows[MAX_PATH] = "";
      GetWindowsDirectoryA(windows, sizeof windows);
      if (Exists(std::string(windows) + "\\RUNDLL32.EXE")) {
        Sleep(500);
        EXPECT_EQ(DialogWith(Pid(), IDOK, Text(IDS_SAFE_TO_REMOVE), 0), nullptr);
      } else {
        EXPECT_TRUE(Answer(Pid(), Text(IDS_SAFE_TO_REMOVE)));
      }
      break;
    }
    default:
      // Wine's device manager does not know the emulated bus, so the
      // system refuses to stop the drive and the user hears why.
      EXPECT_TRUE(Answer(Pid(), Text(IDS_DRIVE_BUSY)));
      break;
  }
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(view) != FALSE; }));
  PullOut(kRemovable);
  EXPECT_TRUE(Popup(IDS_DRIVE_REMOVABLE)) << "no removal popup";
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(view); }));
  EXPECT_FALSE(Exists("K:\\"));

  HWND main = FindWindowOf(Pid(), nullptr, kCaption);
  ASSERT_NE(main, nullptr);
  PostMessageA(main, WM_COMMAND, ID_TRAY_EXIT, 0);
  ASSERT_TRUE(Answer(Pid(), Text(IDS_EXIT_CONFIRM))) << "no exit confirmation";
  ASSERT_TRUE(program_->WaitExit());
  EXPECT_EQ(program_->ExitCode(), 0u);
  EXPECT_EQ(FindWindowOf(0, nullptr, kCaption), nullptr);
  EXPECT_EQ(FindWindowOf(0, CPlugWindow::kWindowClass, nullptr), nullptr);
  // What the drive keeps was saved with it.
  const emu::SavedDrive saved = emu::CDriveStateFile::load(drives_ + "\\Removable\\drive.state");
  EXPECT_FALSE(saved.state.safePresented);
  // The files each partition holds, as the host finds them where the drive keeps them.
  const std::string kept = drives_ + "\\Removable\\kept\\";
  const struct {
    std::string path, text;
  } files[] = {
      {kept + "public\\public.txt", "public"},
      {kept + "safe\\safe.txt", "safe"},
      {kept + "public\\My Profile\\Tovik USB Drive Documents\\from-pc.txt", "from the PC"},
      {documents_ + "\\from-drive.txt", "from the drive"},
  };
  for (const auto& f : files) {
    EXPECT_EQ(ReadFile(f.path), f.text) << f.path;
    shelltest::CheckRecord::SameText(f.path, f.text);
  }
}

}  // namespace

const auto* const kWineVersion =
    ::testing::AddGlobalTestEnvironment(new virtualtest::WineVersionOfTheVirtualProgram);
const auto* const kTrayKeeper = ::testing::AddGlobalTestEnvironment(new traytest::WineTrayKeeper);
