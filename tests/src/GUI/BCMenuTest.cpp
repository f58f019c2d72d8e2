// The owner-drawn menu open on the screen: its items, icons and colours are
// read back from the pixels of the open menu window.
#include "GUI/BCMenu.h"

#include <gtest/gtest.h>

#include "GuiTestSupport.h"
#include "resource.h"

using guitest::Capture;
using guitest::TestDialog;

namespace {

const COLORREF kRed = RGB(207, 34, 34);
const COLORREF kGrey = RGB(192, 192, 192);
const COLORREF kIconGreen = RGB(0, 200, 0);

// An image list of two 32 x 32 squares: green, then blue.
HIMAGELIST SquareIcons() {
  HIMAGELIST list = ImageList_Create(32, 32, ILC_COLOR24, 2, 0);
  HDC screen = GetDC(nullptr);
  for (COLORREF color : {kIconGreen, RGB(0, 0, 200)}) {
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 32, 32);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    RECT r{0, 0, 32, 32};
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    SelectObject(dc, old);
    DeleteDC(dc);
    ImageList_Add(list, bitmap, nullptr);
    DeleteObject(bitmap);
  }
  ReleaseDC(nullptr, screen);
  return list;
}

struct OpenMenu {
  Capture shot;
  UINT result = 1;
  std::vector<RECT> items;    // item rectangles in the shot
  HWND foreground = nullptr;  // while the menu was open
  bool nullMessageAfter = false;
};

// Shows `menu` from `owner`, highlights the first item with the keyboard,
// takes the picture and closes the menu again.
OpenMenu ShowAndCapture(BCMenu& menu, HWND owner) {
  OpenMenu seen;
  HMENU shown = menu.GetSafeHmenu();
  guitest::ThreadTimer(50, [&seen, shown](UINT_PTR id) {
    HWND window = FindWindowA("#32768", nullptr);
    if (window == nullptr || !IsWindowVisible(window)) return;
    guitest::KillThreadTimer(id);
    seen.foreground = GetForegroundWindow();
    PostMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
    guitest::ThreadTimer(100, [&seen, shown](UINT_PTR id2) {
      guitest::KillThreadTimer(id2);
      HWND menuWindow = FindWindowA("#32768", nullptr);
      RECT frame{};
      GetWindowRect(menuWindow, &frame);
      seen.shot = guitest::CaptureWindow(menuWindow);
      for (int i = 0; i < GetMenuItemCount(shown); ++i) {
        RECT r{};
        GetMenuItemRect(nullptr, shown, UINT(i), &r);
        OffsetRect(&r, -frame.left, -frame.top);
        seen.items.push_back(r);
      }
      EndMenu();
    });
  });
  seen.result = menu.TrackPopupMenu(TPM_RIGHTBUTTON | TPM_RETURNCMD, 100, 100, owner);
  MSG msg;
  seen.nullMessageAfter = PeekMessageA(&msg, owner, WM_NULL, WM_NULL, PM_REMOVE) != FALSE;
  return seen;
}

int CountColor(const Capture& shot, const RECT& r, COLORREF color) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) n += shot.At(x, y) == color ? 1 : 0;
  }
  return n;
}

int CountDark(const Capture& shot, const RECT& r) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      const COLORREF c = shot.At(x, y);
      n += (GetRValue(c) < 80 && GetGValue(c) < 80 && GetBValue(c) < 80) ? 1 : 0;
    }
  }
  return n;
}

}  // namespace

TEST(BCMenu, TrayMenuDrawsTextsIconsAndFlatColours) {
  TestDialog owner(IDG_TEST_SKIN, nullptr);
  ASSERT_DISPLAY(owner.Create() ? owner.GetSafeHwnd() : nullptr);
  ShowWindow(owner.GetSafeHwnd(), SW_SHOW);
  HIMAGELIST icons = SquareIcons();

  BCMenu menu;
  ASSERT_TRUE(menu.LoadMenu(IDR_TRAY_MENU));
  BCMenu* popup = menu.GetSubMenu(0);
  ASSERT_NE(popup, nullptr);
  EXPECT_EQ(GetMenuItemCount(popup->GetSafeHmenu()), 11);
  // The resource's texts until someone gives new ones.
  EXPECT_EQ(popup->ItemText(ID_TRAY_HIDE), "Hide");
  EXPECT_TRUE(popup->ModifyODMenu("Preferences", ID_TRAY_PREFERENCES, icons, 0));
  EXPECT_TRUE(popup->ModifyODMenu("E&xit", ID_TRAY_EXIT, icons, 1));
  EXPECT_FALSE(popup->ModifyODMenu("nothing", 4711, icons, 0));
  EXPECT_EQ(popup->ItemText(ID_TRAY_PREFERENCES), "Preferences");
  BCMenu::SetMenuDrawMode(BCMenu::kFlat);
  menu.SetColors(kRed, kGrey, 0);
  menu.SetIconSize(32, 32);
  ASSERT_TRUE(BCMenu::DrawsFlat());

  const OpenMenu open = ShowAndCapture(*popup, owner.GetSafeHwnd());
  ASSERT_EQ(open.items.size(), 11u);
  EXPECT_EQ(open.result, 0u);
  // The owner is brought forward for the menu and gets a message afterwards.
  EXPECT_EQ(open.foreground, owner.GetSafeHwnd());
  EXPECT_TRUE(open.nullMessageAfter);
  const RECT first = open.items[0];  // Preferences: highlighted, green icon
  const RECT separator = open.items[1];
  const RECT hide = open.items[2];   // no icon
  const RECT exit = open.items[10];  // blue icon
  EXPECT_GE(first.bottom - first.top, 36) << "32-pixel icons need their rows";
  EXPECT_LE(separator.bottom - separator.top, 8);

  // Icon column in the first colour, the icon itself drawn at 32 x 32.
  const RECT hideColumn{hide.left + 1, hide.top, hide.left + 34, hide.bottom};
  EXPECT_EQ(CountColor(open.shot, hideColumn, kRed), 33 * (hide.bottom - hide.top));
  EXPECT_EQ(CountColor(open.shot, first, kIconGreen), 32 * 32);
  EXPECT_EQ(CountColor(open.shot, exit, RGB(0, 0, 200)), 32 * 32);
  // Body on the background colour with dark text; the separator has no text.
  const RECT hideBody{hide.left + 40, hide.top, hide.right - 4, hide.bottom};
  EXPECT_GT(CountColor(open.shot, hideBody, kGrey), (hideBody.right - hideBody.left) * 10);
  EXPECT_GT(CountDark(open.shot, hideBody), 20);
  const RECT separatorBody{separator.left + 40, separator.top, separator.right - 4,
                           separator.bottom};
  EXPECT_EQ(CountDark(open.shot, separatorBody), 0);
  // The highlighted item is framed in the first colour.
  EXPECT_EQ(open.shot.At(first.right - 1, (first.top + first.bottom) / 2), kRed);
  EXPECT_EQ(open.shot.At((first.left + first.right) / 2, first.top), kRed);
  EXPECT_NE(open.shot.At((hide.left + hide.right) / 2, hide.top), kRed);

  EXPECT_TRUE(menu.DestroyMenu());
  EXPECT_EQ(menu.GetSafeHmenu(), nullptr);
  ImageList_Destroy(icons);
}

