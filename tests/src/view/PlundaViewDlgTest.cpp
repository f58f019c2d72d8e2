// The drive view under Wine, attached to real proxies of the drive manager
// for emulated drives whose letters are Wine drives: its texts and marks,
// its letter and tools menus and what each command opens, the monitor's
// notices, hiding, eject per Windows kind, the Send-To shortcuts, sounds and
// dropped files. The system's sound, format dialog, message box, process
// start and shell "open" are watched through the program's import table.
#include <windows.h>

#include <mmsystem.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ImportHook.h"
#include "SdkEnvironment.h"
#include "ShellTestSupport.h"
#include "ViewTestSupport.h"
#include "WinExplorer.h"
#include "WindowsKind.h"

namespace {

using drivetest::BoxAnswerer;
using drivetest::kBusOnlyLetter;
using drivetest::kLetter;
using drivetest::kSecondLetter;
using drivetest::PumpUntil;
using viewtest::ImportHook;
using viewtest::MenuItem;
using viewtest::MenuWatcher;
using viewtest::ViewTest;
using viewtest::WindowWatcher;

const auto* const g_environment =
    ::testing::AddGlobalTestEnvironment(new SdkEnvironment(prepareDetectionPlatform));

constexpr char kPassword[] = "open sesame";
constexpr uint8_t kProtectBit = 0x02;  // in byte 8 of the drive's configuration block

// ------------------------------------------------------------ the system's calls

struct Calls {
  std::vector<std::string> sounds;  // the file, or "resource <id>"
  std::vector<UINT> formatted;      // drive numbers offered for formatting
  DWORD formatAnswer = SHFMT_NOFORMAT;
  struct Box {
    std::string text, caption;
    UINT type;
  };
  std::vector<Box> boxes;
  std::vector<std::string> started;  // command lines
  bool startSucceeds = true;
  std::vector<std::string> opened;  // paths opened by the shell
};
Calls calls;

BOOL WINAPI FakePlaySound(LPCSTR sound, HMODULE, DWORD flags) {
  calls.sounds.push_back((flags & SND_RESOURCE) != 0
                             ? "resource " + std::to_string(reinterpret_cast<UINT_PTR>(sound))
                             : std::string(sound));
  return TRUE;
}
DWORD WINAPI FakeFormat(HWND, UINT drive, UINT, UINT) {
  calls.formatted.push_back(drive);
  return calls.formatAnswer;
}
int WINAPI FakeMessageBox(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  calls.boxes.push_back({text, caption, type});
  return IDOK;
}
BOOL WINAPI FakeCreateProcess(LPCSTR, LPSTR command, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                              BOOL, DWORD, LPVOID, LPCSTR, LPSTARTUPINFOA,
                              LPPROCESS_INFORMATION info) {
  calls.started.push_back(command);
  if (!calls.startSucceeds) return FALSE;
  DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &info->hProcess,
                  0, FALSE, DUPLICATE_SAME_ACCESS);
  DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &info->hThread, 0,
                  FALSE, DUPLICATE_SAME_ACCESS);
  return TRUE;
}
HINSTANCE WINAPI FakeShellExecute(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, INT) {
  calls.opened.push_back(std::string(verb != nullptr ? verb : "") + " " + file);
  return reinterpret_cast<HINSTANCE>(42);
}

// Every stand-in at once, for the tests that look at the view's calls.
class WatchedViewTest : public ViewTest {
 protected:
  void SetUp() override {
    calls = Calls{};
    for (const ImportHook* hook : {&sound_, &format_, &box_, &start_, &open_})
      ASSERT_TRUE(hook->Installed());
    ViewTest::SetUp();
  }

 private:
  ImportHook sound_{"WINMM.dll", "PlaySoundA", reinterpret_cast<void*>(&FakePlaySound)};
  ImportHook format_{"SHELL32.dll", "SHFormatDrive", reinterpret_cast<void*>(&FakeFormat)};
  ImportHook box_{"USER32.dll", "MessageBoxA", reinterpret_cast<void*>(&FakeMessageBox)};
  ImportHook start_{"KERNEL32.dll", "CreateProcessA", reinterpret_cast<void*>(&FakeCreateProcess)};
  ImportHook open_{"SHELL32.dll", "ShellExecuteA", reinterpret_cast<void*>(&FakeShellExecute)};
};

// ------------------------------------------------------------ size texts

