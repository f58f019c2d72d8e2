// The tray icon in this process: the shell's icon added for real, its
// callback messages sent as the shell sends them, the menu watched while it
// is open and closed again, and the main window a stand-in that writes down
// the commands it receives.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GUI/Application.h"
#include "GUI/BCMenu.h"
#include "KestovaDlg.h"
#include "ShellTestSupport.h"
#include "StringLoader.h"
#include "SystemTray.h"
#include "WineTray.h"
#include "resource.h"

namespace {

class TestApplication : public CApplication {
 protected:
  bool InitInstance() override { return false; }
};

// The main window's stand-in: commands in order, the menu's items drawn.
class MainStandIn {
 public:
  MainStandIn() {
    static const char* const kClass = [] {
      WNDCLASSA wc{};
      wc.lpfnWndProc = &MainStandIn::Proc;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = "TovikTrayTestMain";
      RegisterClassA(&wc);
      return "TovikTrayTestMain";
    }();
    hwnd_ = CreateWindowExA(0, kClass, "main", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                            GetModuleHandleA(nullptr), this);
  }
  ~MainStandIn() { DestroyWindow(hwnd_); }
  HWND hwnd() const { return hwnd_; }
  std::vector<UINT> commands;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                        LONG_PTR(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    }
    auto* self = reinterpret_cast<MainStandIn*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self != nullptr && message == WM_COMMAND) self->commands.push_back(LOWORD(wParam));
    if (message == WM_MEASUREITEM &&
        BCMenu::MeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)))
      return TRUE;
    if (message == WM_DRAWITEM && BCMenu::DrawItem(*reinterpret_cast<DRAWITEMSTRUCT*>(lParam)))
      return TRUE;
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }
  HWND hwnd_ = nullptr;
};

// What the open menu showed: its commands in order (0 for a separator) and
// its default item. Closed as soon as it has been read.
struct MenuSeen {
  bool opened = false;
  std::vector<UINT> commands;
  UINT defaultItem = 0;
};
MenuSeen* g_seen = nullptr;

void CALLBACK WatchMenu(HWND, UINT, UINT_PTR, DWORD) {
  HWND window = FindWindowA("#32768", nullptr);
  if (g_seen == nullptr || window == nullptr || !IsWindowVisible(window) || g_seen->opened) return;
  g_seen->opened = true;
  HMENU menu = reinterpret_cast<HMENU>(SendMessageA(window, MN_GETHMENU, 0, 0));
  for (int i = 0; i < GetMenuItemCount(menu); ++i)
    g_seen->commands.push_back(GetMenuItemID(menu, i));
  g_seen->defaultItem = GetMenuDefaultItem(menu, FALSE, 0);
  EndMenu();
}

// Runs the thread's messages for `ms`, or until `done` holds.
template <typename Done>
bool Pump(DWORD ms, Done done) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (done()) return true;
    if (GetTickCount() - start >= ms) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

std::string Chars(size_t n) { return std::string(n, 'x'); }

bool HasBalloons() {
  const int kind = shelltest::ExpectedKind();
  return kind == 5 || kind == 7 || kind == 8;
}

class SystemTrayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app.SetMainWindow(main.hwnd());
    icon = LoadIconA(nullptr, IDI_APPLICATION);
    ASSERT_TRUE(tray.Create(nullptr, WM_TRAY_NOTIFY, "Tovik", icon, IDR_TRAY_MENU));
    g_seen = &seen;
    timer = SetTimer(nullptr, 0, 20, WatchMenu);
  }
  void TearDown() override {
    KillTimer(nullptr, timer);
    g_seen = nullptr;
  }
  LRESULT Click(LPARAM mouse) {
    return SendMessageA(tray.GetSafeHwnd(), WM_TRAY_NOTIFY, IDR_TRAY_MENU, mouse);
  }
  // Longer than the click timer runs, so its decision has been made.
  void PumpPastClickTimer() {
    Pump(GetDoubleClickTime() + 400, [] { return false; });
  }

  TestApplication app;
  MainStandIn main;
  HICON icon = nullptr;
  CSystemTray tray;
  MenuSeen seen;
  UINT_PTR timer = 0;
};

