// What the drive view's tests share: a view made from its template and
// attached to a real proxy of the drive manager, the settings file it reads,
// and watchers of the windows and menus the view opens from its own loops.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "AppSettings.h"
#include "DriveSwitchTestSupport.h"
#include "DriveTestSupport.h"
#include "PDKProxy.h"
#include "PlundaViewDlg.h"
#include "ShellTestSupport.h"
#include "resource.h"

namespace viewtest {

using drivetest::WindowText;

inline std::string Text(HWND dialog, UINT id) { return WindowText(GetDlgItem(dialog, int(id))); }

// While it lives, a thread timer calls `visit` with every visible window of
// this thread until it answers true once; modal loops and menus keep it going.
class WindowWatcher {
 public:
  using Visit = std::function<bool(HWND)>;
  explicit WindowWatcher(Visit visit) : visit_(std::move(visit)) {
    self() = this;
    timer_ = SetTimer(nullptr, 0, 30, &WindowWatcher::Tick);
  }
  ~WindowWatcher() {
    KillTimer(nullptr, timer_);
    self() = nullptr;
  }
  WindowWatcher(const WindowWatcher&) = delete;
  WindowWatcher& operator=(const WindowWatcher&) = delete;
  bool done() const { return done_; }

 private:
  static WindowWatcher*& self() {
    static WindowWatcher* current = nullptr;
    return current;
  }
  static BOOL CALLBACK Each(HWND window, LPARAM) {
    WindowWatcher* w = self();
    if (w == nullptr || w->done_ || !IsWindowVisible(window)) return TRUE;
    if (w->visit_(window)) w->done_ = true;
    return TRUE;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (self() != nullptr && !self()->done_) EnumThreadWindows(GetCurrentThreadId(), &Each, 0);
  }

  Visit visit_;
  UINT_PTR timer_ = 0;
  bool done_ = false;
};

// The popup menu of this thread as it shows: its items' commands and
// whether each is greyed; then `choose` (a command, 0 for none) is picked
// with the keyboard, or the menu is closed.
struct MenuItem {
  UINT command;  // 0 for a separator
  bool grayed;
  bool operator==(const MenuItem& o) const { return command == o.command && grayed == o.grayed; }
};

inline std::ostream& operator<<(std::ostream& out, const MenuItem& item) {
  return out << item.command << (item.grayed ? " (greyed)" : "");
}

class MenuWatcher {
 public:
  explicit MenuWatcher(UINT choose = 0)
      : watcher_([this, choose](HWND window) {
          char name[32] = "";
          GetClassNameA(window, name, sizeof name);
          if (std::string(name) != "#32768") return false;
          HMENU menu = reinterpret_cast<HMENU>(SendMessageA(window, MN_GETHMENU, 0, 0));
          if (menu == nullptr) return false;
          int downs = 0;
          bool found = false;
          for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            const UINT state = GetMenuState(menu, UINT(i), MF_BYPOSITION);
            const bool separator = (state & MF_SEPARATOR) != 0;
            const UINT command = separator ? 0 : GetMenuItemID(menu, i);
            items_.push_back({command, !separator && (state & MF_GRAYED) != 0});
            if (!found && !separator) ++downs;
            if (choose != 0 && command == choose) found = true;
          }
          if (found) {
            for (int i = 0; i < downs; ++i) PostMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
            PostMessageA(window, WM_KEYDOWN, VK_RETURN, 0);
          } else {
            PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0);
          }
          return true;
        }) {}
  const std::vector<MenuItem>& items() const { return items_; }
  bool seen() const { return watcher_.done(); }

 private:
  std::vector<MenuItem> items_;
  WindowWatcher watcher_;
};

// The view under test, made hidden from its template, with a settings file
// of its own: the monitor and sounds on, the hiding notice off.
class ViewTest : public drivetest::DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    if (HasFatalFailure()) return;
    // In the check folder when the run checks files afterwards; one per test.
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    const std::string folder = shelltest::CheckRecord::Enabled()
                                   ? shelltest::Env("TOVIK_SHELL_OUT") + "\\"
                                   : std::string(temp);
    settingsName_ = std::string("view-") +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini";
    settings_ = folder + settingsName_;
    DeleteFileA(settings_.c_str());
    CAppSettings::SetSettingsPath(settings_);
    Setting("VisualIndication", 1);
    Setting("AudioIndication", 0);
    Setting("NoCloseNextTime", 1);
    ASSERT_TRUE(view.Create());
  }
  void TearDown() override {
    view.Detach(false);
    view.DestroyWindow();
    CAppSettings::SetSettingsPath("");
    if (!shelltest::CheckRecord::Enabled()) DeleteFileA(settings_.c_str());
    DriveTest::TearDown();
  }
  static void Setting(const char* key, long value) { CAppSettings().WriteSetting(key, value); }
  // The settings file's name in the check folder.
  const std::string& SettingsName() const { return settingsName_; }

  // A drive plugged in on `letters`, its proxy from the manager.
  CPDKProxy* Insert(const char* serial, const std::vector<char>& letters = {drivetest::kLetter},
                    const char* revision = nullptr) {
    emu::DriveConfig config = drivetest::DriveConfig(serial);
    config.sectorCount = 8192;
    config.allocationUnitSectors = 1024;
    if (revision != nullptr) config.revision = revision;
    drive = &MakeDrive(config);
    const int id = PlugInserted(*drive, letters);
    if (id < 0) return nullptr;
    return &manager->GetProxy(id);
  }
  CPDKProxy* InsertAttached(const char* serial,
                            const std::vector<char>& letters = {drivetest::kLetter},
                            const char* revision = nullptr) {
    CPDKProxy* proxy = Insert(serial, letters, revision);
    if (proxy != nullptr) {
      EXPECT_TRUE(view.Attach(proxy));
    }
    return proxy;
  }
  // The view lets the drive go and the drive is pulled out.
  void Pull() {
    view.Detach(false);
    bus.unplug(drive);
    drivetest::PumpUntil([&] { return manager->DriveCount() == 0; });
  }
  HWND hwnd() const { return view.GetSafeHwnd(); }
  HWND Item(UINT id) const { return GetDlgItem(hwnd(), int(id)); }
  std::string Text(UINT id) const { return viewtest::Text(hwnd(), id); }
  // Sends a button's click (or a menu command) the way the window gets it.
  void Command(UINT id) {
    SendMessageA(hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(Item(id)));
  }
  void Show() {
    ShowWindow(hwnd(), SW_SHOWNOACTIVATE);
    SetWindowPos(hwnd(), HWND_TOPMOST, 40, 40, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    UpdateWindow(hwnd());
    drivetest::PumpUntil([] { return false; }, 200);
  }

  CPlundaViewDlg view;
  emu::CEmulatedDrive* drive = nullptr;

 private:
  std::string settings_;
  std::string settingsName_;
};

}  // namespace viewtest
