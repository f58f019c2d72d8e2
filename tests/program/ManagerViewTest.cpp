// The main window and its manager view with drives: the SDK listening for
// real, emulated drives plugged into the emulated bus, and the main window
// "Pakkeo Dialog" hearing the drive manager's messages as in the program.
// The run gives this program a Wine desktop of 800 x 600 pixels, the screen
// the views are placed on.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "AppSettings.h"
#include "DriveTestSupport.h"
#include "GUI/Application.h"
#include "KestovaDlg.h"
#include "PDKManager.h"
#include "PlundaManagerViewDlg.h"
#include "PlundaViewDlg.h"
#include "SdkEnvironment.h"
#include "StringLoader.h"
#include "WineTray.h"
#include "resource.h"
#include "strings.h"

namespace {

using drivetest::PumpUntil;

const auto* const g_environment =
    ::testing::AddGlobalTestEnvironment(new SdkEnvironment(prepareDetectionPlatform));
const auto* const g_tray = ::testing::AddGlobalTestEnvironment(new traytest::WineTrayKeeper);

class TestApplication : public CApplication {
 protected:
  bool InitInstance() override { return false; }
};

// Drive letters of the drives that need no files: the bus routes them, Wine
// has no drive there.
const char kBusLetters[] = {'S', 'T', 'V', 'W', 'X'};

class ManagerViewTest : public ::testing::Test {
 protected:
  ManagerViewTest() : bus(port, &aspi) {
    pdk::setDevicePort(&port);
    connectAspi(&aspi);
  }
  void SetUp() override {
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    const std::string settings = std::string(temp) + "tovik_views.ini";
    DeleteFileA(settings.c_str());
    CAppSettings::SetSettingsPath(settings);
    for (const char* key : {"SplashScreen", "AudioIndication", "AutorunEnabled"}) {
      CAppSettings().WriteSetting(key, 0);
    }
    CAppSettings().WriteSetting("VisualIndication", 1);
    CAppSettings().WriteSetting("AlwaysOntop", 1);
    ASSERT_NE(GetFileAttributesA(drivetest::Root().c_str()), INVALID_FILE_ATTRIBUTES)
        << "the run links drive " << drivetest::kLetter << ": to a folder of its own";
    drivetest::EmptyFolder(drivetest::Root());
    ASSERT_TRUE(main.Create());
    app.SetMainWindow(main.GetSafeHwnd());
    ASSERT_NE(main.ManagerView(), nullptr);
    CPDKSDK::instance().poll().waitRunAfterInit();
  }
  void TearDown() override {
    for (auto& d : drives) bus.unplug(d.get());
    // The SDK is done with the drives before the next test's start.
    PumpUntil([] {
      const bool none = CPDKManager::Acquire()->DriveCount() == 0;
      CPDKManager::Release();
      return none;
    });
    if (main.IsWindow()) main.DestroyWindow();
    unregisterDrives(port);
    connectAspi(nullptr);
    pdk::setDevicePort(nullptr);
    // A quit leaves its WM_QUIT for a loop further out: there is none here.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
  }

  // Plugs drives in on `letters` at once and waits until a view holds each;
  // their ids, in no particular order.
  std::vector<int> Insert(const std::vector<char>& letters) {
    for (char letter : letters) {
      emu::DriveConfig config = drivetest::DriveConfig("VIEWS");
      config.serial += letter;
      drives.push_back(std::make_unique<emu::CEmulatedDrive>(config));
      registerDrive(*drives.back(), {letter}, port);
      bus.plugIn(drives.back().get(), std::vector<char>{letter});
    }
    std::vector<int> ids;
    const bool heard = PumpUntil([&] {
      ids.clear();
      for (int i = 0; i < CPlundaManagerViewDlg::kViewCount; ++i) {
        CPlundaViewDlg* view = main.ManagerView()->View(i);
        if (view != nullptr && view->IsValid()) ids.push_back(i);
      }
      return ids.size() == letters.size();
    });
    EXPECT_TRUE(heard) << "views for " << ids.size() << " of " << letters.size() << " drives";
    return ids;
  }
  int Insert(char letter) {
    const std::vector<int> ids = Insert(std::vector<char>{letter});
    return ids.empty() ? -1 : ids.front();
  }
  HWND ViewWindow(int id) {
    CPlundaViewDlg* view = main.ManagerView()->View(id);
    return view != nullptr ? view->GetSafeHwnd() : nullptr;
  }
  bool Visible(int id) { return IsWindowVisible(ViewWindow(id)) != FALSE; }
  static HWND PopupWithText(const std::string& text) {
    for (HWND w = FindWindowExA(nullptr, nullptr, "#32770", nullptr); w != nullptr;
         w = FindWindowExA(nullptr, w, "#32770", nullptr)) {
      char got[256] = "";
      GetDlgItemTextA(w, IDC_NOTIFY_TEXT, got, sizeof got);
      if (text == got && IsWindowVisible(w)) return w;
    }
    return nullptr;
  }

