// The skinned button on a real, visible window: hover through the leave
// notification, the pressed look under capture, check and radio kinds, and
// the image each state draws.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "GUI/GUIButton.h"
#include "GuiTestSupport.h"
#include "resource.h"

namespace {

using guitest::Pump;
using guitest::TestDialog;

TEST(GUIButtonState, DrawingChoosesTheImageByPriority) {
  using B = CGUIButton;
  const std::array<bool, 6> all{true, true, true, true, true, true};
  const std::array<bool, 6> plain{true, false, true, true, false, true};  // no focus, no over
  struct Case {
    bool disabled, pressed, checked, hovered, focused;
    const std::array<bool, 6>& has;
    int want;
  };
  const Case cases[] = {
      {true, true, true, true, true, all, B::kDisabled},
      {false, true, false, true, true, all, B::kPressed},
      {false, false, true, true, true, all, B::kPressed},
      {false, false, false, true, true, all, B::kOver},
      {false, false, false, false, true, all, B::kFocused},
      {false, false, false, false, false, all, B::kNormal},
      {false, false, false, true, false, plain, B::kNormal},
      {false, false, false, false, true, plain, B::kNormal},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(B::ChooseState(c.disabled, c.pressed, c.checked, c.hovered, c.focused, c.has), c.want)
        << c.disabled << c.pressed << c.checked << c.hovered << c.focused;
  }
}

class GUIButtonWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    dialog_ = std::make_unique<TestDialog>(IDG_TEST_SKIN, [this](TestDialog& d) {
      d.SetResizableControlInfo(IDC_TEST_RIGHT, "IDC_TEST_RIGHT", 100, 124, 40, 200, true);
      d.SetControlInfo(IDC_TEST_CHECK, "IDC_TEST_CHECK", 140, 160, 40, 200);
      d.SetControlInfo(IDC_TEST_RADIO, "IDC_TEST_RADIO", 170, 190, 40, 200);
      d.SetControlInfo(IDC_TEST_PLAIN, "IDC_TEST_PLAIN", 60, 84, 40, 120);
      push_.Attach(d.GetSafeHwnd(), IDC_TEST_RIGHT);
      push_.SetStandardBitmaps();
      check_.Attach(d.GetSafeHwnd(), IDC_TEST_CHECK);
      check_.SetBitmaps(CGUIButton::kNormal, IDB_CHECK_NORMAL, 0, 0);
      check_.SetBitmaps(CGUIButton::kDisabled, IDB_CHECK_DISABLED, 0, 0);
      check_.SetBitmaps(CGUIButton::kPressed, IDB_CHECK_CHECKED, 0, 0);
      check_.SetBitmaps(CGUIButton::kOver, IDB_CHECK_OVER, 0, 0);
      radio_.Attach(d.GetSafeHwnd(), IDC_TEST_RADIO);
      plain_.Attach(d.GetSafeHwnd(), IDC_TEST_PLAIN);
    });
    ASSERT_DISPLAY(dialog_->Create() ? dialog_->GetSafeHwnd() : nullptr);
    SetWindowPos(dialog_->GetSafeHwnd(), HWND_TOPMOST, 100, 100, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
    Pump(100);
  }
  void TearDown() override { SetCursorPos(1000, 740); }

  // The centre of a control in its own client coordinates and on the screen.
  static LPARAM Centre(HWND control, POINT* screen = nullptr) {
    RECT r{};
    GetClientRect(control, &r);
    POINT pt{r.right / 2, r.bottom / 2};
    if (screen != nullptr) {
      *screen = pt;
      ClientToScreen(control, screen);
    }
    return MAKELPARAM(pt.x, pt.y);
  }
  static int Drawn(CGUIButton& b) {
    b.Invalidate(false);
    UpdateWindow(b.GetSafeHwnd());
    return b.LastDrawnState();
  }

  std::unique_ptr<TestDialog> dialog_;
  CGUIButton push_;
  CGUIButton check_;
  CGUIButton radio_;
  CGUIButton plain_;
};

TEST_F(GUIButtonWindow, HoverStartsWithTheFirstMoveAndEndsWhenTheMouseLeaves) {
  HWND button = push_.GetSafeHwnd();
  EXPECT_FALSE(push_.IsHovered());
  EXPECT_EQ(Drawn(push_), CGUIButton::kNormal);
  POINT screen{};
  LPARAM at = Centre(button, &screen);
  SetCursorPos(screen.x, screen.y);
  SendMessageA(button, WM_MOUSEMOVE, 0, at);
  EXPECT_TRUE(push_.IsHovered());
  EXPECT_EQ(Drawn(push_), CGUIButton::kOver);
  // Only the leave notification ends it.
  Pump(300);
  EXPECT_TRUE(push_.IsHovered());
  SetCursorPos(1000, 740);
  EXPECT_TRUE(Pump(3000, [&] { return !push_.IsHovered(); }));
  EXPECT_EQ(Drawn(push_), CGUIButton::kNormal);
}