TEST(BCMenu, ClassicModeUsesTheSystemMenuColours) {
  TestDialog owner(IDG_TEST_SKIN, nullptr);
  ASSERT_DISPLAY(owner.Create() ? owner.GetSafeHwnd() : nullptr);
  ShowWindow(owner.GetSafeHwnd(), SW_SHOW);
  BCMenu menu;
  ASSERT_TRUE(menu.LoadMenu(IDR_DRIVE_MENU));
  BCMenu* popup = menu.GetSubMenu(0);
  ASSERT_NE(popup, nullptr);
  // The placeholder goes; the caller's items come in its place.
  EXPECT_TRUE(popup->DeleteMenu(ID_MENU_PLACEHOLDER, MF_BYCOMMAND));
  EXPECT_EQ(GetMenuItemCount(popup->GetSafeHmenu()), 0);
  EXPECT_TRUE(popup->AppendODMenu("E:\\", MF_STRING, 1220, nullptr, -1));
  EXPECT_TRUE(popup->AppendMenu(MF_SEPARATOR));
  EXPECT_TRUE(popup->AppendODMenu("F:\\", MF_STRING, 1221, nullptr, -1));
  BCMenu::SetMenuDrawMode(BCMenu::kClassic);
  menu.SetColors(kRed, kGrey, 0);

  const OpenMenu open = ShowAndCapture(*popup, owner.GetSafeHwnd());
  ASSERT_EQ(open.items.size(), 3u);
  const RECT selected = open.items[0];
  const RECT plain = open.items[2];
  EXPECT_EQ(open.shot.At(selected.left + 3, selected.top + 2), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(open.shot.At(plain.left + 3, plain.top + 2), GetSysColor(COLOR_MENU));
  EXPECT_EQ(CountColor(open.shot, plain, kRed), 0);
  EXPECT_TRUE(menu.DestroyMenu());
  BCMenu::SetMenuDrawMode(BCMenu::kFlat);
}

namespace {
// What the process writes to the debugger output, caught as the exception the
// system raises for it.
std::vector<std::string>& DebugLines() {
  static std::vector<std::string> lines;
  return lines;
}
LONG CALLBACK CatchDebugOutput(EXCEPTION_POINTERS* info) {
  const EXCEPTION_RECORD& record = *info->ExceptionRecord;
  if (record.ExceptionCode != DBG_PRINTEXCEPTION_C || record.NumberParameters < 2) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  DebugLines().emplace_back(reinterpret_cast<const char*>(record.ExceptionInformation[1]));
  return EXCEPTION_CONTINUE_EXECUTION;
}
}  // namespace

TEST(BCMenu, ALoadedMenuEndedWithoutDestroyMenuIsReported) {
  const std::string report = "IMPORTANT:Use BCMenu::DestroyMenu to destroy Loaded Menu's\n";
  struct Case {
    bool destroy;
    size_t reports;
  } cases[] = {{true, 0}, {false, 1}};
  for (const Case& c : cases) {
    DebugLines().clear();
    void* handler = AddVectoredExceptionHandler(1, CatchDebugOutput);
    {
      BCMenu menu;
      ASSERT_TRUE(menu.LoadMenu(IDR_TRAY_MENU));
      ASSERT_NE(menu.GetSubMenu(0), nullptr);
      if (c.destroy) menu.DestroyMenu();
    }
    RemoveVectoredExceptionHandler(handler);
    EXPECT_EQ(std::count(DebugLines().begin(), DebugLines().end(), report), long(c.reports))
        << (c.destroy ? "after DestroyMenu" : "without DestroyMenu");
  }
}