  TestApplication app;
  emu::CEmuDevicePort port;
  emu::CEmuAspiTarget aspi;
  std::vector<std::unique_ptr<emu::CEmulatedDrive>> drives;
  emu::CEmulatedBus bus;
  CKestovaDlg main;
};

TEST_F(ManagerViewTest, WithoutVisualIndicationADriveGetsThePopupButNoViewAndShowDoesNothing) {
  CAppSettings().WriteSetting("VisualIndication", 0);
  const int id = Insert(kBusLetters[0]);
  ASSERT_GE(id, 0);
  EXPECT_TRUE(PumpUntil([] {
    return PopupWithText(CStringLoader::LoadString(IDS_DRIVE_ARRIVED)) != nullptr;
  })) << "no arrival popup";
  EXPECT_FALSE(Visible(id));
  SendMessageA(main.GetSafeHwnd(), WM_COMMAND, ID_TRAY_SHOW, 0);
  EXPECT_FALSE(Visible(id));
  // With the setting on, Show shows it and Hide hides it again.
  CAppSettings().WriteSetting("VisualIndication", 1);
  SendMessageA(main.GetSafeHwnd(), WM_COMMAND, ID_TRAY_SHOW, 0);
  EXPECT_TRUE(Visible(id));
  SendMessageA(main.GetSafeHwnd(), WM_COMMAND, ID_TRAY_HIDE, 0);
  EXPECT_FALSE(Visible(id));
}

TEST_F(ManagerViewTest, ViewsStackDownTheRightEdgeFrom60ThenASecondColumn60PixelsLeftFrom80) {
  HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  const int screenWidth = GetDeviceCaps(display, HORZRES);
  const int screenHeight = GetDeviceCaps(display, VERTRES);
  DeleteDC(display);
  ASSERT_EQ(screenWidth, 800) << "the run gives this program an 800 x 600 desktop";
  ASSERT_EQ(screenHeight, 600);
  std::vector<char> letters(std::begin(kBusLetters), std::end(kBusLetters));
  letters.insert(letters.begin(), drivetest::kLetter);
  const std::vector<int> ids = Insert(letters);
  ASSERT_EQ(ids.size(), letters.size());
  // The views are 96 pixels high: five fit from 60 (the sixth would end at
  // 636), so the sixth opens the second column. Which drive comes first is
  // the SDK's choice; the places are not.
  const std::set<std::pair<int, int>> expected = {{800, 60},  {800, 156}, {800, 252},
                                                  {800, 348}, {800, 444}, {740, 80}};
  std::set<std::pair<int, int>> places;
  for (int id : ids) {
    RECT r{};
    GetWindowRect(ViewWindow(id), &r);
    EXPECT_EQ(r.bottom - r.top, 96);
    places.insert({r.right, r.top});
    EXPECT_TRUE(Visible(id));
    EXPECT_TRUE(GetWindowLongA(ViewWindow(id), GWL_EXSTYLE) & WS_EX_TOPMOST);
  }
  EXPECT_EQ(places, expected);
  // Without "AlwaysOntop" the preferences' change re-layers every view in place.
  CAppSettings().WriteSetting("AlwaysOntop", 0);
  main.ManagerView()->ApplySettings();
  for (int id : ids) {
    EXPECT_FALSE(GetWindowLongA(ViewWindow(id), GWL_EXSTYLE) & WS_EX_TOPMOST);
  }
  // A drive pulled out hides its view; once none shows, placing starts at
  // 60 again, in the column the cursor is in.
  for (int id : ids) main.ManagerView()->RemoveDrive(id);
  for (int id : ids) EXPECT_FALSE(Visible(id));
  main.ManagerView()->AddDrive(&CPDKManager::Acquire()->GetProxy(ids[0]));
  CPDKManager::Release();
  RECT r{};
  GetWindowRect(ViewWindow(ids[0]), &r);
  EXPECT_EQ(r.top, 60);
  EXPECT_EQ(r.right, 740) << "the column offset stays for the run";
}

TEST_F(ManagerViewTest, AnotherProcessHoldingTrellonStopsTheViewsMonitors) {
  const int id = Insert(drivetest::kLetter);
  ASSERT_GE(id, 0);
  CPlundaViewDlg* view = main.ManagerView()->View(id);
  ASSERT_TRUE(PumpUntil([&] { return view->MonitorRunning(); }));
  // The other privacy application: its mutex held by a thread that is not
  // this one, as another process would hold it.
  HANDLE held = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread other([&] {
    HANDLE mutex = CreateMutexA(nullptr, TRUE, CPlundaManagerViewDlg::kPrivacyAppMutex);
    SetEvent(held);
    WaitForSingleObject(release, INFINITE);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
  });
  WaitForSingleObject(held, INFINITE);
  EXPECT_TRUE(PumpUntil([&] { return !view->MonitorRunning(); }));
  SetEvent(release);
  other.join();
  EXPECT_TRUE(PumpUntil([&] { return view->MonitorRunning(); }));
  CloseHandle(held);
  CloseHandle(release);
}

TEST_F(ManagerViewTest, LogOffClosesTheViewsAndEndsTheLoopWithoutAsking) {
  const int id = Insert(drivetest::kLetter);
  ASSERT_GE(id, 0);
  ASSERT_TRUE(Visible(id));
  PostMessageA(main.GetSafeHwnd(), WM_QUERYENDSESSION, 0, 0);
  EXPECT_EQ(main.RunModalLoop(), CKestovaDlg::kQuitResult);
  EXPECT_FALSE(Visible(id));
  EXPECT_FALSE(main.ManagerView()->View(id)->IsValid());
}

}  // namespace