TEST(ViewSizeTexts, FollowTheByteCounts) {
  const double mb = 1048576.0;
  const struct {
    double megabytes;
    const char* size;
    const char* free;
  } cases[] = {
      {128, "128 MB", "128 Free"},  {12.3, "12.3 MB", "12.3 Free"}, {60, "60.0 MB", "60.0 Free"},
      {99.5, "99.5 MB", "99.5 Free"}, {100.2, "100 MB", "100 Free"}, {99.04, "99.0 MB", "99.0 Free"},
      {0, "0.0 MB", "0.0 Free"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.megabytes);
    ULARGE_INTEGER bytes{};
    bytes.QuadPart = static_cast<ULONGLONG>(c.megabytes * mb);
    EXPECT_EQ(CPlundaViewDlg::FormatSize(bytes.LowPart, bytes.HighPart), c.size);
    EXPECT_EQ(CPlundaViewDlg::FreeText(bytes), c.free);
  }
  ULARGE_INTEGER unreadable{};
  unreadable.LowPart = 0;
  unreadable.HighPart = 0xFFFFFFFFu;
  EXPECT_EQ(CPlundaViewDlg::FormatSize(0, 0xFFFFFFFFu), "Unformatted");
  EXPECT_EQ(CPlundaViewDlg::FreeText(unreadable), "Tovik Drive");
}

TEST(ViewSizeTexts, UnderATwentiethFreeIsNearlyFull) {
  const struct {
    ULONGLONG free, total;
    bool unreadableFree, unreadableTotal;
    bool nearlyFull;
  } cases[] = {
      {999, 20000, false, false, true},   {1000, 20000, false, false, false},
      {0, 20000, false, false, true},     {5 << 20, 128 << 20, false, false, true},
      {12 << 20, 128 << 20, false, false, false}, {0, 20000, true, false, false},
      {0, 20000, false, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.free << " of " << c.total);
    ULARGE_INTEGER freeBytes{}, totalBytes{};
    freeBytes.QuadPart = c.free;
    totalBytes.QuadPart = c.total;
    if (c.unreadableFree) freeBytes.HighPart = 0xFFFFFFFFu;
    if (c.unreadableTotal) totalBytes.HighPart = 0xFFFFFFFFu;
    EXPECT_EQ(CPlundaViewDlg::IsNearlyFull(freeBytes, totalBytes), c.nearlyFull);
  }
}

// ------------------------------------------------------------ attaching

// A volume of 128 MB behind V: (a tmpfs the run mounts) filled to leave
// what each case wants free.
class ViewVolumeTest : public ViewTest {
 protected:
  static constexpr char kVolume = 'V';
  static constexpr ULONGLONG kTotal = 128ull << 20;
  void SetUp() override {
    ViewTest::SetUp();
    if (HasFatalFailure()) return;
    ULARGE_INTEGER available{}, total{}, free{};
    if (!GetDiskFreeSpaceExA("V:\\", &available, &total, &free) || total.QuadPart != kTotal)
      GTEST_SKIP() << "drive V: is not the run's 128 MB tmpfs (mounting needs root)";
    drivetest::EmptyFolder("V:\\");
  }
  void TearDown() override {
    drivetest::EmptyFolder("V:\\");
    ViewTest::TearDown();
  }
  // Fills the volume so that `freeBytes` (a multiple of its 4 KB blocks) stay free.
  static bool LeaveFree(ULONGLONG freeBytes) {
    DeleteFileA("V:\\fill.bin");
    const HANDLE file = CreateFileA("V:\\fill.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                    nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    std::vector<char> chunk(1 << 20, 'x');
    for (ULONGLONG left = kTotal - freeBytes; left > 0;) {
      const DWORD n = DWORD(std::min<ULONGLONG>(left, chunk.size()));
      DWORD written = 0;
      if (!WriteFile(file, chunk.data(), n, &written, nullptr) || written != n) break;
      left -= n;
    }
    CloseHandle(file);
    ULARGE_INTEGER available{}, total{}, free{};
    return GetDiskFreeSpaceExA("V:\\", &available, &total, &free) && free.QuadPart == freeBytes;
  }
  // Pixels of the free text drawn in the nearly-full red rather than black.
  int RedPixels() {
    RECT r{};
    GetWindowRect(Item(IDC_FREESPACE_CTL), &r);
    HDC screen = GetDC(nullptr);
    int red = 0;
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) {
        const COLORREF c = GetPixel(screen, x, y);
        if (GetRValue(c) > 120 && GetGValue(c) < 90 && GetBValue(c) < 90) ++red;
      }
    }
    ReleaseDC(nullptr, screen);
    return red;
  }
};

TEST_F(ViewVolumeTest, SizeTextsOfTheVolumeAndTheRedOfANearlyFullOne) {
  ASSERT_NE(InsertAttached("0F3B27300040", {kVolume}), nullptr);
  Show();
  const struct {
    ULONGLONG free;  // 4 KB blocks
    const char* text;
    bool red;
  } cases[] = {
      {3149 * 4096ull, "12.3 Free", false},  // 12.30 MB
      {15360 * 4096ull, "60.0 Free", false},
      {1280 * 4096ull, "5.0 Free", true},    // under 6.4 MB: under a twentieth
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    ASSERT_TRUE(LeaveFree(c.free));
    view.UpdateSpace();
    UpdateWindow(hwnd());
    PumpUntil([] { return false; }, 100);
    EXPECT_EQ(Text(IDC_CAPACITY_CTL), "128 MB");
    EXPECT_EQ(Text(IDC_FREESPACE_CTL), c.text);
    if (c.red) {
      EXPECT_GT(RedPixels(), 0);
    } else {
      EXPECT_EQ(RedPixels(), 0);
    }
  }
  EXPECT_NE(view.CapacityTip().find("\nFree: 5.0 MB"), std::string::npos) << view.CapacityTip();
}

