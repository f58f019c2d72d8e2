// Puts the toolkit's windows into the states the screenshots show: the GUI
// tests' layout dialog, and the notification popup in each phase. Called by
// tools/guiscreens/take-screens, which waits for the ready file, takes the
// picture and then creates the done file that ends this program.
//
//   tovik_gui_screens <scene> <ready file> <done file>
//   scenes: dialog, popup-in, popup-full, popup-out, popup-left, popup-top,
//           message, do-not-show, about, preferences, wizard, splash, menu,
//           pie-chart, sync-list, sync-menu, sync-progress, sync-settings,
//           login, login-error, drive-settings-icons, drive-settings-sounds;
//           each also with "-zh": in Chinese
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include <commctrl.h>

#include "AboutDlg.h"
#include "AppSettings.h"
#include "DepositLoginDlg.h"
#include "GUI/Application.h"
#include "GUI/BCMenu.h"
#include "GUI/GUIButton.h"
#include "GUI/GUIDialog.h"
#include "GUI/GUILabel.h"
#include "GUI/GUIMessageBoxDlg.h"
#include "GUI/NotificationPopup.h"
#include "GUI/PieChartCtrl.h"
#include "GUIMessageBoxCheckDlg.h"
#include "GuiTestIds.h"
#include "InstallWizardDlg.h"
#include "PlundaPreferencesDlg.h"
#include "PreferencesDlg.h"
#include "ScreenScene.h"
#include "SplashDlg.h"
#include "StringLoader.h"
#include "SyncDlg.h"
#include "SyncSettingsDlg.h"
#include "SystemTray.h"
#include "VersionInfo.h"
#include "resource.h"
#include "sdk/PDKSDK.h"
#include "strings.h"

namespace {

const UINT kNever = 0x7FFFFFFF;

// The layout test dialog, dressed as every skinned dialog will be.
class ScreenDialog : public CGUIDialog {
 public:
  ScreenDialog() : CGUIDialog(IDD_TEST_LAYOUT) {}

