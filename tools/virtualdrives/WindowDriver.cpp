// tovik_window_driver: presses the virtual-drive program's windows from
// outside, as a user would, for the walk-through of scripts/run and the
// timings of bench/program-bench. Each command finds the windows, sends them
// real messages (the plug window's buttons, the tray icon's callback, the
// wizard's Finish, a log-off) and waits for what the program shows; it prints
// what it saw and how long it took, and fails (exit 1) when it did not come.
//   tovik_window_driver start <program>   starts it; when its tray icon is up
//   tovik_window_driver wizard            waits for the install wizard
//   tovik_window_driver wizard-finish     presses Finish in it
//   tovik_window_driver main              waits for the main window and tray icon
//   tovik_window_driver plug <slot>       plug-in button; waits for the view
//   tovik_window_driver popup             waits for the arrival popup
//   tovik_window_driver tray-menu         opens the tray menu
//   tovik_window_driver close-menu        closes it again
//   tovik_window_driver pull <slot>       pull-out button; waits for the view to go
//   tovik_window_driver exit              ends the program as a log-off does
//   tovik_window_driver make-zone <drives folder>
//                                         gives the removable drive kept there a
//                                         4 MB privacy zone, password "secret"
//                                         (before the program starts)
//   tovik_window_driver login <password>  logs in from K:'s view; waits for the
//                                         view to show the zone
//   tovik_window_driver logout            logs out; waits for the public partition
//   tovik_window_driver counts            prints the program's handle, GDI
//                                         object and window counts
//   tovik_window_driver sync-documents    "Synchronize My Documents" from K:'s
//                                         view: the scan, then Synchronize until
//                                         the complete box
// With --desktop <name> first it looks at the windows of that Wine desktop
// (each desktop enumerates only its own windows).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "KestovaDlg.h"
#include "PlugWindow.h"
#include "PlundaViewDlg.h"
#include "ProcessTestSupport.h"
#include "StringLoader.h"
#include "VirtualAppTestSupport.h"
#include "VirtualDrives.h"
#include "resource.h"
#include "strings.h"

namespace {

using namespace processtest;

LARGE_INTEGER Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now;
}