TEST_F(SystemTrayTest, ARightClickOpensTheMenuInItsOrderWithShowAsDefault) {
  EXPECT_EQ(tray.NotificationWnd(), tray.GetSafeHwnd());
  EXPECT_EQ(Click(WM_RBUTTONUP), 1);
  ASSERT_TRUE(seen.opened);
  const std::vector<UINT> order = {ID_TRAY_PREFERENCES,
                                   0,
                                   ID_TRAY_HIDE,
                                   ID_TRAY_SHOW,
                                   0,
                                   ID_TRAY_HELP_TOPICS,
                                   ID_TRAY_ABOUT,
                                   ID_TRAY_WEB_SITE,
                                   ID_TRAY_CHECK_VERSION,
                                   0,
                                   ID_TRAY_EXIT};
  EXPECT_EQ(seen.commands, order);
  EXPECT_EQ(seen.defaultItem, UINT(ID_TRAY_SHOW));
  EXPECT_TRUE(main.commands.empty());
}

TEST_F(SystemTrayTest, TheMenuTextsComeFromTheStringTablesOfTheLanguage) {
  const struct {
    WORD language;
    UINT command;
    const char* text;
  } cases[] = {
      {1033, ID_TRAY_PREFERENCES, "Preferences"},
      {1033, ID_TRAY_HIDE, "Hide"},
      {1033, ID_TRAY_SHOW, "Show"},
      {1033, ID_TRAY_HELP_TOPICS, "&Help"},
      {1033, ID_TRAY_ABOUT, "&About"},
      {1033, ID_TRAY_WEB_SITE, "Visit our web site"},
      {1033, ID_TRAY_CHECK_VERSION, "Check for newer version"},
      {1033, ID_TRAY_EXIT, "E&xit"},
  };
  const WORD before = CStringLoader::CurrentLanguage();
  for (const auto& c : cases) {
    CStringLoader::SetCurrentLanguage(c.language);
    BCMenu menu;
    BCMenu* popup = tray.BuildMenu(menu);
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->ItemText(c.command), c.text) << c.command;
    menu.DestroyMenu();
  }
  // Another language gives other texts for the same items.
  CStringLoader::SetCurrentLanguage(1031);
  BCMenu menu;
  BCMenu* popup = tray.BuildMenu(menu);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(popup->ItemText(ID_TRAY_EXIT), CStringLoader::LoadString(4, 1031));
  EXPECT_NE(popup->ItemText(ID_TRAY_EXIT), "E&xit");
  menu.DestroyMenu();
  CStringLoader::SetCurrentLanguage(before);
}

TEST_F(SystemTrayTest, ASingleLeftClickOpensTheMenuOnlyOnceTheDoubleClickTimeHasPassed) {
  EXPECT_EQ(Click(WM_LBUTTONUP), 1);
  EXPECT_FALSE(seen.opened) << "the menu must wait for a possible second click";
  EXPECT_TRUE(Pump(GetDoubleClickTime() + 5000, [&] { return seen.opened; }));
  EXPECT_EQ(seen.defaultItem, UINT(ID_TRAY_SHOW));
  EXPECT_TRUE(main.commands.empty());
}

TEST_F(SystemTrayTest, ADoubleClickRunsShowOnceAndOpensNoMenuAndTheNextClickDoesAgain) {
  // The shell's order: up, double click, up.
  Click(WM_LBUTTONUP);
  Click(WM_LBUTTONDBLCLK);
  EXPECT_EQ(Click(WM_LBUTTONUP), 1);
  EXPECT_EQ(main.commands, std::vector<UINT>{ID_TRAY_SHOW});
  PumpPastClickTimer();
  EXPECT_FALSE(seen.opened);
  // The double click is forgotten: a later single click opens the menu.
  Click(WM_LBUTTONUP);
  EXPECT_TRUE(Pump(GetDoubleClickTime() + 5000, [&] { return seen.opened; }));
}

