// The "still running" notice with its check box: what OK stores, and where
// the box, the picture and the button stand.
#include "GUIMessageBoxCheckDlg.h"

#include <gtest/gtest.h>

#include "DialogsTestSupport.h"
#include "GuiTestSupport.h"
#include "resource.h"
#include "strings.h"

using dialogtest::Text;
using guitest::RectIn;

TEST(GUIMessageBoxCheckDlg, OkStoresTheCheckBoxAsNoCloseNextTime) {
  const std::string settings = dialogtest::FreshSettings("notice.ini");
  CStringLoader::SetCurrentLanguage(1033);
  // The clicked case comes last: the host reads what it left.
  for (bool click : {false, true}) {
    CGUIMessageBoxCheckDlg box;
    box.Setup(CStringLoader::LoadString(IDS_STILL_RUNNING_NOTE), " Tovik Control Panel", "OK", "",
              1, IDG_MESSAGE_SKIN, 0);
    RECT client{}, check{}, ok{};
    std::string checkText;
    bool cancelShown = true;
    const INT_PTR result = guitest::RunModal(box, [&](HWND window) {
      GetClientRect(window, &client);
      check = RectIn(GetDlgItem(window, IDC_DO_NOT_SHOW_AGAIN), window);
      ok = RectIn(GetDlgItem(window, IDOK), window);
      checkText = Text(GetDlgItem(window, IDC_DO_NOT_SHOW_AGAIN));
      cancelShown = IsWindowVisible(GetDlgItem(window, IDCANCEL)) != FALSE;
      if (click) SendMessageA(GetDlgItem(window, IDC_DO_NOT_SHOW_AGAIN), BM_CLICK, 0, 0);
      PostMessageA(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
    });
    ASSERT_EQ(result, IDOK) << "under Wine set DISPLAY to a running X server";
    EXPECT_EQ(CAppSettings().ReadSetting("NoCloseNextTime"), click ? 1 : 0);
    EXPECT_EQ(GetPrivateProfileIntA(CAppSettings::SectionName().c_str(), "NoCloseNextTime", -1,
                                    settings.c_str()),
              click ? 1 : 0);
    EXPECT_TRUE(box.HasPicture());
    EXPECT_FALSE(cancelShown);
    EXPECT_EQ(checkText, "Don't show this message next time.");
    // The check box in the bottom-left corner, OK in the bottom-right one.
    EXPECT_EQ(check.left, 7);
    EXPECT_EQ(check.bottom, client.bottom - 7);
    EXPECT_EQ(ok.right, client.right - 7);
    EXPECT_EQ(ok.bottom, client.bottom - 7);
  }
  shelltest::CheckRecord::Setting("notice.ini", CAppSettings::SectionName(), "NoCloseNextTime",
                                  "1");
}
