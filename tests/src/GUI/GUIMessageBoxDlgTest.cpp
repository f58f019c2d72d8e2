// The skinned message box as a real modal window: which buttons show and
// where, what each answers, and that Escape and the close command leave it open.
#include "GUI/GUIMessageBoxDlg.h"

#include <gtest/gtest.h>

#include <cstring>

#include "GuiTestSupport.h"
#include "resource.h"

using guitest::RectIn;
using guitest::RunModal;
using guitest::SameRect;

namespace {

struct Seen {
  bool okVisible = false;
  bool cancelVisible = false;
  std::string okText, cancelText, caption, message, title;
  RECT client{}, ok{}, cancel{}, text{};
  HWND focus = nullptr;
  HWND okWindow = nullptr;
  bool openAfterEscape = false;
  bool openAfterClose = false;
  COLORREF pictureCentre = 0;
};

std::string Text(HWND window) {
  char text[512] = "";
  GetWindowTextA(window, text, sizeof(text));
  return text;
}

Seen Look(HWND box) {
  Seen s;
  HWND ok = GetDlgItem(box, IDOK);
  HWND cancel = GetDlgItem(box, IDCANCEL);
  s.okWindow = ok;
  s.okVisible = IsWindowVisible(ok) != FALSE;
  s.cancelVisible = IsWindowVisible(cancel) != FALSE;
  s.okText = Text(ok);
  s.cancelText = Text(cancel);
  s.caption = Text(GetDlgItem(box, IDC_CAPTION_CTL));
  s.message = Text(GetDlgItem(box, IDC_MESSAGE_TXT));
  s.title = Text(box);
  GetClientRect(box, &s.client);
  s.ok = RectIn(ok, box);
  s.cancel = RectIn(cancel, box);
  s.text = RectIn(GetDlgItem(box, IDC_MESSAGE_TXT), box);
  s.focus = GetFocus();
  UpdateWindow(box);
  const guitest::Capture shot = guitest::CaptureWindow(box);
  RECT window{};
  GetWindowRect(box, &window);
  // Above the white cross of the error picture, on its red disc.
  POINT centre{30, 34};
  ClientToScreen(box, &centre);
  s.pictureCentre = shot.At(centre.x - window.left, centre.y - window.top);
  return s;
}

}  // namespace

