// The shell's browser control is declared for newer systems only; the test
// program runs on Wine, which has it whatever version it reports.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600

#include "ExplorerWindow.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstring>

namespace drivetest {
namespace {

const char kFolderWindowClass[] = "CabinetWClass";
const char kBrowserProperty[] = "TovikTestBrowser";
// Answered by setting the event in lParam.
constexpr UINT kProbe = WM_APP + 41;
constexpr DWORD kProbeLimitMs = 15000;

BOOL CALLBACK FindShellView(HWND child, LPARAM found) {
  char name[64] = "";
  GetClassNameA(child, name, sizeof name);
  if (std::strcmp(name, "SHELLDLL_DefView") != 0) return TRUE;
  *reinterpret_cast<bool*>(found) = true;
  return FALSE;
}

}  // namespace

ExplorerWindow::ExplorerWindow(const std::string& folder)
    : folder_(folder), ready_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {
  thread_ = CreateThread(nullptr, 0, &ExplorerWindow::Run, this, 0, nullptr);
  if (thread_ != nullptr) WaitForSingleObject(ready_, INFINITE);
}

ExplorerWindow::~ExplorerWindow() {
  if (thread_ != nullptr) {
    if (IsWindow(hwnd_)) PostMessageA(hwnd_, WM_CLOSE, 0, 0);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
  }
  CloseHandle(ready_);
}

bool ExplorerWindow::Gone() const {
  return !IsWindow(hwnd_) && (thread_ == nullptr || WaitForSingleObject(thread_, 0) == WAIT_OBJECT_0);
}

bool ExplorerWindow::ToldToClose() const {
  if (thread_ == nullptr) return false;
  const HANDLE answered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  bool told = true;
  if (PostMessageA(hwnd_, kProbe, 0, reinterpret_cast<LPARAM>(answered))) {
    const HANDLE ends[] = {answered, thread_};
    // The probe answered: nothing told the window to close before it. The
    // thread ended first: something had.
    told = WaitForMultipleObjects(2, ends, FALSE, kProbeLimitMs) == WAIT_OBJECT_0 + 1;
  }
  CloseHandle(answered);
  return told;
}

DWORD WINAPI ExplorerWindow::Run(void* argument) {
  auto* self = static_cast<ExplorerWindow*>(argument);
  CoInitialize(nullptr);
  // Other tests make windows of this class too: whoever registers it, each
  // window takes its own procedure once made.
  WNDCLASSA wc{};
  wc.lpfnWndProc = &DefWindowProcA;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = kFolderWindowClass;
  RegisterClassA(&wc);  // once per process; later calls fail harmlessly
  // Explorer titles a folder window with the folder's full path.
  self->hwnd_ = CreateWindowExA(0, kFolderWindowClass, self->folder_.c_str(),
                                WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 400, 300, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
  if (self->hwnd_ != nullptr)
    SetWindowLongPtrA(self->hwnd_, GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(&ExplorerWindow::Proc));
  IExplorerBrowser* browser = nullptr;
  if (self->hwnd_ != nullptr &&
      SUCCEEDED(CoCreateInstance(CLSID_ExplorerBrowser, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_IExplorerBrowser, reinterpret_cast<void**>(&browser)))) {
    RECT client{};
    GetClientRect(self->hwnd_, &client);
    FOLDERSETTINGS settings = {FVM_DETAILS, 0};
    wchar_t wide[MAX_PATH] = L"";
    MultiByteToWideChar(CP_ACP, 0, self->folder_.c_str(), -1, wide, MAX_PATH);
    PIDLIST_ABSOLUTE folder = nullptr;
    if (SUCCEEDED(browser->Initialize(self->hwnd_, &client, &settings)) &&
        SUCCEEDED(SHParseDisplayName(wide, nullptr, &folder, 0, nullptr)) &&
        SUCCEEDED(browser->BrowseToIDList(folder, SBSP_ABSOLUTE))) {
      bool view = false;
      EnumChildWindows(self->hwnd_, &FindShellView, reinterpret_cast<LPARAM>(&view));
      self->showing_ = view;
    }
    CoTaskMemFree(folder);
    SetPropA(self->hwnd_, kBrowserProperty, browser);
  }
  SetEvent(self->ready_);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  if (IsWindow(self->hwnd_)) DestroyWindow(self->hwnd_);
  CoUninitialize();
  return 0;
}

LRESULT CALLBACK ExplorerWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kProbe) {
    SetEvent(reinterpret_cast<HANDLE>(lParam));
    return 0;
  }
  if (message == WM_DESTROY) {
    auto* browser = static_cast<IExplorerBrowser*>(RemovePropA(window, kBrowserProperty));
    if (browser != nullptr) {
      browser->Destroy();
      browser->Release();
    }
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace drivetest
