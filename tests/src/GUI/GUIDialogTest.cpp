// The skinned dialog base on a real window: fitting to the skin, the three
// layout passes, the design listing and the shape region.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "GUI/GUIDialog.h"
#include "GUI/GUILabel.h"
#include "GuiTestSupport.h"

namespace {

using guitest::Height;
using guitest::RectIn;
using guitest::SameRect;
using guitest::TestDialog;
using guitest::Width;

const int kSkinWidth = 360;
const int kSkinHeight = 240;

// Widths the buttons have from their template, read before any layout.
std::map<UINT, int> TemplateWidths(TestDialog& d) {
  std::map<UINT, int> widths;
  for (UINT id : {IDC_TEST_LEFT, IDC_TEST_MIDDLE, IDC_TEST_RIGHT, IDC_TEST_SPAN, IDC_TEST_WIDE,
                  IDC_TEST_NARROW}) {
    widths[id] = Width(RectIn(d.GetDlgItem(int(id)), d.GetSafeHwnd()));
  }
  return widths;
}

class GUIDialogLayout : public ::testing::Test {
 protected:
  void Open(UINT skin, std::function<void(TestDialog&)> init) {
    dialog_ = std::make_unique<TestDialog>(skin, [this, init](TestDialog& d) {
      widths_ = TemplateWidths(d);
      init(d);
    });
    ASSERT_DISPLAY(dialog_->Create() ? dialog_->GetSafeHwnd() : nullptr);
  }
  RECT Rect(UINT id) { return RectIn(dialog_->GetDlgItem(int(id)), dialog_->GetSafeHwnd()); }