 protected:
  BOOL OnInitDialog() override {
    CGUIDialog::OnInitDialog();
    SetSkin(IDG_TEST_SKIN);
    SetControlInfo(IDC_TEST_CAPTION, "IDC_TEST_CAPTION", 1, 19, 1, 359);
    SetControlInfo(IDC_TEST_CLOSE, "IDC_TEST_CLOSE", 3, 16, 342, 355);
    SetControlInfo(IDC_TEST_FIXED, "IDC_TEST_FIXED", 36, 52, 20, 340);
    SetControlInfo(IDC_TEST_STRETCH, "IDC_TEST_STRETCH", 60, 76, 20, 100);
    SetAnchor(IDC_TEST_STRETCH, 0x0011, 20);
    SetControlInfo(IDC_TEST_CHECK, "IDC_TEST_CHECK", 90, 110, 20, 300);
    SetControlInfo(IDC_TEST_COMBO, "IDC_TEST_COMBO", 120, 200, 20, 160);
    SetResizableControlInfo(IDC_TEST_SPAN, "IDC_TEST_SPAN", 150, 174, 20, 30, true);
    SetResizableControlInfo(IDC_TEST_PLAIN, "IDC_TEST_PLAIN", 150, 174, 100, 340, false);
    SetResizableControlInfo(IDC_TEST_LEFT, "IDC_TEST_LEFT", 0, 24, 0, 10, true);
    SetResizableControlInfo(IDC_TEST_MIDDLE, "IDC_TEST_MIDDLE", 0, 24, 0, 10, true);
    SetResizableControlInfo(IDC_TEST_RIGHT, "IDC_TEST_RIGHT", 0, 24, 0, 10, true);
    SetAnchor(IDC_TEST_RIGHT, 0x1010, 12);
    SetLeftNeighbour(IDC_TEST_MIDDLE, IDC_TEST_RIGHT, 8);
    SetLeftNeighbour(IDC_TEST_LEFT, IDC_TEST_MIDDLE, 8);
    SetShape(IDB_TEST_SHAPE);
    ShowWindow(GetDlgItem(IDC_TEST_RADIO), SW_HIDE);
    ShowWindow(GetDlgItem(IDC_TEST_WIDE), SW_HIDE);
    ShowWindow(GetDlgItem(IDC_TEST_NARROW), SW_HIDE);

    SetupCaptionBar(caption_, IDC_TEST_CAPTION, "Layout test dialog");
    for (CGUILabel* label : {&fixed_, &stretch_}) label->SetBackgroundColor(RGB(244, 244, 244));
    fixed_.SubclassDlgItem(IDC_TEST_FIXED, hwnd_);
    stretch_.SubclassDlgItem(IDC_TEST_STRETCH, hwnd_);
    stretch_.SetGradientBackground(RGB(244, 244, 244), RGB(214, 180, 180), true);
    close_.Attach(hwnd_, IDC_TEST_CLOSE);
    close_.SetCloseBitmaps();
    check_.Attach(hwnd_, IDC_TEST_CHECK);
    check_.SetText("Don't show this message next time.");
    check_.SetTextAlignment(0);
    check_.SetBitmaps(CGUIButton::kNormal, IDB_CHECK_NORMAL, 0, 0);
    check_.SetBitmaps(CGUIButton::kDisabled, IDB_CHECK_DISABLED, 0, 0);
    check_.SetBitmaps(CGUIButton::kPressed, IDB_CHECK_CHECKED, 0, 0);
    check_.SetBitmaps(CGUIButton::kOver, IDB_CHECK_OVER, 0, 0);
    check_.SetCheck(true);
    for (CGUIButton* b : {&left_, &middle_, &right_, &span_}) {
      b->Attach(hwnd_, UINT(b == &left_     ? IDC_TEST_LEFT
                            : b == &middle_ ? IDC_TEST_MIDDLE
                            : b == &right_  ? IDC_TEST_RIGHT
                                            : IDC_TEST_SPAN));
      b->SetStandardBitmaps();
    }
    span_.SetBitmaps(CGUIButton::kNormal, IDB_PLAY_LEFT_NORMAL, IDB_BUTTON_MIDDLE_NORMAL,
                     IDB_BUTTON_RIGHT_NORMAL);
    span_.SetText("     &Play");
    EnableWindow(GetDlgItem(IDC_TEST_LEFT), FALSE);
    plain_.Attach(hwnd_, IDC_TEST_PLAIN);
    const char* items[] = {"English", "Deutsch",
                           "Fran\xe7"
                           "ais"};
    for (const char* item : items) {
      SendMessageA(GetDlgItem(IDC_TEST_COMBO), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }
    SendMessageA(GetDlgItem(IDC_TEST_COMBO), CB_SETCURSEL, 0, 0);
    ApplySkinAndLayout();
    CenterWindow();
    return TRUE;
  }

 public:
  CGUIButton& Middle() { return middle_; }
  CGUIButton& Right() { return right_; }

 private:
  CGUILabel caption_, fixed_, stretch_;
  CGUIButton close_, check_, left_, middle_, right_, span_, plain_;
};

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Runs messages until the done file appears (or two minutes pass).
void WaitFor(const std::string& done) {
  const DWORD start = GetTickCount();
  while (!FileExists(done) && GetTickCount() - start < 120000) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (CDialog::PreTranslateMessage(msg)) continue;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
}

void Step(HWND popup, UINT_PTR timer, int times) {
  for (int i = 0; i < times; ++i) SendMessageA(popup, WM_TIMER, timer, 0);
}

// The program's own windows, each shown the way the screenshot wants it.
// Answers the window to keep until the picture is taken, or null.
std::unique_ptr<CDialog> MakeWindowScene(const std::string& scene) {
  const std::string program = CVersionInfo::ProgramPath();
  if (scene == "message") {
    auto box = std::make_unique<CGUIMessageBoxDlg>();
    box->Setup(CStringLoader::LoadString(IDS_DRIVE_BUSY),
               CStringLoader::LoadString(IDS_CAPTION_PROGRAM) +
                   CStringLoader::LoadString(IDS_SUFFIX_WARNING),
               CStringLoader::LoadString(IDS_OK), CStringLoader::LoadString(IDS_CANCEL), 17,
               IDG_MESSAGE_SKIN, IDG_WARNING_PICTURE);
    return box;
  }
  if (scene == "do-not-show") {
    auto box = std::make_unique<CGUIMessageBoxCheckDlg>();
    box->Setup(CStringLoader::LoadString(IDS_STILL_RUNNING_NOTE),
               CStringLoader::LoadString(IDS_CAPTION_PROGRAM), CStringLoader::LoadString(IDS_OK),
               "", 1, IDG_MESSAGE_SKIN, 0);
    return box;
  }
  if (scene == "about") return std::make_unique<CAboutDlg>(nullptr, program, PDKSDK_getVersion());
  if (scene == "preferences") return std::make_unique<CPreferencesDlg>(nullptr, program);
  if (scene == "wizard") return std::make_unique<CInstallWizardDlg>(nullptr, program);
  if (scene == "login" || scene == "login-error") return std::make_unique<CDepositLoginDlg>();
  if (scene == "drive-settings-icons" || scene == "drive-settings-sounds")
    return std::make_unique<CPlundaPreferencesDlg>();
  if (scene == "splash") return std::make_unique<CSplashDlg>(nullptr);
  return nullptr;
}

// What a scene shows once its window is up: the login's hint and typed
// password as a drive with a hint would have them, an error box over the
// login, a list of the personalisation dropped down.
void CompleteWindowScene(const std::string& scene, CDialog& window) {
  static std::unique_ptr<CGUIMessageBoxDlg> box;
  HWND hwnd = window.GetSafeHwnd();
  if (scene == "login" || scene == "login-error") {
    SetDlgItemTextA(hwnd, IDC_HINT_TXT, "the name of our first cat");
    SetDlgItemTextA(hwnd, IDC_PASSWORD_EDIT, "secret");
  }
  if (scene == "login-error") {
    box = std::make_unique<CGUIMessageBoxDlg>(hwnd);
    box->Setup(CStringLoader::LoadString(IDS_LOGIN_WRONG),
               CStringLoader::LoadString(IDS_SUFFIX_ERROR), CStringLoader::LoadString(IDS_TRY_AGAIN),
               "", CGUIMessageBoxDlg::kFirstButton, IDG_MESSAGE_SKIN, 0);
    if (box->Create()) {
      // Lower right of its place over the login, so the login shows behind it.
      RECT r{};
      GetWindowRect(box->GetSafeHwnd(), &r);
      SetWindowPos(box->GetSafeHwnd(), HWND_TOP, r.left + 60, r.top + 70, 0, 0, SWP_NOSIZE);
      ShowWindow(box->GetSafeHwnd(), SW_SHOW);
    }
  }
  if (scene == "drive-settings-icons" || scene == "drive-settings-sounds") {
    const UINT list = scene == "drive-settings-icons" ? IDC_ICON_COMBOBOXEX : IDC_SOUND_COMBOBOXEX;
    SendDlgItemMessageA(hwnd, int(list), CB_SETCURSEL, 3, 0);
    SendDlgItemMessageA(hwnd, IDC_SET_PDK_LABEL_EDIT, WM_SETTEXT, 0,
                        reinterpret_cast<LPARAM>("Anna's drive"));
    SendDlgItemMessageA(hwnd, int(list), CB_SHOWDROPDOWN, TRUE, 0);
  }
}

std::string g_menuReady, g_menuDone;

// Highlights the open menu's first item, reports it ready a few ticks later
// and closes it once the picture is taken.
void CALLBACK MenuTick(HWND, UINT, UINT_PTR, DWORD) {
  static int step = 0;
  HWND window = FindWindowA("#32768", nullptr);
  if (window == nullptr || !IsWindowVisible(window)) return;
  if (step == 0) PostMessageA(window, WM_KEYDOWN, VK_DOWN, 0);
  if (step == 3) {
    if (FILE* f = std::fopen(g_menuReady.c_str(), "w")) std::fclose(f);
  }
  ++step;
  if (GetFileAttributesA(g_menuDone.c_str()) != INVALID_FILE_ATTRIBUTES) EndMenu();
}

// The tray menu as the program builds it, open with its first item
// highlighted until the done file appears.
void ShowMenu(HWND owner, const std::string& ready, const std::string& done) {
  g_menuReady = ready;
  g_menuDone = done;
  CSystemTray tray;
  BCMenu menu;
  BCMenu* popup = tray.BuildMenu(menu);
  if (popup == nullptr) return;
  BCMenu::SetMenuDrawMode(BCMenu::kFlat);
  SetTimer(nullptr, 0, 100, MenuTick);
  popup->TrackPopupMenu(TPM_RIGHTBUTTON, 300, 200, owner);
  menu.DestroyMenu();
}

// The sync scenes' folders: a host folder in the temporary folder and a drive
// folder on Z:, synchronised once and then changed so that the scan proposes
// one action of most kinds.
struct SyncFolders {
  std::string host, drive, database;
};

void WriteSceneFile(const std::string& path, const char* text, int hoursLater) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text, DWORD(std::strlen(text)), &written, nullptr);
  SYSTEMTIME when{2026, 12, 0, 1, 9, 30, 0, 0};
  when.wHour = WORD(when.wHour + hoursLater);
  FILETIME time{};
  SystemTimeToFileTime(&when, &time);
  SetFileTime(file, nullptr, nullptr, &time);
  CloseHandle(file);
}

