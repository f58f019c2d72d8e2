// The program behind the drive view's screenshots of tools/guiscreens/
// take-screens: an emulated drive plugged into the emulated bus on Wine drive
// Q: (W: for the unformatted one, where Wine has no drive), the view attached
// to the drive manager's proxy and shown in the state of the scene.
//
//   tovik_view_screens <scene> <ready file> <done file>
//   scenes: view-plain, view-logged-in, view-protected, view-unformatted,
//           view-full, view-tools-menu; each also with "-zh": in Chinese
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "AppSettings.h"
#include "DetectionPlatform.h"
#include "DevicePoll.h"
#include "DevicePort.h"
#include "EmuAspiTarget.h"
#include "EmuDevicePort.h"
#include "EmulatedBus.h"
#include "EmulatedDrive.h"
#include "OSKind.h"
#include "PDKManager.h"
#include "PDKProxy.h"
#include "PlundaViewDlg.h"
#include "ScreenScene.h"
#include "StringLoader.h"
#include "WinExplorer.h"
#include "resource.h"
#include "sdk/core/PDKSDK.h"

namespace {

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

template <typename Done>
bool Pump(Done done, DWORD limitMs = 20000) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > limitMs) return false;
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 30, QS_ALLINPUT);
  }
  return true;
}

// Receives what the drive manager posts.
LRESULT CALLBACK Listener(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PLUNDA_INSERT) {
    SetWindowLongPtrA(window, GWLP_USERDATA, lParam + 1);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void Touch(const std::string& path) {
  if (FILE* f = std::fopen(path.c_str(), "w")) std::fclose(f);
}

// Fills Q: until a thirtieth of it is free.
void FillNearly(const std::string& root) {
  ULARGE_INTEGER available{}, total{}, free{};
  if (!GetDiskFreeSpaceExA(root.c_str(), &available, &total, &free)) return;
  const HANDLE file = CreateFileA((root + "fill.bin").c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, 0, nullptr);
  std::vector<char> chunk(1 << 20, 'x');
  for (ULONGLONG left = free.QuadPart - total.QuadPart / 30; left > chunk.size();
       left -= chunk.size()) {
    DWORD written = 0;
    if (!WriteFile(file, chunk.data(), DWORD(chunk.size()), &written, nullptr)) break;
  }
  CloseHandle(file);
}

int Run(const ScreenScene& shown, const std::string& ready, const std::string& done) {
  const std::string& scene = shown.name;
  const bool unformatted = scene == "view-unformatted";
  const char letter = unformatted ? 'W' : 'Q';
  const std::string root = std::string(1, letter) + ":\\";
  char temp[MAX_PATH] = "";
  GetTempPathA(sizeof temp, temp);
  CAppSettings::SetSettingsPath(std::string(temp) + "tovik_view_screens.ini");
  for (const char* key : {"VisualIndication", "AlwaysOntop"}) CAppSettings().WriteSetting(key, 1);
  CAppSettings().WriteSetting("AudioIndication", 0);
  CAppSettings().WriteSetting("SelectedLanguage", shown.language);
  CStringLoader::InitLanguages();
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);

  setOSKindForTesting(pdk::kOSWinXP);
  emu::CEmuDevicePort port;
  emu::CEmuAspiTarget aspi;
  pdk::setDevicePort(&port);
  connectAspi(&aspi);
  PDKSDK_init();
  emu::CEmulatedBus bus(port, &aspi);

  WNDCLASSA wc{};
  wc.lpfnWndProc = &Listener;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = "TovikViewScreensListener";
  RegisterClassA(&wc);
  HWND listener = CreateWindowExA(0, wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 1, 1, nullptr,
                                  nullptr, wc.hInstance, nullptr);
  CPDKManager* manager = CPDKManager::Acquire();
  manager->startListen(listener);
  CPDKSDK::instance().poll().waitRunAfterInit();

  emu::DriveConfig config;
  config.serial = "0F3B27990001";
  config.revision = "3.10";
  config.sectorCount = 8192;
  config.allocationUnitSectors = 1024;
  emu::CEmulatedDrive drive(config);
  if (scene == "view-protected") {
    emu::DriveState state = drive.state();
    state.configBlock[8] |= 0x02;
    drive.restore(state);
  }
  const std::vector<char> letters{letter};
  registerDrive(drive, letters, port);
  bus.plugIn(&drive, letters);
  if (!Pump([&] { return GetWindowLongPtrA(listener, GWLP_USERDATA) != 0; })) return 1;
  CPDKProxy& proxy = manager->GetProxy(int(GetWindowLongPtrA(listener, GWLP_USERDATA) - 1));

  if (scene == "view-logged-in") {
    DepositParams zone;
    std::strcpy(zone.password, "screens");
    zone.safeBytes = 1024 * 1024;
    proxy.Device()->deposit().configure(zone, nullptr, true);
    proxy.Device()->deposit().login("screens", nullptr, true);
  }
  if (scene == "view-plain" || scene == "view-logged-in") proxy.SetLabel("Travel");
  if (scene == "view-full") FillNearly(root);
  if (scene == "view-tools-menu") {
    const std::string menu = proxy.FolderPath(CPDKProxy::kStartMenuFolder);
    CWinExplorer::CreateFolderWithParents(menu + "\\Photos");
    for (const char* name : {"Notes.txt", "Presentation.txt"}) {
      if (FILE* f = std::fopen((menu + "\\" + name).c_str(), "w")) std::fclose(f);
    }
  }

  CPlundaViewDlg view;
  if (!view.Create() || !view.Attach(&proxy)) return 1;
  HWND hwnd = view.GetSafeHwnd();
  SetWindowPos(hwnd, HWND_TOPMOST, 420, 300, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  UpdateWindow(hwnd);
  Pump([] { return false; }, 300);

  if (scene == "view-tools-menu") {
    // The menu runs its own loop: the ready file is written once it shows,
    // and the menu closed once the picture is taken.
    static std::string s_ready, s_done;
    s_ready = ready;
    s_done = done;
    SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR id, DWORD) {
      HWND menu = FindWindowA("#32768", nullptr);
      if (menu == nullptr || !IsWindowVisible(menu)) return;
      if (!FileExists(s_ready)) Touch(s_ready);
      if (FileExists(s_done)) {
        KillTimer(nullptr, id);
        PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
      }
    });
    SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDC_TOOLS_BUTTON, BN_CLICKED),
                 LPARAM(GetDlgItem(hwnd, IDC_TOOLS_BUTTON)));
  } else {
    Touch(ready);
    Pump([&] { return FileExists(done); }, 120000);
  }
  view.Detach(false);
  view.DestroyWindow();
  bus.unplug(&drive);
  Pump([&] { return manager->DriveCount() == 0; });
  manager->stopListen();
  CPDKManager::Release();
  unregisterDrives(port);
  DestroyWindow(listener);
  return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc != 4) {
    std::fprintf(stderr, "usage: tovik_view_screens <scene> <ready file> <done file>\n");
    return 2;
  }
  return Run(ScreenScene(__argv[1]), __argv[2], __argv[3]);
}
