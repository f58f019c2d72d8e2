// The notification popup on a real display: the edge chosen from the work
// area, 5-pixel slide steps, the time-out, dismissal, swallowed keys and the
// popup destroying itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "GUI/NotificationPopup.h"
#include "GuiTestSupport.h"
#include "resource.h"

namespace {

using guitest::Height;
using guitest::Pump;
using guitest::SameRect;
using guitest::Width;

const UINT kNever = 0x7FFFFFFF;  // a timer period the tests outlive

class NotificationPopupTest : public ::testing::Test {
 protected:
  void SetUp() override { SystemParametersInfoA(SPI_GETWORKAREA, 0, &saved_, 0); }
  void TearDown() override {
    for (HWND w : shown_) {
      if (IsWindow(w)) DestroyWindow(w);
    }
    SystemParametersInfoA(SPI_SETWORKAREA, 0, &saved_, 0);
  }

  HWND Show(UINT picture, UINT timeout, UINT step, uint32_t layout = 8,
            const std::string& text = "New Tovik Drive Arrived") {
    auto popup = CNotificationPopup::Create(text, IDD_NOTIFY_POPUP, IDG_NOTIFY_SKIN,
                                            IDC_NOTIFY_TEXT, picture, timeout, step, nullptr);
    if (popup == nullptr) return nullptr;
    popup->SetLayout(layout);
    HWND window = CNotificationPopup::Show(std::move(popup));
    if (window != nullptr) shown_.push_back(window);
    return window;
  }
  static CNotificationPopup* Of(HWND window) {
    return static_cast<CNotificationPopup*>(CWnd::FromHandle(window));
  }
  static RECT WindowRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
  }
  // Steps the slide-in by hand until it ends; answers the number of ticks.
  static int SlideIn(HWND window) {
    int ticks = 0;
    while (IsWindow(window) && ticks < 1000) {
      int before = Of(window)->ShownHeight();
      SendMessageA(window, WM_TIMER, CNotificationPopup::kSlideInTimer, 0);
      ++ticks;
      if (before + 5 > Of(window)->FullHeight()) break;
    }
    return ticks;
  }

  RECT saved_{};
  std::vector<HWND> shown_;
};

TEST_F(NotificationPopupTest, EdgeCodeFollowsTheTaskbarSide) {
  struct Case {
    RECT work;
    int edge;
  };
  const Case cases[] = {
      {RECT{0, 0, 1024, 738}, CNotificationPopup::kEdgeBottom},
      {RECT{0, 30, 1024, 768}, CNotificationPopup::kEdgeTop},
      {RECT{60, 0, 1024, 768}, CNotificationPopup::kEdgeLeft},
      {RECT{0, 0, 964, 768}, CNotificationPopup::kEdgeRight},
      {RECT{0, 0, 1024, 768}, CNotificationPopup::kEdgeRight},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CNotificationPopup::ChooseEdge(c.work, 1024, 768), c.edge);
  }
}

// With the work area set for a taskbar at each side, the popup grows from
// the matching corner and stays inside the work area.
TEST_F(NotificationPopupTest, PopupGrowsFromTheCornerNextToTheTaskbar) {
  const int sw = GetSystemMetrics(SM_CXSCREEN);
  const int sh = GetSystemMetrics(SM_CYSCREEN);
  struct Case {
    RECT work;
    int edge;
  };
  const Case cases[] = {
      {RECT{0, 0, sw, sh - 30}, CNotificationPopup::kEdgeBottom},
      {RECT{0, 30, sw, sh}, CNotificationPopup::kEdgeTop},
      {RECT{60, 0, sw, sh}, CNotificationPopup::kEdgeLeft},
      {RECT{0, 0, sw - 60, sh}, CNotificationPopup::kEdgeRight},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.edge);
    RECT work = c.work;
    ASSERT_TRUE(SystemParametersInfoA(SPI_SETWORKAREA, 0, &work, 0));
    HWND window = Show(IDG_NOTIFY_INSERTED, kNever, kNever);
    ASSERT_DISPLAY(window);
    CNotificationPopup* popup = Of(window);
    EXPECT_EQ(popup->Edge(), c.edge);
    EXPECT_TRUE(EqualRect(&popup->WorkArea(), &work));
    EXPECT_EQ(popup->ShownHeight(), 0);
    EXPECT_FALSE(IsWindowVisible(window));
    for (int i = 0; i < 3; ++i)
      SendMessageA(window, WM_TIMER, CNotificationPopup::kSlideInTimer, 0);
    const int full = popup->FullWidth();
    RECT want{};
    switch (c.edge) {
      case CNotificationPopup::kEdgeLeft:
        want = RECT{work.left + 10, work.bottom - 15 - 5, work.left + full, work.bottom - 5};
        break;
      case CNotificationPopup::kEdgeTop:
        want = RECT{work.right - full, work.top, work.right - 10, work.top + 15};
        break;
      default:
        want = RECT{work.right - full, work.bottom - 15 - 5, work.right - 10, work.bottom - 5};
        break;
    }
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(SameRect(WindowRect(window), want));
    DestroyWindow(window);
  }
}