  std::unique_ptr<TestDialog> dialog_;
  std::map<UINT, int> widths_;
};

TEST_F(GUIDialogLayout, ClientAreaTakesTheSizeOfTheSkin) {
  Open(IDG_TEST_SKIN, [](TestDialog&) {});
  EXPECT_TRUE(dialog_->SkinActive());
  RECT client = dialog_->GetClientRect();
  EXPECT_EQ(Width(client), kSkinWidth);
  EXPECT_EQ(Height(client), kSkinHeight);
}

TEST_F(GUIDialogLayout, MissingSkinKeepsTheTemplateSizeAndStillLaysOut) {
  Open(4242,
       [](TestDialog& d) { d.SetControlInfo(IDC_TEST_FIXED, "IDC_TEST_FIXED", 30, 46, 20, 180); });
  EXPECT_FALSE(dialog_->SkinActive());
  RECT window{};
  GetWindowRect(dialog_->GetSafeHwnd(), &window);
  EXPECT_EQ(Width(window), dialog_->templateSize.cx);
  EXPECT_EQ(Height(window), dialog_->templateSize.cy);
  EXPECT_TRUE(SameRect(Rect(IDC_TEST_FIXED), RECT{20, 30, 180, 46}));
}

TEST_F(GUIDialogLayout, FixedControlsGoToTheirRectangle) {
  Open(IDG_TEST_SKIN, [](TestDialog& d) {
    d.SetControlInfo(IDC_TEST_FIXED, "IDC_TEST_FIXED", 30, 46, 20, 180);
    d.SetControlInfo(IDC_TEST_CHECK, "IDC_TEST_CHECK", 101, 118, 7, 222);
  });
  EXPECT_TRUE(SameRect(Rect(IDC_TEST_FIXED), RECT{20, 30, 180, 46}));
  EXPECT_TRUE(SameRect(Rect(IDC_TEST_CHECK), RECT{7, 101, 222, 118}));
}

// A content-sized control keeps its width; it stands at the left end of its
// span when left-aligned or when the span is too narrow (the client's left
// edge + 6 reaches right - width), else at the right end.
TEST_F(GUIDialogLayout, ContentSizedControlsKeepTheirWidthWithinTheSpan) {
  Open(IDG_TEST_SKIN, [](TestDialog& d) {
    d.SetResizableControlInfo(IDC_TEST_SPAN, "IDC_TEST_SPAN", 100, 124, 310, 320, true);
    d.SetResizableControlInfo(IDC_TEST_WIDE, "IDC_TEST_WIDE", 60, 84, 20, 200, false);
  });
  const int span = widths_[IDC_TEST_SPAN];
  const int wide = widths_[IDC_TEST_WIDE];
  ASSERT_GT(span, 10);
  EXPECT_TRUE(SameRect(Rect(IDC_TEST_SPAN), RECT{310, 100, 310 + span, 124}));
  EXPECT_TRUE(SameRect(Rect(IDC_TEST_WIDE), RECT{200 - wide, 60, 200, 84}));
}

TEST_F(GUIDialogLayout, NarrowSpanPutsTheControlAtItsLeftEnd) {
  struct Case {
    int extra;  // right = 2 + width + extra
    bool atLeft;
  };
  for (Case c : {Case{4, true}, Case{5, false}, Case{20, false}}) {
    SCOPED_TRACE(c.extra);
    int width = 0;
    Open(IDG_TEST_SKIN, [&](TestDialog& d) {
      width = Width(RectIn(d.GetDlgItem(IDC_TEST_NARROW), d.GetSafeHwnd()));
      d.SetResizableControlInfo(IDC_TEST_NARROW, "IDC_TEST_NARROW", 130, 154, 2,
                                2 + width + c.extra, false);
    });
    const int right = 2 + width + c.extra;
    RECT want = c.atLeft ? RECT{2, 130, 2 + width, 154} : RECT{right - width, 130, right, 154};
    EXPECT_TRUE(SameRect(Rect(IDC_TEST_NARROW), want));
    dialog_.reset();
  }
}

TEST_F(GUIDialogLayout, RowOfThreeButtonsHangsFromTheBottomRightCorner) {
  Open(IDG_TEST_SKIN, [](TestDialog& d) {
    d.SetResizableControlInfo(IDC_TEST_LEFT, "IDC_TEST_LEFT", 0, 24, 0, 10, true);
    d.SetResizableControlInfo(IDC_TEST_MIDDLE, "IDC_TEST_MIDDLE", 0, 24, 0, 10, true);
    d.SetResizableControlInfo(IDC_TEST_RIGHT, "IDC_TEST_RIGHT", 0, 24, 0, 10, true);
    d.SetAnchor(IDC_TEST_RIGHT, 0x1010, 12);
    d.SetLeftNeighbour(IDC_TEST_MIDDLE, IDC_TEST_RIGHT, 8);
    d.SetLeftNeighbour(IDC_TEST_LEFT, IDC_TEST_MIDDLE, 5);
  });
  const int top = kSkinHeight - 12 - 24;
  const int bottom = kSkinHeight - 12;
  RECT right{kSkinWidth - 12 - widths_[IDC_TEST_RIGHT], top, kSkinWidth - 12, bottom};
  RECT middle{right.left - 8 - widths_[IDC_TEST_MIDDLE], top, right.left - 8, bottom};
  RECT left{middle.left - 5 - widths_[IDC_TEST_LEFT], top, middle.left - 5, bottom};
  EXPECT_TRUE(SameRect(Rect(IDC_TEST_RIGHT), right));
  EXPECT_TRUE(SameRect(Rect(IDC_TEST_MIDDLE), middle));
  EXPECT_TRUE(SameRect(Rect(IDC_TEST_LEFT), left));
  // The table follows the windows.
  EXPECT_TRUE(SameRect(dialog_->FindControlInfo(IDC_TEST_LEFT)->rect, left));
}

TEST_F(GUIDialogLayout, AnchorsFollowTheClientEdges) {
  struct Case {
    uint32_t flags;
    RECT want;  // from a registered 50, 200, 100, 216 (left, top, right, bottom)
  };
  const Case cases[] = {
      {0x0011, RECT{20, 200, kSkinWidth - 20, 216}},
      {0x0101, RECT{20, 20, 70, 36}},
      {0x1100, RECT{50, 20, 100, kSkinHeight - 20}},
      {0x0010, RECT{kSkinWidth - 20 - 50, 200, kSkinWidth - 20, 216}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    Open(IDG_TEST_SKIN, [&](TestDialog& d) {
      d.SetControlInfo(IDC_TEST_STRETCH, "IDC_TEST_STRETCH", 200, 216, 50, 100);
      d.SetAnchor(IDC_TEST_STRETCH, c.flags, 20);
    });
    EXPECT_TRUE(SameRect(Rect(IDC_TEST_STRETCH), c.want));
    dialog_.reset();
  }
}

TEST_F(GUIDialogLayout, RegisteredIdWithoutAControlIsIgnored) {
  Open(IDG_TEST_SKIN, [](TestDialog& d) {
    d.SetControlInfo(IDC_TEST_MISSING, "IDC_TEST_MISSING", 1, 2, 3, 4);
    d.SetResizableControlInfo(IDC_TEST_RIGHT, "IDC_TEST_RIGHT", 0, 24, 0, 10, true);
    d.SetAnchor(IDC_TEST_MISSING, 0x1010, 12);
    d.SetAnchor(IDC_TEST_RIGHT, 0x1010, 12);
    // A chain that runs into the missing control stops there.
    d.SetLeftNeighbour(IDC_TEST_MISSING, IDC_TEST_RIGHT, 8);
    d.SetControlInfo(IDC_TEST_FIXED, "IDC_TEST_FIXED", 30, 46, 20, 180);
  });
  EXPECT_TRUE(SameRect(Rect(IDC_TEST_FIXED), RECT{20, 30, 180, 46}));
  EXPECT_EQ(Rect(IDC_TEST_RIGHT).right, kSkinWidth - 12);
}

TEST_F(GUIDialogLayout, ComboBoxTakesTheHeightOfItsDroppedList) {
  RECT dropped{};
  Open(IDG_TEST_SKIN, [&](TestDialog& d) {
    SendMessageA(d.GetDlgItem(IDC_TEST_COMBO), CB_GETDROPPEDCONTROLRECT, 0,
                 reinterpret_cast<LPARAM>(&dropped));
    d.SetControlInfo(IDC_TEST_COMBO, "IDC_TEST_COMBO", 150, 170, 20, 120);
  });
  const CControlInfo* info = dialog_->FindControlInfo(IDC_TEST_COMBO);
  ASSERT_NE(info, nullptr);
  EXPECT_TRUE(info->isComboBox);
  EXPECT_EQ(info->rect.top, 150);
  EXPECT_EQ(info->rect.bottom, 150 + Height(dropped));
  EXPECT_GT(Height(dropped), 20);
  EXPECT_EQ(Rect(IDC_TEST_COMBO).left, 20);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

TEST_F(GUIDialogLayout, DumpWritesEveryPlacedControlAsASourceLine) {
  Open(IDG_TEST_SKIN, [](TestDialog& d) {
    d.SetControlInfo(IDC_TEST_FIXED, "IDC_TEST_FIXED", 30, 46, 20, 180);
    d.SetResizableControlInfo(IDC_TEST_SPAN, "IDC_TEST_SPAN", 100, 124, 310, 320, true);
    d.SetResizableControlInfo(IDC_TEST_WIDE, "IDC_TEST_WIDE", 60, 84, 20, 200, false);
    d.SetControlInfo(IDC_TEST_MISSING, "IDC_TEST_MISSING", 1, 2, 3, 4);
  });
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  const std::string path = std::string(dir) + "tovik_gui_listing.out";
  dialog_->SetListingFile(path);
  ASSERT_TRUE(dialog_->DumpControlInfo());
  const int span = widths_[IDC_TEST_SPAN];
  const int wide = widths_[IDC_TEST_WIDE];
  std::ostringstream want;
  // One line per control with a window, in the order of the ids.
  want << "//{{AFX\n"
       << "SetResizableControlInfo(IDC_TEST_SPAN, \"IDC_TEST_SPAN\", 100, 124, 310, " << 310 + span
       << ", true);\n"
       << "SetResizableControlInfo(IDC_TEST_WIDE, \"IDC_TEST_WIDE\", 60, 84, " << 200 - wide
       << ", 200, false);\n"
       << "SetControlInfo(IDC_TEST_FIXED, \"IDC_TEST_FIXED\", 30, 46, 20, 180);\n"
       << "//}}AFX\n";
  // Written in text mode: line feeds become CR LF on this system.
  std::string got = ReadFile(path);
  std::string lf;
  for (char ch : got) {
    if (ch != '\r') lf += ch;
  }
  EXPECT_EQ(lf, want.str());
  // The name is used once; the next listing goes to "control.out" again.
  EXPECT_EQ(dialog_->ListingFile(), "");
  DeleteFileA(path.c_str());
}

TEST_F(GUIDialogLayout, DumpIntoAnUnwritablePlaceReportsFailure) {
  Open(IDG_TEST_SKIN,
       [](TestDialog& d) { d.SetControlInfo(IDC_TEST_FIXED, "IDC_TEST_FIXED", 30, 46, 20, 180); });
  dialog_->SetListingFile("Z:\\no\\such\\folder\\control.out");
  EXPECT_FALSE(dialog_->DumpControlInfo());
}

TEST(GUIDialogShape, TransparentColourRuleHasATolerancePerChannelCappedAt255) {
  struct Case {
    COLORREF pixel, key;
    int tolerance;
    bool transparent;
  };
  const Case cases[] = {
      {RGB(255, 255, 255), RGB(255, 255, 255), 0x10, true},
      {RGB(254, 255, 255), RGB(255, 255, 255), 0x10, false},
      {RGB(255, 255, 240), RGB(255, 255, 255), 0x10, false},
      {RGB(216, 200, 210), RGB(200, 200, 200), 0x10, true},
      {RGB(217, 200, 200), RGB(200, 200, 200), 0x10, false},
      {RGB(199, 200, 200), RGB(200, 200, 200), 0x10, false},
      {RGB(255, 250, 251), RGB(250, 250, 250), 0x10, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CGUIDialog::IsTransparent(c.pixel, c.key, c.tolerance), c.transparent)
        << std::hex << c.pixel << " key " << c.key;
  }
}

// The cut-outs of the test bitmap (40 x 30): the top-left 4 x 4 block, the
// bottom-right 10 x 10 block and row 15 from x 10 to 19 are pure white;
// column 25 and pixel (0, 29) are nearly white and must stay.
bool IsCut(int x, int y) {
  return (x < 4 && y < 4) || (x >= 30 && y >= 20) || (y == 15 && x >= 10 && x <= 19);
}

TEST(GUIDialogShape, RegionExcludesExactlyThePureWhitePixels) {
  TestDialog dialog(IDG_TEST_SKIN, [](TestDialog& d) { EXPECT_TRUE(d.SetShape(IDB_TEST_CUTS)); });
  ASSERT_DISPLAY(dialog.Create() ? dialog.GetSafeHwnd() : nullptr);
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(dialog.GetSafeHwnd(), region), ERROR);
  int wrong = 0;
  for (int y = -1; y <= 30; ++y) {
    for (int x = -1; x <= 40; ++x) {
      const bool inside = x >= 0 && y >= 0 && x < 40 && y < 30 && !IsCut(x, y);
      if ((PtInRegion(region, x, y) != FALSE) != inside) {
        ADD_FAILURE() << "pixel " << x << ", " << y << " should be " << (inside ? "in" : "out");
        if (++wrong > 10) break;
      }
    }
  }
  DeleteObject(region);
}

TEST(GUIDialogShape, MissingShapeBitmapLeavesTheWindowWhole) {
  TestDialog dialog(IDG_TEST_SKIN, [](TestDialog& d) { EXPECT_FALSE(d.SetShape(4243)); });
  ASSERT_DISPLAY(dialog.Create() ? dialog.GetSafeHwnd() : nullptr);
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(GetWindowRgn(dialog.GetSafeHwnd(), region), ERROR);
  DeleteObject(region);
}

}  // namespace

namespace {

using guitest::TestDialog;

// Records the caption drag the dialog posts itself, and keeps the system's
// move loop out of the test.
class CaptionDialog : public TestDialog {
 public:
  using TestDialog::TestDialog;
  std::vector<std::pair<WPARAM, LPARAM>> drags;

