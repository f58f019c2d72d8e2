// The About window: its texts, the program's version from its own version
// resource, and that a click on the body closes it.
#include "AboutDlg.h"

#include <gtest/gtest.h>

#include "DialogsTestSupport.h"
#include "GUI/GUILabel.h"
#include "GuiTestSupport.h"
#include "Version.h"
#include "resource.h"

using dialogtest::Text;

TEST(AboutDlg, ShowsTheVersionsAndTheNoteAndClosesOnABodyClick) {
  CStringLoader::SetCurrentLanguage(1033);
  struct Case {
    const char* sdk;
    const char* sdkLine;
  } cases[] = {{"3.0.10.8", "SDK Version: 3.0.10.8"}, {"", " "}};
  for (const Case& c : cases) {
    CAboutDlg about(nullptr, dialogtest::Program(), c.sdk);
    std::string title, caption, product, version, sdk, heading, note, link;
    RECT client{};
    COLORREF productColor = 0;
    bool productBold = false;
    const INT_PTR result = guitest::RunModal(about, [&](HWND window) {
      title = Text(window);
      caption = Text(GetDlgItem(window, IDC_CAPTION_CTL));
      product = Text(GetDlgItem(window, IDC_PRODUCT_NAME));
      version = Text(GetDlgItem(window, IDC_VERSIO_INFO));
      sdk = Text(GetDlgItem(window, IDC_SDK_VERSIO_INFO));
      heading = Text(GetDlgItem(window, IDC_ADDITIONAL_INFO_STR));
      note = Text(GetDlgItem(window, IDC_ADDITIONAL_INFO));
      link = Text(GetDlgItem(window, IDC_SUPPORT_LINK));
      GetClientRect(window, &client);
      auto* label = static_cast<CGUILabel*>(CWnd::FromHandle(GetDlgItem(window, IDC_PRODUCT_NAME)));
      if (label != nullptr) {
        productColor = label->TextColor();
        productBold = label->Bold();
      }
      // A click in the body, below the note's heading: the window closes with OK.
      PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 140));
      PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(200, 140));
    });
    ASSERT_EQ(result, IDOK) << "under Wine set DISPLAY to a running X server";
    EXPECT_EQ(title, "About Tovik Control Panel");
    EXPECT_EQ(caption, " About Tovik Control Panel");
    EXPECT_EQ(product, "Tovik Control Panel Application");
    EXPECT_EQ(productColor, RGB(170, 145, 127));
    EXPECT_TRUE(productBold);
    EXPECT_EQ(version, std::string("Product Version: ") + TOVIK_VERSION_TEXT);
    EXPECT_EQ(sdk, c.sdkLine);
    EXPECT_EQ(heading, "Additional Infromation:");
    EXPECT_EQ(note.rfind("Thank you for using Tovik Control Panel.", 0), 0u) << note;
    EXPECT_NE(note.find("free of charge"), std::string::npos);
    EXPECT_EQ(link, "http://www.tovik.example/support/");
    EXPECT_EQ(client.right, 385);
    EXPECT_EQ(client.bottom, 282);
  }
}

TEST(AboutDlg, AClickInTheCaptionBarDoesNotClose) {
  CStringLoader::SetCurrentLanguage(1033);
  CAboutDlg about(nullptr, dialogtest::Program(), "");
  ASSERT_TRUE(about.Create()) << "under Wine set DISPLAY to a running X server";
  HWND window = about.GetSafeHwnd();
  ShowWindow(window, SW_SHOW);
  // Only the caption's own message is posted; the window stays.
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 8));
  MSG msg;
  bool dragAsked = false;
  while (PeekMessageA(&msg, window, WM_NCLBUTTONDOWN, WM_NCLBUTTONDOWN, PM_REMOVE)) {
    dragAsked = dragAsked || msg.wParam == HTCAPTION;
  }
  EXPECT_TRUE(dragAsked);
  EXPECT_TRUE(IsWindow(window));
  SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(300, 200));
  EXPECT_FALSE(IsWindow(window));
}