TEST_F(ViewTest, AViewWithoutADriveIsNotValid) {
  EXPECT_FALSE(view.Attach(nullptr));
  EXPECT_FALSE(view.IsValid());
  EXPECT_EQ(view.Proxy(), nullptr);
  EXPECT_FALSE(IsWindowVisible(hwnd()));
  view.Detach();  // nothing to let go of
  EXPECT_FALSE(view.IsValid());
}

TEST_F(ViewTest, ShowsTheDrivesLettersLabelAndTexts) {
  CPDKProxy* proxy = InsertAttached("0F3B27300001", {kLetter, kSecondLetter});
  ASSERT_NE(proxy, nullptr);
  EXPECT_TRUE(view.IsValid());
  EXPECT_EQ(view.Proxy(), proxy);
  EXPECT_EQ(view.RootPath(), "R:\\");
  EXPECT_EQ(view.LettersText(), "R:\\,U:\\");
  EXPECT_EQ(viewtest::WindowText(hwnd()), "Tovik Drive Drive - R:\\,U:\\");
  EXPECT_EQ(Text(IDC_SELECT_BUTTON), "R:\\");
  EXPECT_EQ(Text(IDC_SAFE_EJECT_BUTTON), "Eject");
  EXPECT_EQ(Text(IDC_TOOLS_BUTTON), "Tools");
  EXPECT_EQ(Text(IDC_LABEL_CTL), "Tovik Drive");
  EXPECT_TRUE(view.MonitorRunning());
  // The SDK's capacity (8192 sectors) leads the capacity tooltip.
  EXPECT_EQ(view.CapacityTip().rfind("Capacity: 4.0 MB\nUsed: ", 0), 0u) << view.CapacityTip();
  EXPECT_NE(view.CapacityTip().find("\nFree: "), std::string::npos);

  // The label takes the tall rectangle once it no longer fits one line.
  const struct {
    const char* label;
    RECT place;
  } labels[] = {
      {"Mine", CPlundaViewDlg::kLabelRect},
      {"A label much too long", CPlundaViewDlg::kTallLabelRect},
  };
  for (const auto& c : labels) {
    SCOPED_TRACE(c.label);
    ASSERT_TRUE(proxy->SetLabel(c.label));
    view.Refresh();
    EXPECT_EQ(Text(IDC_LABEL_CTL), c.label);
    RECT r{};
    GetWindowRect(Item(IDC_LABEL_CTL), &r);
    MapWindowPoints(HWND_DESKTOP, hwnd(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ(r.left, c.place.left);
    EXPECT_EQ(r.top, c.place.top);
    EXPECT_EQ(r.right, c.place.right);
    EXPECT_EQ(r.bottom, c.place.bottom);
  }
  ASSERT_TRUE(proxy->SetLabel(""));
  view.Refresh();
  EXPECT_EQ(Text(IDC_LABEL_CTL), "Tovik Drive");

  view.Detach();
  EXPECT_FALSE(view.IsValid());
  EXPECT_FALSE(view.MonitorRunning());
  EXPECT_EQ(view.RootPath(), "");
}

TEST_F(ViewTest, TheMonitorRunsWhileTheViewShows) {
  Setting("VisualIndication", 0);
  ASSERT_NE(InsertAttached("0F3B27300002"), nullptr);
  EXPECT_FALSE(view.MonitorRunning());
  Show();
  EXPECT_TRUE(view.MonitorRunning());
  ShowWindow(hwnd(), SW_HIDE);
  EXPECT_FALSE(view.MonitorRunning());
  Show();
  // Another privacy program holds the drive, then lets it go: the monitor
  // stops and comes back, and the texts are read again.
  view.SetPrivacyAppRunning(true);
  EXPECT_FALSE(view.MonitorRunning());
  view.SetPrivacyAppRunning(true);
  EXPECT_FALSE(view.MonitorRunning());
  const int updates = view.SpaceUpdateCount();
  view.SetPrivacyAppRunning(false);
  EXPECT_TRUE(view.MonitorRunning());
  EXPECT_EQ(view.SpaceUpdateCount(), updates + 1);
  // A hidden view leaves its monitor to the showing and hiding.
  ShowWindow(hwnd(), SW_HIDE);
  view.SetPrivacyAppRunning(true);
  Show();
  EXPECT_TRUE(view.MonitorRunning());
}

TEST_F(ViewTest, ABurstOfChangesGivesOneRefreshAfterTheLast) {
  ASSERT_NE(InsertAttached("0F3B27300003"), nullptr);
  ASSERT_TRUE(view.MonitorRunning());
  const int before = view.SpaceUpdateCount();
  for (int i = 0; i < 10; ++i)
    ASSERT_TRUE(drivetest::WriteText("R:\\change" + std::to_string(i) + ".txt", "changed"));
  ASSERT_TRUE(PumpUntil([&] { return view.SpaceUpdateCount() > before; }));
  // Long enough for a second refresh to have come, would there be one.
  PumpUntil([] { return false; }, 2 * CPlundaViewDlg::kChangeDelayMs);
  EXPECT_EQ(view.SpaceUpdateCount(), before + 1);
}

TEST_F(ViewTest, ASingleLetterKeepsSelectOffTwoLettersSwitchTheRoot) {
  ASSERT_NE(InsertAttached("0F3B27300004"), nullptr);
  EXPECT_FALSE(IsWindowEnabled(Item(IDC_SELECT_BUTTON)));
  Pull();

  ASSERT_NE(InsertAttached("0F3B27300005", {kLetter, kSecondLetter}), nullptr);
  ASSERT_TRUE(IsWindowEnabled(Item(IDC_SELECT_BUTTON)));
  Show();
  MenuWatcher menu(CPlundaViewDlg::kFirstLetterCommand + 1);
  Command(IDC_SELECT_BUTTON);
  ASSERT_TRUE(menu.seen());
  const std::vector<MenuItem> letters = {
      {CPlundaViewDlg::kFirstLetterCommand, false},
      {0, false},
      {CPlundaViewDlg::kFirstLetterCommand + 1, false},
  };
  EXPECT_EQ(menu.items(), letters);
  EXPECT_EQ(view.RootPath(), "U:\\");
  EXPECT_EQ(Text(IDC_SELECT_BUTTON), "U:\\");
  EXPECT_TRUE(view.MonitorRunning());
}

// ------------------------------------------------------------ tools menu

class ToolsMenuTest : public ViewTest {
 protected:
  std::vector<MenuItem> OpenMenu() {
    Show();
    MenuWatcher menu;
    Command(IDC_TOOLS_BUTTON);
    EXPECT_TRUE(menu.seen());
    return menu.items();
  }
  void ConfigureZone(CPDKProxy& proxy, bool loggedIn) {
    DepositParams zone;
    std::strcpy(zone.password, kPassword);
    std::strcpy(zone.hint, "");
    zone.safeBytes = 1024 * 1024;
    ASSERT_EQ(proxy.Device()->deposit().configure(zone, nullptr, true), pdk::kOk);
    if (!loggedIn) return;
    ASSERT_EQ(proxy.Device()->deposit().login(kPassword, nullptr, true), pdk::kOk);
  }
};

MenuItem Cmd(UINT id) { return {id, false}; }
const MenuItem kSeparator{0, false};

TEST_F(ToolsMenuTest, ItemsFollowTheDrivesState) {
  using V = CPlundaViewDlg;
  const MenuItem kSyncs[] = {Cmd(V::kSyncFolderCommand), Cmd(V::kSyncFavoritesCommand),
                             Cmd(V::kSyncDocumentsCommand)};
  const struct Case {
    const char* name;
    const char* revision;
    bool zone, loggedIn, protect, folders, tools;
    std::vector<MenuItem> between;  // after the first separator, before the syncs
    std::vector<MenuItem> after;    // after the syncs
  } cases[] = {
      {"no zone, no write protection", "2.70", false, false, false, false, false, {},
       {Cmd(V::kPersonalFoldersCommand)}},
      {"zone, logged out", "2.70", true, false, false, false, false, {Cmd(V::kLoginCommand)},
       {Cmd(V::kPersonalFoldersCommand)}},
      {"zone, logged in", "2.70", true, true, false, false, false, {Cmd(V::kLogoutCommand)},
       {Cmd(V::kPersonalFoldersCommand)}},
      {"writable", "3.10", false, false, false, false, false, {Cmd(V::kProtectCommand)},
       {Cmd(V::kPersonalFoldersCommand)}},
      {"protected", "3.10", false, false, true, false, false, {Cmd(V::kUnprotectCommand)},
       {Cmd(V::kPersonalFoldersCommand)}},
      {"personal folders and tools", "2.70", false, false, false, true, true, {},
       {kSeparator, Cmd(CPDKProxy::kFirstToolCommand)}},
  };
  int serial = 10;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The zone's switch changes what the volume shows: a letter of its own.
    const char letter = c.zone ? kBusOnlyLetter : kLetter;
    CPDKProxy* proxy = Insert(("0F3B273000" + std::to_string(serial++)).c_str(), {letter},
                              c.revision);
    ASSERT_NE(proxy, nullptr);
    if (c.zone) ConfigureZone(*proxy, c.loggedIn);
    if (c.protect) {
      // The drive's own configuration says so, as after an earlier switch.
      emu::DriveState state = drive->state();
      state.configBlock[8] |= kProtectBit;
      drive->restore(state);
    }
    if (c.folders) {
      ASSERT_TRUE(
          CWinExplorer::CreateFolderWithParents(proxy->FolderPath(CPDKProxy::kPersonalFolder)));
    }
    if (c.tools) {
      const std::string menu = proxy->FolderPath(CPDKProxy::kStartMenuFolder);
      ASSERT_TRUE(CWinExplorer::CreateFolderWithParents(menu));
      ASSERT_TRUE(drivetest::WriteText(menu + "\\tool.txt", "a tool"));
    }
    ASSERT_TRUE(view.Attach(proxy));
    std::vector<MenuItem> expected = {Cmd(V::kSettingsCommand), kSeparator};
    expected.insert(expected.end(), c.between.begin(), c.between.end());
    expected.insert(expected.end(), std::begin(kSyncs), std::end(kSyncs));
    expected.insert(expected.end(), c.after.begin(), c.after.end());
    EXPECT_EQ(OpenMenu(), expected);
    Pull();
    drivetest::EmptyFolder(drivetest::Root());
  }
  // Without a drive there is nothing to offer.
  EXPECT_EQ(OpenMenu(), (std::vector<MenuItem>{{0, true}}));
}

// A watcher that presses `button` in the first window that has `marker`.
class Presser {
 public:
  Presser(UINT marker, UINT button, std::function<void(HWND)> before = {})
      : watcher_([=](HWND window) {
          if (GetDlgItem(window, int(marker)) == nullptr) return false;
          title_ = viewtest::WindowText(window);
          if (before) before(window);
          PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                       LPARAM(GetDlgItem(window, int(button))));
          return true;
        }) {}
  bool pressed() const { return watcher_.done(); }
  const std::string& title() const { return title_; }

 private:
  std::string title_;
  WindowWatcher watcher_;
};