TEST_F(GUIButtonWindow, PressedLookFollowsTheCapturedMouse) {
  HWND button = push_.GetSafeHwnd();
  LPARAM inside = Centre(button);
  SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, inside);
  EXPECT_EQ(GetCapture(), button);
  EXPECT_TRUE(push_.IsPressed());
  EXPECT_EQ(Drawn(push_), CGUIButton::kPressed);
  SendMessageA(button, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-5, -5));
  EXPECT_FALSE(push_.IsPressed());
  SendMessageA(button, WM_MOUSEMOVE, MK_LBUTTON, inside);
  EXPECT_TRUE(push_.IsPressed());
  SendMessageA(button, WM_LBUTTONUP, 0, inside);
  EXPECT_FALSE(push_.IsPressed());
  EXPECT_NE(GetCapture(), button);
  EXPECT_EQ(dialog_->commands, std::vector<UINT>{IDC_TEST_RIGHT});
}

TEST_F(GUIButtonWindow, ReleaseOutsideNeitherClicksNorToggles) {
  HWND button = check_.GetSafeHwnd();
  SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, Centre(button));
  SendMessageA(button, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(-5, -5));
  SendMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(-5, -5));
  EXPECT_FALSE(check_.GetCheck());
  EXPECT_TRUE(dialog_->commands.empty());
}

TEST_F(GUIButtonWindow, LosingTheCaptureEndsThePressedState) {
  HWND button = push_.GetSafeHwnd();
  SendMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, Centre(button));
  ASSERT_TRUE(push_.IsPressed());
  SetCapture(dialog_->GetSafeHwnd());
  EXPECT_FALSE(push_.IsPressed());
  ReleaseCapture();
  SendMessageA(button, WM_LBUTTONUP, 0, Centre(button));
  EXPECT_TRUE(dialog_->commands.empty());
}

TEST_F(GUIButtonWindow, CheckKindTogglesAndRadioKindSets) {
  EXPECT_EQ(check_.GetKind(), CGUIButton::kCheck);
  EXPECT_EQ(radio_.GetKind(), CGUIButton::kRadio);
  EXPECT_EQ(push_.GetKind(), CGUIButton::kPush);
  struct Case {
    CGUIButton* button;
    bool afterFirst, afterSecond;
  };
  for (Case c :
       {Case{&check_, true, false}, Case{&radio_, true, true}, Case{&push_, false, false}}) {
    HWND h = c.button->GetSafeHwnd();
    SendMessageA(h, BM_CLICK, 0, 0);
    EXPECT_EQ(c.button->GetCheck(), c.afterFirst);
    EXPECT_EQ(SendMessageA(h, BM_GETCHECK, 0, 0), c.afterFirst ? BST_CHECKED : BST_UNCHECKED);
    SendMessageA(h, BM_CLICK, 0, 0);
    EXPECT_EQ(c.button->GetCheck(), c.afterSecond);
  }
  const std::vector<UINT> clicks{IDC_TEST_CHECK, IDC_TEST_CHECK, IDC_TEST_RADIO,
                                 IDC_TEST_RADIO, IDC_TEST_RIGHT, IDC_TEST_RIGHT};
  EXPECT_EQ(dialog_->commands, clicks);
}

TEST_F(GUIButtonWindow, CheckedBoxDrawsThePressedImageBesideItsText) {
  SendMessageA(check_.GetSafeHwnd(), BM_SETCHECK, BST_CHECKED, 0);
  EXPECT_EQ(Drawn(check_), CGUIButton::kPressed);
  EnableWindow(check_.GetSafeHwnd(), FALSE);
  EXPECT_EQ(Drawn(check_), CGUIButton::kDisabled);
}

TEST_F(GUIButtonWindow, FocusedOrDefaultButtonDrawsTheFocusedImage) {
  SetFocus(push_.GetSafeHwnd());
  Pump(50);
  EXPECT_EQ(Drawn(push_), CGUIButton::kFocused);
  SetFocus(plain_.GetSafeHwnd());
  SendMessageA(dialog_->GetSafeHwnd(), DM_SETDEFID, IDC_TEST_RIGHT, 0);
  EXPECT_EQ(Drawn(push_), CGUIButton::kFocused);
  SendMessageA(dialog_->GetSafeHwnd(), DM_SETDEFID, IDC_TEST_PLAIN, 0);
  EXPECT_EQ(Drawn(push_), CGUIButton::kNormal);
}

TEST_F(GUIButtonWindow, SpaceBarTogglesTheCheckBox) {
  HWND button = check_.GetSafeHwnd();
  SetFocus(button);
  SendMessageA(button, WM_KEYDOWN, VK_SPACE, 0);
  SendMessageA(button, WM_KEYUP, VK_SPACE, 0);
  EXPECT_TRUE(check_.GetCheck());
  EXPECT_EQ(dialog_->commands, std::vector<UINT>{IDC_TEST_CHECK});
}

// The mask lets the skin show through the rounded corners; inside them the
// button's own border is drawn.
TEST_F(GUIButtonWindow, MaskLetsTheSkinThroughTheCorners) {
  ASSERT_EQ(Drawn(push_), CGUIButton::kNormal);
  HDC dc = GetDC(push_.GetSafeHwnd());
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(244, 244, 244));
  EXPECT_EQ(GetPixel(dc, 0, 12), RGB(96, 96, 96));
  ReleaseDC(push_.GetSafeHwnd(), dc);
}

TEST_F(GUIButtonWindow, ButtonWithoutImagesFallsBackToAPlainFace) {
  EXPECT_EQ(Drawn(plain_), -1);
  EXPECT_FALSE(plain_.SetBitmaps(CGUIButton::kNormal, 4244, 0, 0));
  EXPECT_EQ(Drawn(plain_), -1);
}

}  // namespace