tovik::SyncParams SyncSceneParams(const SyncFolders& folders) {
  tovik::SyncParams params{};
  std::strcpy(params.name, "Screens");
  std::strncpy(params.databaseFolder, folders.database.c_str(), sizeof(params.databaseFolder) - 1);
  params.driveLetters[0] = 'Z';
  return params;
}

SyncFolders MakeSyncFolders() {
  char temp[MAX_PATH] = "";
  GetTempPathA(sizeof temp, temp);
  // A name of its own each time: the scenes start from folders that never met.
  const std::string name = "sync" + std::to_string(GetTickCount() % 100000);
  const std::string base = std::string(temp) + name;
  SyncFolders folders{base + "\\Docs\\", "Z:\\tmp\\" + name + "\\Docs\\", base + "\\"};
  for (const std::string& folder : {folders.host, folders.drive}) {
    CreateDirectoryA(folder.substr(0, folder.find_last_of('\\', folder.size() - 2)).c_str(),
                     nullptr);
    CreateDirectoryA(folder.c_str(), nullptr);
  }
  for (const char* name : {"Report.doc", "Notes.txt", "Old plan.txt", "Budget 2026.xls"}) {
    WriteSceneFile(folders.host + name, name, 0);
  }
  tovik::CSyncEngine engine;
  engine.SetParams(SyncSceneParams(folders));
  engine.SetLink(folders.host, folders.drive);
  tovik::CSyncAction* const* actions = nullptr;
  int count = 0;
  engine.Prepare(actions, count);
  engine.Start(true);
  WriteSceneFile(folders.host + "Report.doc", "Report, second draft", 2);
  WriteSceneFile(folders.drive + "Notes.txt", "Notes from the trip", 3);
  DeleteFileA((folders.drive + "Old plan.txt").c_str());
  WriteSceneFile(folders.host + "Photo.jpg", "photo", 1);
  WriteSceneFile(folders.drive + "Song.mp3", "song", 1);
  return folders;
}