TEST_F(ToolsMenuTest, PrivacyCommandsOpenTheirWindowsAndTheMarksFollow) {
  CPDKProxy* proxy = Insert("0F3B27300020", {kBusOnlyLetter});
  ASSERT_NE(proxy, nullptr);
  ConfigureZone(*proxy, false);
  ASSERT_TRUE(view.Attach(proxy));
  HWND mark = Item(IDC_PRIVACY_INDICATION);
  EXPECT_NE(GetWindowLongPtrA(mark, GWL_STYLE) & WS_VISIBLE, 0);
  EXPECT_EQ(GetWindowLongPtrA(mark, GWLP_USERDATA), 0);
  {
    // The login dialog opens; typing the password and OK enter the zone.
    Presser login(IDC_PASSWORD_EDIT, IDOK,
                  [](HWND window) { SetDlgItemTextA(window, IDC_PASSWORD_EDIT, kPassword); });
    Command(CPlundaViewDlg::kLoginCommand);
    EXPECT_TRUE(login.pressed());
  }
  EXPECT_TRUE(proxy->IsLoggedIn());
  EXPECT_EQ(GetWindowLongPtrA(mark, GWLP_USERDATA), 1);
  EXPECT_TRUE(IsWindowEnabled(hwnd()));
  // The logout runs unseen.
  Command(CPlundaViewDlg::kLogoutCommand);
  EXPECT_FALSE(proxy->IsLoggedIn());
  EXPECT_EQ(GetWindowLongPtrA(mark, GWLP_USERDATA), 0);
  EXPECT_TRUE(IsWindowEnabled(hwnd()));
}