TEST(GUIMessageBoxDlg, StyleOneShowsOnlyTheFirstButtonAndEscapeOrCloseDoNotEndIt) {
  CGUIMessageBoxDlg box;
  box.Setup("The drive is busy.", " Tovik Control Panel Error", "OK", "&Cancel", 1,
            IDG_MESSAGE_SKIN, IDG_ERROR_PICTURE);
  Seen seen;
  UINT_PTR later = 0;
  const INT_PTR result = RunModal(box, [&](HWND window) {
    seen = Look(window);
    PostMessageA(seen.focus, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(seen.focus, WM_KEYUP, VK_ESCAPE, 0);
    // The posted keys go through the modal loop before this click.
    later = guitest::ThreadTimer(30, [](UINT_PTR id) {
      guitest::KillThreadTimer(id);
      HWND active = GetActiveWindow();
      SendMessageA(active, WM_SYSCOMMAND, SC_CLOSE, 0);
      if (IsWindowVisible(active)) PostMessageA(GetDlgItem(active, IDOK), BM_CLICK, 0, 0);
    });
  });
  // Should Escape have ended the box, the rest must not reach the next one.
  guitest::KillThreadTimer(later);
  ASSERT_DISPLAY(seen.okWindow);
  EXPECT_EQ(result, IDOK);
  EXPECT_TRUE(seen.okVisible);
  EXPECT_FALSE(seen.cancelVisible);
  EXPECT_EQ(seen.okText, "OK");
  EXPECT_EQ(seen.caption, " Tovik Control Panel Error");
  EXPECT_EQ(seen.title, " Tovik Control Panel Error");
  EXPECT_EQ(seen.message, "The drive is busy.");
  EXPECT_EQ(seen.focus, seen.okWindow);
  // The skin gives the size; the one button hangs 7 pixels from the corner.
  EXPECT_EQ(seen.client.right, 297);
  EXPECT_EQ(seen.client.bottom, 125);
  EXPECT_EQ(seen.ok.right, seen.client.right - 7);
  EXPECT_EQ(seen.ok.bottom, seen.client.bottom - 7);
  EXPECT_EQ(guitest::Height(seen.ok), 24);
  EXPECT_TRUE(SameRect(seen.text, RECT{61, 28, 290, 91}));
  // The error picture is painted into the picture's place.
  EXPECT_EQ(seen.pictureCentre, RGB(207, 34, 34));
}

TEST(GUIMessageBoxDlg, StyleSeventeenAnswersTheButtonPressed) {
  struct Case {
    int button;
    INT_PTR result;
  } cases[] = {{IDCANCEL, 2}, {IDOK, 1}};
  for (const Case& c : cases) {
    CGUIMessageBoxDlg box;
    box.Setup("Are you sure?", " Tovik Control Panel", "OK", "&Cancel", 17, IDG_MESSAGE_SKIN, 0);
    Seen seen;
    const INT_PTR result = RunModal(box, [&](HWND window) {
      seen = Look(window);
      PostMessageA(GetDlgItem(window, c.button), BM_CLICK, 0, 0);
    });
    ASSERT_DISPLAY(seen.okWindow);
    EXPECT_EQ(result, c.result) << "button " << c.button;
    EXPECT_TRUE(seen.okVisible);
    EXPECT_TRUE(seen.cancelVisible);
    EXPECT_EQ(seen.cancelText, "&Cancel");
    // Cancel in the corner, OK 7 pixels to its left on the same row; the
    // text takes the picture's place too.
    EXPECT_EQ(seen.cancel.right, seen.client.right - 7);
    EXPECT_EQ(seen.cancel.bottom, seen.client.bottom - 7);
    EXPECT_EQ(seen.ok.right, seen.cancel.left - 7);
    EXPECT_EQ(seen.ok.top, seen.cancel.top);
    EXPECT_TRUE(SameRect(seen.text, RECT{11, 28, 290, 91}));
    EXPECT_NE(seen.pictureCentre, RGB(207, 34, 34));
  }
}

TEST(GUIMessageBoxDlg, AButtonGrowsToItsTextAndNeverShrinks) {
  struct Case {
    const char* first;
    bool wider;
  } cases[] = {{"OK", false}, {"Try Again, and once more", true}};
  int plainWidth = 0;
  for (const Case& c : cases) {
    CGUIMessageBoxDlg box;
    box.Setup("Incorrect password.", " Error", c.first, "", 1, IDG_MESSAGE_SKIN, 0);
    Seen seen;
    int textWidth = 0;
    RunModal(box, [&](HWND window) {
      seen = Look(window);
      HWND ok = GetDlgItem(window, IDOK);
      HDC dc = GetDC(ok);
      HGDIOBJ old = SelectObject(dc, HGDIOBJ(SendMessageA(ok, WM_GETFONT, 0, 0)));
      SIZE size{};
      GetTextExtentPoint32A(dc, c.first, int(strlen(c.first)), &size);
      SelectObject(dc, old);
      ReleaseDC(ok, dc);
      textWidth = size.cx;
      PostMessageA(ok, BM_CLICK, 0, 0);
    });
    ASSERT_DISPLAY(seen.okWindow);
    SCOPED_TRACE(c.first);
    const int width = guitest::Width(seen.ok);
    if (!c.wider) plainWidth = width;
    EXPECT_EQ(width > plainWidth, c.wider);
    // The whole text between the 3-pixel margins, the button still in its corner.
    EXPECT_GE(width, textWidth + 6);
    EXPECT_EQ(seen.ok.right, seen.client.right - 7);
  }
}