double MsSince(LARGE_INTEGER start) {
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  return double(Now().QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

HWND MainWindow() { return WaitForWindow(0, nullptr, CKestovaDlg::kCaption); }

// The main window once its tray icon is added: its child, the manager view,
// is made right after that.
HWND MainWithTrayIcon() {
  HWND main = nullptr;
  WaitUntil([&] {
    main = FindWindowOf(0, nullptr, CKestovaDlg::kCaption);
    return main != nullptr && GetWindow(main, GW_CHILD) != nullptr;
  });
  return main != nullptr && GetWindow(main, GW_CHILD) != nullptr ? main : nullptr;
}

// The view of the drive whose first letter is `letter`, visible or not.
HWND ViewOf(char letter) {
  const std::string caption =
      CStringLoader::LoadString(IDS_VIEW_CAPTION, CStringLoader::kEnglish) + letter + ":\\";
  struct Search {
    const std::string& caption;
    HWND found;
  } search{caption, nullptr};
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        const std::string text = TextOf(w);
        if (text.compare(0, s->caption.size(), s->caption) != 0) return TRUE;
        s->found = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND VisibleBoxWithText(int id, const std::string& text) {
  for (HWND w = FindWindowExA(nullptr, nullptr, kBoxClass, nullptr); w != nullptr;
       w = FindWindowExA(nullptr, w, kBoxClass, nullptr)) {
    if (IsWindowVisible(w) && TextOf(GetDlgItem(w, id)) == text) return w;
  }
  return nullptr;
}

int Fail(const std::string& what) {
  std::printf("FAILED: %s\n", what.c_str());
  return 1;
}

int Start(const std::string& path) {
  // A path of the command line, with either kind of slash.
  char program[MAX_PATH] = "";
  GetFullPathNameA(path.c_str(), sizeof program, program, nullptr);
  const LARGE_INTEGER start = Now();
  Process process(program, "");
  if (MainWithTrayIcon() == nullptr) return Fail("no main window with its tray icon");
  std::printf("tray icon up %.0f ms after the start\n", MsSince(start));
  // The program goes on running without this process.
  process.Detach();
  return 0;
}

HWND Wizard() {
  HWND wizard = nullptr;
  WaitUntil([&] {
    wizard = FindWindowOf(0, kBoxClass, nullptr, true);
    return wizard != nullptr && GetDlgItem(wizard, ID_WIZFINISH) != nullptr;
  });
  return wizard != nullptr && GetDlgItem(wizard, ID_WIZFINISH) != nullptr ? wizard : nullptr;
}

int WizardFinish() {
  HWND wizard = Wizard();
  if (wizard == nullptr) return Fail("no install wizard");
  Press(wizard, ID_WIZFINISH);
  if (MainWindow() == nullptr) return Fail("no main window after the wizard");
  std::printf("install wizard finished\n");
  return 0;
}

// The button, once it can be pressed (the program's detection listens).
HWND PlugButton(int id) {
  HWND plug = WaitForWindow(0, CPlugWindow::kWindowClass, nullptr);
  HWND button = plug != nullptr ? GetDlgItem(plug, id) : nullptr;
  if (button == nullptr || !WaitUntil([&] { return IsWindowEnabled(button) != FALSE; }))
    return nullptr;
  return button;
}

int Plug(int slot) {
  HWND button = PlugButton(CPlugWindow::kPlugInButton + slot);
  if (button == nullptr) return Fail("no plug window to press");
  const char letter = CVirtualDrives::Letters(slot).front();
  const LARGE_INTEGER start = Now();
  // Handled once the letters are made and the arrival is announced.
  SendMessageA(button, BM_CLICK, 0, 0);
  const double announced = MsSince(start);
  HWND view = nullptr;
  if (!WaitUntil([&] { return (view = ViewOf(letter)) != nullptr && IsWindowVisible(view); }))
    return Fail(std::string("no view of drive ") + letter + ":");
  std::printf("%s plugged in: view \"%s\" shown %.0f ms after the click (announced after %.0f ms)\n",
              CVirtualDrives::Name(slot), TextOf(view).c_str(), MsSince(start), announced);
  return 0;
}

int Pull(int slot) {
  HWND button = PlugButton(CPlugWindow::kPullOutButton + slot);
  if (button == nullptr) return Fail("no plug window to press");
  const char letter = CVirtualDrives::Letters(slot).front();
  const LARGE_INTEGER start = Now();
  SendMessageA(button, BM_CLICK, 0, 0);
  const double handled = MsSince(start);
  if (!WaitUntil([&] {
        HWND view = ViewOf(letter);
        return view == nullptr || !IsWindowVisible(view);
      })) {
    return Fail(std::string("the view of drive ") + letter + ": stays");
  }
  std::printf("%s pulled out: view gone %.0f ms after the click (handled after %.0f ms)\n",
              CVirtualDrives::Name(slot), MsSince(start), handled);
  return 0;
}

int Popup() {
  const std::string text = CStringLoader::LoadString(IDS_DRIVE_ARRIVED, CStringLoader::kEnglish);
  if (!WaitUntil([&] { return VisibleBoxWithText(IDC_NOTIFY_TEXT, text) != nullptr; }))
    return Fail("no arrival popup");
  std::printf("popup \"%s\" shown\n", text.c_str());
  return 0;
}

int TrayMenu() {
  HWND tray = WaitForWindow(0, CSystemTray::kWindowClass, nullptr);
  if (tray == nullptr) return Fail("no tray window");
  PostMessageA(tray, WM_TRAY_NOTIFY, IDR_TRAY_MENU, WM_RBUTTONUP);
  if (WaitForWindow(0, kMenuClass, nullptr, true) == nullptr) return Fail("no tray menu");
  std::printf("tray menu open\n");
  return 0;
}

int CloseMenu() {
  HWND menu = FindWindowOf(0, kMenuClass, nullptr, true);
  if (menu == nullptr) return Fail("no menu open");
  PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  if (!WaitUntil([&] { return !IsWindowVisible(menu); })) return Fail("the menu stays");
  std::printf("tray menu closed\n");
  return 0;
}

int Exit() {
  HWND main = FindWindowOf(0, nullptr, CKestovaDlg::kCaption);
  if (main == nullptr) return Fail("no main window");
  Process process(ProcessOf(main));
  DWORD_PTR answer = 0;
  SendMessageTimeoutA(main, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
  if (!process.WaitExit()) return Fail("the program did not end");
  std::printf("program ended\n");
  return 0;
}

int MakeZone(const std::string& folder) {
  CVirtualDrives drives(folder);
  if (!drives.PlugIn(CVirtualDrives::kRemovable)) return Fail(drives.Problem());
  const bool made = virtualtest::Vendor(drives.Drive(CVirtualDrives::kRemovable), 0x0041,
                                        virtualtest::Block(20, {{0, 4}}, 4)) == emu::kStatusGood;
  drives.PullOut(CVirtualDrives::kRemovable);
  if (!made) return Fail("the drive refused the zone");
  std::printf("privacy zone made\n");
  return 0;
}

std::string Capacity(HWND view) { return TextOf(GetDlgItem(view, IDC_CAPACITY_CTL)); }

// From the view's command until it shows a capacity other than the one it had.
int PrivacySwitch(UINT command, const std::string& password) {
  HWND view = ViewOf('K');
  if (view == nullptr) return Fail("no view of K:");
  const std::string before = Capacity(view);
  const DWORD pid = ProcessOf(view);
  PostMessageA(view, WM_COMMAND, command, 0);
  LARGE_INTEGER start = Now();
  if (!password.empty()) {
    HWND login = virtualtest::DialogWith(pid, IDC_PASSWORD_EDIT);
    if (login == nullptr) return Fail("no login dialog");
    HWND field = GetDlgItem(login, IDC_PASSWORD_EDIT);
    for (char c : password) SendMessageA(field, WM_CHAR, static_cast<unsigned char>(c), 0);
    start = Now();
    Press(login, IDOK);
  }
  std::string after;
  if (!WaitUntil([&] {
        view = ViewOf('K');
        return view != nullptr && IsWindowVisible(view) && (after = Capacity(view)) != before &&
               !after.empty();
      })) {
    return Fail("the view still shows " + before);
  }
  std::printf("%s: view shows %s %.0f ms after %s\n", password.empty() ? "logout" : "login",
              after.c_str(), MsSince(start), password.empty() ? "the command" : "OK");
  return 0;
}

// What the program holds: kernel handles, GDI objects and window objects.
int Counts() {
  HWND main = FindWindowOf(0, nullptr, CKestovaDlg::kCaption);
  if (main == nullptr) return Fail("no main window");
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, ProcessOf(main));
  if (process == nullptr) return Fail("the program's process cannot be opened");
  DWORD handles = 0;
  const bool counted = GetProcessHandleCount(process, &handles) != FALSE;
  // Wine answers 0 for another process's GDI objects; the windows are counted here.
  const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
  CloseHandle(process);
  if (!counted) return Fail("no handle count");
  struct Count {
    DWORD pid;
    unsigned long windows;
  } count{ProcessOf(main), 0};
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        auto* c = reinterpret_cast<Count*>(p);
        if (ProcessOf(w) != c->pid) return TRUE;
        ++c->windows;
        EnumChildWindows(
            w,
            [](HWND, LPARAM q) -> BOOL {
              ++reinterpret_cast<Count*>(q)->windows;
              return TRUE;
            },
            p);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  std::printf("handles %lu gdi %lu windows %lu\n", static_cast<unsigned long>(handles),
              static_cast<unsigned long>(gdi), count.windows);
  return 0;
}

int SyncDocuments() {
  HWND view = ViewOf('K');
  if (view == nullptr) return Fail("no view of K:");
  const DWORD pid = ProcessOf(view);
  LARGE_INTEGER start = Now();
  PostMessageA(view, WM_COMMAND, CPlundaViewDlg::kSyncDocumentsCommand, 0);
  HWND window = WaitForWindow(pid, nullptr, "Synchronization Details", true);
  if (window == nullptr) return Fail("no sync window");
  HWND list = GetDlgItem(window, IDC_ACTIONS_LIST);
  HWND synchronize = GetDlgItem(window, IDC_SYNCHRONIZE);
  int count = 0;
  if (!WaitUntil([&] {
        count = int(SendMessageA(list, LB_GETCOUNT, 0, 0));
        return count > 0 && SendMessageA(list, LB_GETITEMDATA, 0, 0) != 0 &&
               IsWindowEnabled(synchronize) != FALSE;
      }, 120000)) {
    return Fail("the scan listed nothing to do");
  }
  std::printf("sync window: %d actions listed %.0f ms after the command\n", count, MsSince(start));
  start = Now();
  PostMessageA(synchronize, BM_CLICK, 0, 0);
  HWND box = virtualtest::DialogWith(pid, IDOK, "Synchronizartion complete", 600000);
  if (box == nullptr) return Fail("no complete box");
  std::printf("sync of %d files: complete box %.0f ms after Synchronize\n", count, MsSince(start));
  Press(box, IDOK);
  PostMessageA(GetDlgItem(window, IDC_CLOSE), BM_CLICK, 0, 0);
  if (!WaitUntil([&] { return !IsWindow(window); })) return Fail("the sync window stays");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 2 && std::string(argv[1]) == "--desktop") {
    // The desktop may still be on its way.
    HDESK desktop = nullptr;
    WaitUntil([&] { return (desktop = OpenDesktopA(argv[2], 0, FALSE, GENERIC_ALL)) != nullptr; });
    if (desktop == nullptr || !SetThreadDesktop(desktop)) return Fail("no desktop " + std::string(argv[2]));
    argc -= 2;
    argv += 2;
  }
  const std::string command = argc > 1 ? argv[1] : "";
  const int slot = argc > 2 ? std::atoi(argv[2]) : 0;
  if (command == "start" && argc > 2) return Start(argv[2]);
  if (command == "wizard") return Wizard() != nullptr ? 0 : Fail("no install wizard");
  if (command == "wizard-finish") return WizardFinish();
  if (command == "main") {
    if (MainWithTrayIcon() == nullptr) return Fail("no main window with its tray icon");
    std::printf("main window and tray icon up\n");
    return 0;
  }
  if ((command == "plug" || command == "pull") &&
      (slot < 0 || slot >= CVirtualDrives::kSlotCount)) {
    return Fail("no such drive");
  }
  if (command == "plug") return Plug(slot);
  if (command == "pull") return Pull(slot);
  if (command == "popup") return Popup();
  if (command == "tray-menu") return TrayMenu();
  if (command == "close-menu") return CloseMenu();
  if (command == "exit") return Exit();
  if (command == "make-zone" && argc > 2) return MakeZone(argv[2]);
  if (command == "login" && argc > 2) return PrivacySwitch(CPlundaViewDlg::kLoginCommand, argv[2]);
  if (command == "logout") return PrivacySwitch(CPlundaViewDlg::kLogoutCommand, "");
  if (command == "sync-documents") return SyncDocuments();
  if (command == "counts") return Counts();
  std::printf("usage: tovik_window_driver start <program> | wizard | wizard-finish | main | plug <slot> |"
              " popup | tray-menu | close-menu | pull <slot> | exit | make-zone <folder> |"
              " login <password> | logout | sync-documents | counts\n");
  return 2;
}