TEST_F(ToolsMenuTest, APulledOutDriveClosesTheOpenDialog) {
  CPDKProxy* proxy = Insert("0F3B27300021", {kBusOnlyLetter});
  ASSERT_NE(proxy, nullptr);
  ConfigureZone(*proxy, false);
  ASSERT_TRUE(view.Attach(proxy));
  bool sawChild = false;
  WindowWatcher remover([&](HWND window) {
    if (GetDlgItem(window, IDC_PASSWORD_EDIT) == nullptr) return false;
    sawChild = view.ChildDialog() != nullptr;
    view.Detach();
    return true;
  });
  Command(CPlundaViewDlg::kLoginCommand);
  EXPECT_TRUE(remover.done());
  EXPECT_TRUE(sawChild);
  EXPECT_EQ(view.ChildDialog(), nullptr);
  EXPECT_FALSE(view.IsValid());
  EXPECT_FALSE(proxy->IsLoggedIn());
}

TEST_F(ToolsMenuTest, WriteProtectionCommandsSwitchTheDrive) {
  CPDKProxy* proxy = Insert("0F3B27300022", {kBusOnlyLetter}, "3.10");
  ASSERT_NE(proxy, nullptr);
  ASSERT_TRUE(view.Attach(proxy));
  HWND mark = Item(IDC_WPROTECT_INDICATION);
  for (bool protect : {true, false}) {
    SCOPED_TRACE(protect);
    Command(protect ? CPlundaViewDlg::kProtectCommand : CPlundaViewDlg::kUnprotectCommand);
    EXPECT_EQ(proxy->IsWriteProtected(), protect);
    EXPECT_EQ(GetWindowLongPtrA(mark, GWLP_USERDATA), protect ? 1 : 0);
    EXPECT_TRUE(IsWindowEnabled(hwnd()));
    EXPECT_TRUE(IsWindowEnabled(Item(IDC_TOOLS_BUTTON)));
  }
}