TEST_F(NotificationPopupTest, SizeComesFromTheSkinAndTheLayoutFlagPlacesPictureAndText) {
  struct Case {
    uint32_t layout;
    RECT picture;  // in a 220 x 90 client with a 32 x 32 picture
    RECT text;
  };
  const Case cases[] = {
      {8, RECT{94, 55, 126, 87}, RECT{7, 7, 213, 55}},
      {0x10, RECT{94, 29, 126, 61}, RECT{10, 30, 210, 60}},
      {0, RECT{10, 30, 42, 62}, RECT{10, 30, 210, 60}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.layout);
    HWND window = Show(IDG_NOTIFY_REMOVED, kNever, kNever, c.layout, "Removed");
    ASSERT_DISPLAY(window);
    CNotificationPopup* popup = Of(window);
    EXPECT_EQ(popup->FullWidth(), 230);
    EXPECT_EQ(popup->FullHeight(), 90);
    EXPECT_TRUE(SameRect(popup->PictureRect(), c.picture));
    HWND text = GetDlgItem(window, IDC_NOTIFY_TEXT);
    EXPECT_TRUE(SameRect(guitest::RectIn(text, window), c.text));
    char got[64] = {};
    GetWindowTextA(text, got, sizeof(got));
    EXPECT_STREQ(got, "Removed");
    DestroyWindow(window);
  }
}

TEST_F(NotificationPopupTest, SlideInGrowsByFivePixelsAndEndsAtTheFirstStepBeyondFull) {
  HWND window = Show(IDG_NOTIFY_INSERTED, kNever, kNever);
  ASSERT_DISPLAY(window);
  CNotificationPopup* popup = Of(window);
  ASSERT_EQ(popup->FullHeight(), 90);
  std::vector<int> heights;
  for (int tick = 1; tick <= 18; ++tick) {
    SendMessageA(window, WM_TIMER, CNotificationPopup::kSlideInTimer, 0);
    heights.push_back(Height(WindowRect(window)));
    EXPECT_EQ(heights.back(), 5 * tick);
  }
  // The 19th step goes beyond the full height: the slide-in ends there and
  // the window keeps its last height.
  SendMessageA(window, WM_TIMER, CNotificationPopup::kSlideInTimer, 0);
  EXPECT_EQ(popup->ShownHeight(), 95);
  EXPECT_EQ(Height(WindowRect(window)), 90);
  // Sliding out starts from there, 5 pixels a step.
  SendMessageA(window, WM_TIMER, CNotificationPopup::kSlideOutTimer, 0);
  EXPECT_EQ(Height(WindowRect(window)), 90);
  SendMessageA(window, WM_TIMER, CNotificationPopup::kSlideOutTimer, 0);
  EXPECT_EQ(Height(WindowRect(window)), 85);
}

TEST_F(NotificationPopupTest, FullHeightNotAMultipleOfFiveEndsAtTheFirstStepBeyond) {
  // Without its skin the popup keeps the template's size.
  auto made = CNotificationPopup::Create("odd", IDD_NOTIFY_POPUP, 4245, IDC_NOTIFY_TEXT, 0, kNever,
                                         kNever, nullptr);
  HWND window = CNotificationPopup::Show(std::move(made));
  ASSERT_DISPLAY(window);
  shown_.push_back(window);
  const int full = Of(window)->FullHeight();
  ASSERT_GT(full, 0);
  const int ticks = SlideIn(window);
  EXPECT_EQ(ticks, full / 5 + 1);
  EXPECT_EQ(Height(WindowRect(window)), full / 5 * 5);
  // Sliding out ends at the first step that reaches 0 or less.
  int outTicks = 0;
  while (IsWindow(window) && outTicks < 100) {
    SendMessageA(window, WM_TIMER, CNotificationPopup::kSlideOutTimer, 0);
    ++outTicks;
  }
  EXPECT_FALSE(IsWindow(window));
  EXPECT_EQ(outTicks, (full / 5 * 5 + 5) / 5);
}