TEST_F(SystemTrayTest, WithTheMenuDisabledAClickOpensNothingAndOtherIconsAreNotOurs) {
  tray.EnableMenu(false);
  for (LPARAM mouse : {WM_RBUTTONUP, WM_LBUTTONUP, WM_LBUTTONDBLCLK}) {
    EXPECT_EQ(Click(mouse), 0);
  }
  PumpPastClickTimer();
  EXPECT_FALSE(seen.opened);
  EXPECT_TRUE(main.commands.empty());
  tray.EnableMenu(true);
  EXPECT_EQ(SendMessageA(tray.GetSafeHwnd(), WM_TRAY_NOTIFY, IDR_TRAY_MENU + 1, WM_RBUTTONUP), 0);
  EXPECT_FALSE(seen.opened);
}

TEST_F(SystemTrayTest, CreationRefusesALowCallbackMessageAndATooltipOver63Characters) {
  const struct {
    UINT message;
    size_t tooltip;
    bool created;
  } cases[] = {{WM_USER - 1, 10, false}, {WM_USER, 64, false}, {WM_USER, 63, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tooltip);
    CSystemTray other;
    EXPECT_EQ(other.Create(nullptr, c.message, Chars(c.tooltip), icon, 7), c.created);
    EXPECT_EQ(other.IsShown(), c.created);
    EXPECT_EQ(other.GetTooltip(), c.created ? Chars(c.tooltip) : "");
  }
  EXPECT_TRUE(tray.SetTooltip(Chars(63)));
  EXPECT_FALSE(tray.SetTooltip(Chars(64)));
  EXPECT_EQ(tray.GetTooltip(), Chars(63));
}

TEST_F(SystemTrayTest, BalloonsAreShownOnlyOn2000XpAndMeAndOnlyWithinTheirLimits) {
  EXPECT_EQ(tray.NotificationVersion(), HasBalloons() ? 3u : 0u);
  const struct {
    const char* name;
    std::string text, title;
    DWORD flags;
    UINT seconds;
    bool valid;
  } cases[] = {
      {"plain", "Drive ready", "Tovik", 1, 10, true},
      {"longest", Chars(255), Chars(63), 3, 30, true},
      {"text too long", Chars(256), "Tovik", 0, 10, false},
      {"title too long", "Drive ready", Chars(64), 0, 10, false},
      {"no text", "", "Tovik", 0, 10, false},
      {"no title", "Drive ready", "", 0, 10, false},
      {"unknown flags", "Drive ready", "Tovik", 4, 10, false},
      {"too short", "Drive ready", "Tovik", 0, 9, false},
      {"too long", "Drive ready", "Tovik", 0, 31, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tray.ShowBalloon(c.text, c.title, c.flags, c.seconds), c.valid && HasBalloons())
        << c.name;
  }
}

TEST_F(SystemTrayTest, TheIconGoesOnceAndNothingChangesWithoutIt) {
  EXPECT_TRUE(tray.RemoveIcon());
  EXPECT_FALSE(tray.RemoveIcon());
  EXPECT_FALSE(tray.SetTooltip("Tovik"));
  EXPECT_FALSE(tray.SetIcon(icon));
  EXPECT_FALSE(tray.SetNotificationWnd(main.hwnd()));
  EXPECT_FALSE(tray.ShowBalloon("Drive ready", "Tovik", 1, 10));
  EXPECT_EQ(tray.GetTooltip(), "");
}

}  // namespace

const auto* const kTrayKeeper = ::testing::AddGlobalTestEnvironment(new traytest::WineTrayKeeper);