TEST_F(ToolsMenuTest, SyncCommandsOpenTheSyncWindows) {
  ASSERT_NE(InsertAttached("0F3B27300023"), nullptr);
  const struct {
    UINT command;
    UINT marker, button;  // what the window has, what closes it
  } cases[] = {
      // No pairing yet: the settings come first.
      {CPlundaViewDlg::kSyncFolderCommand, IDC_HOST_FOLDER, IDCANCEL},
      {CPlundaViewDlg::kSyncDocumentsCommand, IDC_ACTIONS_LIST, IDC_CLOSE},
      {CPlundaViewDlg::kSyncFavoritesCommand, IDC_ACTIONS_LIST, IDC_CLOSE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    Presser window(c.marker, c.button);
    Command(c.command);
    EXPECT_TRUE(window.pressed());
  }
  EXPECT_TRUE(shelltest::Exists("R:\\My Profile\\Tovik USB Drive Documents"));
}

TEST_F(ToolsMenuTest, SettingsAndPersonalFoldersCommandsOpenTheirWindows) {
  CPDKProxy* proxy = InsertAttached("0F3B27300025");
  ASSERT_NE(proxy, nullptr);
  {
    // The personalisation dialog; a label typed there and OK show on the view.
    Presser settings(IDC_ICON_COMBOBOXEX, IDOK, [](HWND window) {
      SetDlgItemTextA(window, IDC_SET_PDK_LABEL_EDIT, "Holidays");
    });
    Command(CPlundaViewDlg::kSettingsCommand);
    EXPECT_TRUE(settings.pressed());
  }
  EXPECT_EQ(Text(IDC_LABEL_CTL), "Holidays");
  {
    // The question first; OK makes the folders, and the menu stops offering them.
    BoxAnswerer boxes;
    Command(CPlundaViewDlg::kPersonalFoldersCommand);
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(boxes.boxes()[0].text,
              "Personal Folders are folders designated for certain type of files. To create "
              "Personal Folders click 'OK', to abort click 'Cancel'.");
  }
  EXPECT_TRUE(proxy->HasPersonalFolders());
  const std::vector<MenuItem> items = OpenMenu();
  EXPECT_EQ(std::count(items.begin(), items.end(), Cmd(CPlundaViewDlg::kPersonalFoldersCommand)), 0);
}

TEST_F(ToolsMenuTest, AToolOfTheDriveIsStarted) {
  CPDKProxy* proxy = Insert("0F3B27300024");
  ASSERT_NE(proxy, nullptr);
  const std::string menu = proxy->FolderPath(CPDKProxy::kStartMenuFolder);
  ASSERT_TRUE(CWinExplorer::CreateFolderWithParents(menu));
  ASSERT_TRUE(drivetest::CopyMarker(menu + "\\marker.exe"));
  ASSERT_TRUE(view.Attach(proxy));
  const std::vector<MenuItem> items = OpenMenu();
  ASSERT_FALSE(items.empty());
  EXPECT_EQ(items.back(), Cmd(CPDKProxy::kFirstToolCommand));
  Command(CPDKProxy::kFirstToolCommand);
  std::string arguments;
  EXPECT_TRUE(drivetest::MarkerRan(menu, &arguments));
}

// ------------------------------------------------------------ buttons

TEST_F(ViewTest, HidingRemindsOnceUntilTheBoxIsTicked) {
  ASSERT_NE(InsertAttached("0F3B27300030"), nullptr);
  Setting("NoCloseNextTime", 0);
  for (bool tick : {false, true}) {
    SCOPED_TRACE(tick);
    Show();
    std::string text;
    WindowWatcher box([&](HWND window) {
      HWND check = GetDlgItem(window, IDC_DO_NOT_SHOW_AGAIN);
      if (check == nullptr) return false;
      text = viewtest::Text(window, IDC_MESSAGE_TXT);
      if (tick) SendMessageA(check, BM_CLICK, 0, 0);
      PostMessageA(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
      return true;
    });
    Command(IDC_WIN_HIDE_BUTTON);
    EXPECT_FALSE(IsWindowVisible(hwnd()));
    EXPECT_TRUE(box.done());
    EXPECT_EQ(text,
              "Although you have closed the program window, the program will continue to run in "
              "the taskbar (near the clock).");
  }
  EXPECT_EQ(CAppSettings().ReadSetting("NoCloseNextTime"), 1);
  shelltest::CheckRecord::Setting(SettingsName(), CAppSettings::SectionName(), "NoCloseNextTime",
                                  "1");
  Show();
  BoxAnswerer boxes;
  Command(IDC_WIN_HIDE_BUTTON);
  EXPECT_FALSE(IsWindowVisible(hwnd()));
  EXPECT_TRUE(boxes.boxes().empty());
}

TEST_F(WatchedViewTest, OpenFormatsAnUnformattedVolumeAndOpensAFormattedOne) {
  // No Wine drive behind the bus-only letter: its sizes cannot be read.
  ASSERT_NE(InsertAttached("0F3B27300031", {kBusOnlyLetter}), nullptr);
  EXPECT_EQ(Text(IDC_CAPACITY_CTL), "Unformatted");
  EXPECT_EQ(Text(IDC_FREESPACE_CTL), "Tovik Drive");
  for (DWORD answer : {DWORD(SHFMT_NOFORMAT), DWORD(SHFMT_CANCEL), DWORD(SHFMT_ERROR), DWORD(0)}) {
    SCOPED_TRACE(answer);
    calls.formatted.clear();
    calls.formatAnswer = answer;
    const int updates = view.SpaceUpdateCount();
    Command(IDC_OPEN_BUTTON);
    EXPECT_EQ(calls.formatted, std::vector<UINT>{UINT(kBusOnlyLetter - 'A')});
    EXPECT_EQ(view.SpaceUpdateCount(), updates + (answer == 0 ? 1 : 0));
  }
  EXPECT_TRUE(calls.opened.empty());
  Pull();

  ASSERT_NE(InsertAttached("0F3B27300032"), nullptr);
  calls.formatted.clear();
  Command(IDC_OPEN_BUTTON);
  SendMessageA(hwnd(), WM_LBUTTONDBLCLK, 0, MAKELPARAM(100, 50));
  EXPECT_TRUE(calls.formatted.empty());
  EXPECT_EQ(calls.opened, (std::vector<std::string>{"open R:\\", "open R:\\"}));
}

// Eject and the Send-To shortcuts are what differ by Windows kind; these
// run under every kind, the others under one.
class ViewPerKindTest : public WatchedViewTest {};

TEST_F(ViewPerKindTest, EjectFollowsTheWindowsKind) {
  ASSERT_NE(InsertAttached("0F3B27300033"), nullptr);
  Show();
  const std::string safe =
      "It is now safe to remove the Tovik Drive. Make sure the LED has stopped blinking and then "
      "remove your Tovik Drive.";
  const std::string busy =
      "The Tovik Drive is currently in use by another application. Close all applications and "
      "documents and try again";
  const int kind = GetWindowsKind();
  ASSERT_EQ(kind, shelltest::ExpectedKind());
  Command(IDC_SAFE_EJECT_BUTTON);
  EXPECT_TRUE(IsWindowEnabled(hwnd()));
  switch (kind) {
    case kWinME: {
      // The system's hardware removal panel; the notice only when it cannot start.
      char windows[MAX_PATH] = "";
      GetWindowsDirectoryA(windows, sizeof windows);
      EXPECT_EQ(calls.started,
                std::vector<std::string>{std::string("\"") + windows +
                                         "\\RUNDLL32.EXE\" shell32.dll,Control_RunDLL hotplug.dll"});
      EXPECT_TRUE(calls.boxes.empty());
      calls.startSucceeds = false;
      Command(IDC_SAFE_EJECT_BUTTON);
      ASSERT_EQ(calls.boxes.size(), 1u);
      EXPECT_EQ(calls.boxes[0].text, safe);
      EXPECT_EQ(calls.boxes[0].type, UINT(MB_ICONINFORMATION));
      break;
    }
    case kWin98SE:
      EXPECT_TRUE(calls.started.empty());
      ASSERT_EQ(calls.boxes.size(), 1u);
      EXPECT_EQ(calls.boxes[0].text, safe);
      EXPECT_EQ(calls.boxes[0].caption, " Tovik Control Panel");
      EXPECT_EQ(calls.boxes[0].type, UINT(MB_ICONINFORMATION));
      break;
    default:
      // The system here lets no drive of the emulated bus go: the SDK
      // refuses, the user hears why and the view goes on.
      ASSERT_EQ(calls.boxes.size(), 1u);
      EXPECT_EQ(calls.boxes[0].text, busy);
      EXPECT_EQ(calls.boxes[0].caption, " Tovik Control Panel Error");
      EXPECT_EQ(calls.boxes[0].type, UINT(MB_ICONWARNING));
      EXPECT_TRUE(view.MonitorRunning());
      EXPECT_TRUE(view.IsValid());
      break;
  }
}

TEST_F(WatchedViewTest, SoundsOfInsertionAndRemoval) {
  Setting("AudioIndication", 1);
  CPDKProxy* proxy = InsertAttached("0F3B27300034");
  ASSERT_NE(proxy, nullptr);
  view.Detach();
  EXPECT_EQ(calls.sounds, (std::vector<std::string>{"resource 400", "resource 401"}));

  // The drive's own sound, once it has one; no sound when the user wants none.
  calls.sounds.clear();
  ASSERT_TRUE(proxy->SetPersonalSound("", IDW_REMOVED, 1));
  ASSERT_TRUE(view.Attach(proxy));
  EXPECT_EQ(calls.sounds, std::vector<std::string>{proxy->PersonalSoundPath()});
  calls.sounds.clear();
  view.Detach(false);
  Setting("AudioIndication", 0);
  ASSERT_TRUE(view.Attach(proxy));
  view.Detach();
  EXPECT_TRUE(calls.sounds.empty());
}

TEST_F(ViewPerKindTest, SendToShortcutsLiveWhileTheDriveDoesExceptOnXP) {
  ASSERT_NE(InsertAttached("0F3B27300035", {kLetter, kSecondLetter}), nullptr);
  const bool expected = GetWindowsKind() != kWinXP;
  for (char letter : {kLetter, kSecondLetter}) {
    SCOPED_TRACE(letter);
    const std::string name = "\\" + CWinExplorer::SendToShortcutName(letter);
    EXPECT_EQ(CWinExplorer::ShortcutExists(CSIDL_SENDTO, name), expected);
    if (!expected) continue;
    // What lnkinfo must read in it after the run.
    const std::string root(1, letter);
    shelltest::CheckRecord::Shortcut(CWinExplorer::GetSpecialFolder(CSIDL_SENDTO) + name,
                                     root + ":\\", "", "", root + ":", root + ":\\,0");
  }
  view.Detach();
  for (char letter : {kLetter, kSecondLetter}) {
    EXPECT_FALSE(CWinExplorer::ShortcutExists(CSIDL_SENDTO,
                                              "\\" + CWinExplorer::SendToShortcutName(letter)));
  }
}

// A drop of `paths` as the shell hands it to a window.
HDROP MakeDrop(const std::vector<std::string>& paths) {
  size_t size = sizeof(DROPFILES) + 1;
  for (const std::string& p : paths) size += p.size() + 1;
  HGLOBAL memory = GlobalAlloc(GHND, size);
  auto* files = static_cast<DROPFILES*>(GlobalLock(memory));
  files->pFiles = sizeof(DROPFILES);
  char* at = reinterpret_cast<char*>(files) + sizeof(DROPFILES);
  for (const std::string& p : paths) {
    std::memcpy(at, p.c_str(), p.size() + 1);
    at += p.size() + 1;
  }
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

TEST_F(ViewTest, DroppedFilesAreCopiedToTheDrive) {
  char temp[MAX_PATH] = "";
  GetTempPathA(sizeof temp, temp);
  const std::string host = std::string(temp) + "view-drop";
  CreateDirectoryA(host.c_str(), nullptr);
  const std::vector<std::string> files = {host + "\\one.txt", host + "\\two.txt"};
  for (const std::string& f : files) ASSERT_TRUE(drivetest::WriteText(f, "dropped"));

  // Nothing happens without a drive.
  SendMessageA(hwnd(), WM_DROPFILES, WPARAM(MakeDrop(files)), 0);
  ASSERT_NE(InsertAttached("0F3B27300036"), nullptr);
  EXPECT_FALSE(shelltest::Exists("R:\\one.txt"));

  SendMessageA(hwnd(), WM_DROPFILES, WPARAM(MakeDrop(files)), 0);
  EXPECT_EQ(shelltest::ReadFile("R:\\one.txt"), "dropped");
  EXPECT_EQ(shelltest::ReadFile("R:\\two.txt"), "dropped");
  // Files of the drive's own root stay where they are.
  ASSERT_TRUE(DeleteFileA("R:\\two.txt"));
  SendMessageA(hwnd(), WM_DROPFILES, WPARAM(MakeDrop({"R:\\one.txt", files[1]})), 0);
  EXPECT_FALSE(shelltest::Exists("R:\\two.txt"));
  for (const std::string& f : files) DeleteFileA(f.c_str());
  RemoveDirectoryA(host.c_str());
}

TEST_F(ViewTest, EnterEscapeAndCloseLeaveTheViewAlone) {
  ASSERT_NE(InsertAttached("0F3B27300037"), nullptr);
  Show();
  SendMessageA(hwnd(), WM_COMMAND, IDOK, 0);
  SendMessageA(hwnd(), WM_COMMAND, IDCANCEL, 0);
  SendMessageA(hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(IsWindow(hwnd()));
  EXPECT_TRUE(IsWindowVisible(hwnd()));
}

}  // namespace