// With real timers: slides in, stays fully shown for its time-out, slides
// out and is gone.
TEST_F(NotificationPopupTest, StaysForItsTimeOutAndDestroysItself) {
  const UINT timeout = 500;
  HWND window = Show(IDG_NOTIFY_INSERTED, timeout, 10);
  ASSERT_DISPLAY(window);
  DWORD fullAt = 0;
  DWORD shrinkAt = 0;
  int last = 0;
  bool stepsOfFive = true;
  Pump(15000, [&] {
    if (!IsWindow(window)) return true;
    if (!IsWindowVisible(window)) return false;
    int h = Height(WindowRect(window));
    if (h % 5 != 0) stepsOfFive = false;
    if (h == 90 && fullAt == 0) fullAt = GetTickCount();
    if (fullAt != 0 && shrinkAt == 0 && h < last) shrinkAt = GetTickCount();
    last = h;
    return false;
  });
  EXPECT_FALSE(IsWindow(window));
  EXPECT_TRUE(stepsOfFive);
  ASSERT_NE(fullAt, 0u);
  ASSERT_NE(shrinkAt, 0u);
  // One more slide-in tick and one slide-out tick at the full height come
  // on top of the time-out.
  EXPECT_GE(shrinkAt - fullAt, timeout);
  EXPECT_LT(shrinkAt - fullAt, timeout + 1500);
}

TEST_F(NotificationPopupTest, DismissSlidesOutAtOnce) {
  HWND window = Show(IDG_NOTIFY_INSERTED, kNever, 10);
  ASSERT_DISPLAY(window);
  ASSERT_TRUE(Pump(5000, [&] { return Of(window)->ShownHeight() > 90; }));
  Of(window)->Dismiss();
  EXPECT_TRUE(Pump(5000, [&] { return !IsWindow(window); }));
}

TEST_F(NotificationPopupTest, DismissDuringTheSlideInTurnsBack) {
  HWND window = Show(IDG_NOTIFY_INSERTED, kNever, kNever);
  ASSERT_DISPLAY(window);
  for (int i = 0; i < 6; ++i) SendMessageA(window, WM_TIMER, CNotificationPopup::kSlideInTimer, 0);
  Of(window)->Dismiss();
  // The slide-in timer is gone; the slide-out one runs at the step interval.
  EXPECT_FALSE(KillTimer(window, CNotificationPopup::kSlideInTimer));
  EXPECT_TRUE(KillTimer(window, CNotificationPopup::kSlideOutTimer));
  SendMessageA(window, WM_TIMER, CNotificationPopup::kSlideOutTimer, 0);
  EXPECT_EQ(Height(WindowRect(window)), 25);
}

TEST_F(NotificationPopupTest, EnterEscapeAndCloseDoNotCloseIt) {
  HWND window = Show(IDG_NOTIFY_INSERTED, kNever, kNever);
  ASSERT_DISPLAY(window);
  SlideIn(window);
  const RECT before = WindowRect(window);
  for (WPARAM key : {WPARAM(VK_RETURN), WPARAM(VK_ESCAPE)}) {
    PostMessageA(window, WM_KEYDOWN, key, 0);
    PostMessageA(window, WM_KEYUP, key, 0);
  }
  Pump(100);
  SendMessageA(window, WM_COMMAND, IDOK, 0);
  SendMessageA(window, WM_COMMAND, IDCANCEL, 0);
  SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
  SendMessageA(window, WM_CLOSE, 0, 0);
  Pump(100);
  ASSERT_TRUE(IsWindow(window));
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_TRUE(SameRect(WindowRect(window), before));
}

TEST_F(NotificationPopupTest, SeveralPopupsRunTheirOwnTimers) {
  HWND first = Show(IDG_NOTIFY_INSERTED, 200, 10, 8, "first");
  HWND second = Show(IDG_NOTIFY_REMOVED, kNever, 10, 8, "second");
  ASSERT_DISPLAY(first);
  ASSERT_DISPLAY(second);
  EXPECT_TRUE(Pump(10000, [&] { return !IsWindow(first); }));
  ASSERT_TRUE(IsWindow(second));
  EXPECT_GT(Of(second)->ShownHeight(), 90);
  Of(second)->Dismiss();
  EXPECT_TRUE(Pump(5000, [&] { return !IsWindow(second); }));
}

}  // namespace