void WriteReady(const std::string& ready) {
  if (FILE* f = std::fopen(ready.c_str(), "w")) std::fclose(f);
}

// Runs messages until `done` holds.
void PumpUntil(const std::function<bool()>& done) {
  const DWORD start = GetTickCount();
  while (!done() && GetTickCount() - start < 60000) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

std::string g_boxReady, g_boxDone;

// Reports the failure box ready once it shows, and answers it with Cancel
// once the picture is taken.
void CALLBACK BoxTick(HWND, UINT, UINT_PTR timer, DWORD) {
  const std::string caption =
      CStringLoader::LoadString(IDS_PROGRAM_NAME) + CStringLoader::LoadString(IDS_SUFFIX_ERROR);
  HWND box = FindWindowA(nullptr, caption.c_str());
  if (box == nullptr || !IsWindowVisible(box)) return;
  WriteReady(g_boxReady);
  if (GetFileAttributesA(g_boxDone.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  KillTimer(nullptr, timer);
  PostMessageA(GetDlgItem(box, IDCANCEL), BM_CLICK, 0, 0);
}

// The sync window with its list (and the alternatives of the first action
// open, or a run stopped by a failure in its middle), or the settings.
bool RunSyncScene(const std::string& scene, const std::string& ready, const std::string& done) {
  const SyncFolders folders = MakeSyncFolders();
  auto engine = std::make_unique<tovik::CSyncEngine>();
  engine->SetParams(SyncSceneParams(folders));
  if (scene == "sync-settings") {
    tovik::CSyncSettingsDlg settings(nullptr, *engine, 'Z');
    tovik::SyncLinkRecord link;
    if (engine->GetLink(link)) settings.SetLink(link);
    if (!settings.Create()) return false;
    ShowWindow(settings.GetSafeHwnd(), SW_SHOW);
    WriteReady(ready);
    WaitFor(done);
    return true;
  }
  tovik::CSyncDlg window(nullptr, *engine, 'Z');
  if (!window.Create()) return false;
  ShowWindow(window.GetSafeHwnd(), SW_SHOW);
  HWND list = GetDlgItem(window.GetSafeHwnd(), IDC_ACTIONS_LIST);
  PumpUntil([list] { return SendMessageA(list, LB_GETCOUNT, 0, 0) > 0; });
  HANDLE lock = INVALID_HANDLE_VALUE;
  if (scene == "sync-list") {
    SendMessageA(list, LB_SETCURSEL, 1, 0);
    WriteReady(ready);
  } else if (scene == "sync-menu") {
    SendMessageA(list, LB_SETCURSEL, 0, 0);
    RECT item{};
    SendMessageA(list, LB_GETITEMRECT, 0, LPARAM(&item));
    POINT at{item.left + 240, item.top + 30};
    ClientToScreen(list, &at);
    SetCursorPos(at.x, at.y);
    g_menuReady = ready;
    g_menuDone = done;
    SetTimer(nullptr, 0, 100, MenuTick);
    PostMessageA(list, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(item.left + 240, item.top + 30));
  } else {
    // The photo cannot be read while this holds it: the run stops there.
    lock = CreateFileA((folders.host + "Photo.jpg").c_str(), GENERIC_READ, 0, nullptr,
                       OPEN_EXISTING, 0, nullptr);
    g_boxReady = ready;
    g_boxDone = done;
    SetTimer(nullptr, 0, 100, BoxTick);
    PostMessageA(GetDlgItem(window.GetSafeHwnd(), IDC_SYNCHRONIZE), BM_CLICK, 0, 0);
  }
  WaitFor(done);
  PumpUntil([&window] { return !window.Running(); });
  // The engine waits for its worker before the window goes.
  engine.reset();
  if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
  return true;
}

class ScreensApp : public CApplication {
 public:
  ScreensApp(const ScreenScene& scene, std::string ready, std::string done)
      : scene_(scene.name),
        language_(scene.language),
        ready_(std::move(ready)),
        done_(std::move(done)) {}
  bool ok = false;

 protected:
  bool InitInstance() override {
    RECT saved{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &saved, 0);
    ScreenDialog dialog;
    HWND popup = nullptr;
    std::unique_ptr<CDialog> window;
    CPieChartCtrl chart;
    HWND host = nullptr;
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    CAppSettings::SetSettingsPath(std::string(temp) + "tovik_screens.ini");
    // The settings as the install wizard leaves them.
    for (const char* key : {"StartupLoad", "AutorunEnabled", "VisualIndication", "AudioIndication",
                            "SplashScreen", "AlwaysOntop"}) {
      CAppSettings().WriteSetting(key, 1);
    }
    CAppSettings().WriteSetting("SelectedLanguage", language_);
    // No tooltip from wherever the mouse was.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    CStringLoader::InitLanguages();
    if (scene_.rfind("sync-", 0) == 0) {
      ok = RunSyncScene(scene_, ready_, done_);
      return true;
    }
    if (scene_ == "menu") {
      host = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 1, 1, nullptr, nullptr,
                             Instance(), nullptr);
      // A skinned dialog owns the menu and draws its items.
      if (!dialog.Create()) return false;
      ShowMenu(dialog.GetSafeHwnd(), ready_, done_);
      ok = true;
      DestroyWindow(host);
      return true;
    } else if (scene_ == "pie-chart") {
      host = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE | WS_BORDER, 392, 274, 242, 202,
                             nullptr, nullptr, Instance(), nullptr);
      chart.Create(WS_VISIBLE, RECT{0, 0, 240, 200}, host, 1);
      chart.SetTitle("Tovik Drive (E:)");
      chart.AddSegment(RGB(207, 34, 34), RGB(255, 255, 255), 250, "Used: 89 MB");
      chart.AddSegment(RGB(240, 240, 240), RGB(0, 0, 0), 110, "Free: 39 MB");
    } else if ((window = MakeWindowScene(scene_)) != nullptr) {
      if (!window->Create()) return false;
      // The splash stays until its picture is taken.
      if (scene_ == "splash") KillTimer(window->GetSafeHwnd(), CSplashDlg::kCloseTimer);
      ShowWindow(window->GetSafeHwnd(), SW_SHOW);
      CompleteWindowScene(scene_, *window);
    } else if (scene_ == "dialog") {
      if (!dialog.Create()) return false;
      ShowWindow(dialog.GetSafeHwnd(), SW_SHOW);
      // The mouse over the middle button, the focus on the right one.
      SetFocus(dialog.Right().GetSafeHwnd());
      RECT r{};
      GetWindowRect(dialog.Middle().GetSafeHwnd(), &r);
      SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
      SendMessageA(dialog.Middle().GetSafeHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    } else {
      const int sw = GetSystemMetrics(SM_CXSCREEN);
      const int sh = GetSystemMetrics(SM_CYSCREEN);
      RECT work{0, 0, sw, sh - 30};  // a taskbar at the bottom
      if (scene_ == "popup-left") work = RECT{60, 0, sw, sh};
      if (scene_ == "popup-top") work = RECT{0, 30, sw, sh};
      SystemParametersInfoA(SPI_SETWORKAREA, 0, &work, 0);
      // A grey stand-in for the taskbar where the work area ends.
      RECT bar{0, work.bottom, sw, sh};
      if (scene_ == "popup-left") bar = RECT{0, 0, work.left, sh};
      if (scene_ == "popup-top") bar = RECT{0, 0, sw, work.top};
      taskbar_ = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "taskbar",
                                 WS_POPUP | WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE, bar.left,
                                 bar.top, bar.right - bar.left, bar.bottom - bar.top, nullptr,
                                 nullptr, Instance(), nullptr);
      const bool removed = scene_ == "popup-out";
      auto made = CNotificationPopup::Create(
          CStringLoader::LoadString(removed ? IDS_DRIVE_REMOVABLE : IDS_DRIVE_ARRIVED),
          IDD_NOTIFY_POPUP, IDG_NOTIFY_SKIN, IDC_NOTIFY_TEXT,
          removed ? IDG_NOTIFY_REMOVED : IDG_NOTIFY_INSERTED, kNever, kNever, nullptr);
      if (made == nullptr) return false;
      made->SetLayout(CNotificationPopup::kPictureAtBottom);
      popup = CNotificationPopup::Show(std::move(made));
      if (popup == nullptr) return false;
      if (scene_ == "popup-in") {
        Step(popup, CNotificationPopup::kSlideInTimer, 9);
      } else {
        Step(popup, CNotificationPopup::kSlideInTimer, 19);
        if (scene_ == "popup-out") {
          CWnd* object = CWnd::FromHandle(popup);
          static_cast<CNotificationPopup*>(object)->Dismiss();
          Step(popup, CNotificationPopup::kSlideOutTimer, 8);
        }
      }
    }
    ok = true;
    if (FILE* f = std::fopen(ready_.c_str(), "w")) std::fclose(f);
    WaitFor(done_);
    if (popup != nullptr && IsWindow(popup)) DestroyWindow(popup);
    if (taskbar_ != nullptr) DestroyWindow(taskbar_);
    if (host != nullptr) DestroyWindow(host);
    SystemParametersInfoA(SPI_SETWORKAREA, 0, &saved, 0);
    return true;
  }
  int ExitInstance() override { return ok ? 0 : 1; }

 private:
  std::string scene_;
  int language_;
  std::string ready_, done_;
  HWND taskbar_ = nullptr;
};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (__argc != 4) {
    std::fprintf(stderr, "usage: tovik_gui_screens <scene> <ready file> <done file>\n");
    return 2;
  }
  ScreensApp app(ScreenScene(__argv[1]), __argv[2], __argv[3]);
  return app.Run(instance, GetCommandLineA());
}