 protected:
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override {
    if (message == WM_NCLBUTTONDOWN) {
      drags.emplace_back(wParam, lParam);
      result = 0;
      return true;
    }
    return TestDialog::OnMessage(message, wParam, lParam, result);
  }
};

COLORREF PrintedPixel(HWND window, int x, int y) {
  RECT r{};
  GetClientRect(window, &r);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, r.right, r.bottom);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bitmap);
  SendMessageA(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  COLORREF c = GetPixel(dc, x, y);
  SelectObject(dc, old);
  DeleteObject(bitmap);
  DeleteDC(dc);
  return c;
}

TEST(GUIDialogConventions, CaptionBarIsARedToGreyGradientThatMovesTheWindow) {
  CGUILabel caption;
  CaptionDialog dialog(IDG_TEST_SKIN, [&](TestDialog& d) {
    d.SetControlInfo(IDC_TEST_CAPTION, "IDC_CAPTION_CTL", 1, 18, 1, 296);
    d.SetupCaptionBar(caption, IDC_TEST_CAPTION, "Login Privacy Zone");
  });
  ASSERT_DISPLAY(dialog.Create() ? dialog.GetSafeHwnd() : nullptr);
  EXPECT_EQ(caption.GetWindowText(), " Login Privacy Zone");
  EXPECT_TRUE(caption.Bold());
  EXPECT_EQ(caption.TextColor(), RGB(255, 255, 255));
  EXPECT_EQ(caption.FontHeight(), 36);
  // The text starts after a space: the left end and the right end show the
  // two colours of the gradient.
  EXPECT_EQ(PrintedPixel(caption.GetSafeHwnd(), 0, 0), RGB(207, 34, 34));
  EXPECT_EQ(PrintedPixel(caption.GetSafeHwnd(), 294, 16), RGB(192, 192, 192));

  HWND window = dialog.GetSafeHwnd();
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(150, 10));
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(150, 100));
  guitest::Pump(100);
  ASSERT_EQ(dialog.drags.size(), 1u);
  POINT at{150, 10};
  ClientToScreen(window, &at);
  EXPECT_EQ(dialog.drags[0].first, WPARAM(HTCAPTION));
  EXPECT_EQ(dialog.drags[0].second, MAKELPARAM(at.x, at.y));
}

TEST(GUIDialogConventions, CentresOverAnotherWindow) {
  TestDialog over(IDG_TEST_SKIN, nullptr);
  TestDialog dialog(4248, nullptr);
  ASSERT_DISPLAY(over.Create() ? over.GetSafeHwnd() : nullptr);
  ASSERT_TRUE(dialog.Create());
  SetWindowPos(over.GetSafeHwnd(), nullptr, 200, 150, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  dialog.CenterWindow(over.GetSafeHwnd());
  RECT a{}, b{};
  GetWindowRect(over.GetSafeHwnd(), &a);
  GetWindowRect(dialog.GetSafeHwnd(), &b);
  EXPECT_LE(std::abs((a.left + a.right) - (b.left + b.right)), 1);
  EXPECT_LE(std::abs((a.top + a.bottom) - (b.top + b.bottom)), 1);
}

}  // namespace
