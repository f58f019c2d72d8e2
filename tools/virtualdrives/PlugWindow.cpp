#include "PlugWindow.h"

#include <exception>

#include "DeviceMessageWindow.h"
#include "GUI/Trace.h"
#include "VirtualDrives.h"

namespace {

constexpr UINT_PTR kListenTimer = 1;
constexpr int kRowHeight = 34;
constexpr int kMargin = 10;

std::string LettersText(int slot) {
  std::string text;
  for (char letter : CVirtualDrives::Letters(slot)) {
    if (!text.empty()) text += ' ';
    text += std::string(1, letter) + ":";
  }
  return text;
}

}  // namespace

CPlugWindow::CPlugWindow(CVirtualDrives& drives) : drives_(drives) {}

CPlugWindow::~CPlugWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

bool CPlugWindow::Create() {
  static const bool registered = [] {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &CPlugWindow::Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kWindowClass;
    return RegisterClassA(&wc) != 0;
  }();
  if (!registered) return false;
  RECT frame = {0, 0, 360, kMargin * 2 + kRowHeight * CVirtualDrives::kSlotCount + 22};
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  AdjustWindowRect(&frame, style, FALSE);
  hwnd_ = CreateWindowExA(0, kWindowClass, kCaption, style, kMargin, kMargin,
                          frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                          GetModuleHandleA(nullptr), this);
  if (hwnd_ == nullptr) return false;
  AddControls();
  Refresh();
  SetTimer(hwnd_, kListenTimer, kListenPeriodMs, nullptr);
  ShowWindow(hwnd_, SW_SHOWNORMAL);
  UpdateWindow(hwnd_);
  return true;
}

HWND CPlugWindow::AddControl(const char* className, const std::string& text, DWORD style, int id,
                             int x, int y, int width, int height) {
  HWND control = CreateWindowExA(0, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y,
                                 width, height, hwnd_, reinterpret_cast<HMENU>(INT_PTR(id)),
                                 GetModuleHandleA(nullptr), nullptr);
  SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)),
               FALSE);
  return control;
}

void CPlugWindow::AddControls() {
  for (int slot = 0; slot < CVirtualDrives::kSlotCount; ++slot) {
    const int y = kMargin + slot * kRowHeight;
    AddControl("STATIC", std::string(CVirtualDrives::Name(slot)) + "  " + LettersText(slot), 0,
               -1, kMargin, y + 5, 140, 16);
    AddControl("STATIC", "", 0, kStateText + slot, 150, y + 5, 70, 16);
    AddControl("BUTTON", "Plug in", BS_PUSHBUTTON | WS_TABSTOP, kPlugInButton + slot, 220, y,
               62, 24);
    AddControl("BUTTON", "Pull out", BS_PUSHBUTTON | WS_TABSTOP, kPullOutButton + slot, 288, y,
               62, 24);
  }
  AddControl("STATIC", "", 0, kProblemText, kMargin,
             kMargin + CVirtualDrives::kSlotCount * kRowHeight, 340, 16);
}

bool CPlugWindow::DetectionListening() {
  for (HWND w = FindWindowExA(nullptr, nullptr, pdkos::CDeviceMessageWindow::kClassName, nullptr);
       w != nullptr;
       w = FindWindowExA(nullptr, w, pdkos::CDeviceMessageWindow::kClassName, nullptr)) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == GetCurrentProcessId()) return true;
  }
  return false;
}

void CPlugWindow::Refresh() {
  for (int slot = 0; slot < CVirtualDrives::kSlotCount; ++slot) {
    const bool plugged = drives_.IsPlugged(slot);
    SetDlgItemTextA(hwnd_, kStateText + slot, plugged ? "plugged in" : "pulled out");
    EnableWindow(GetDlgItem(hwnd_, kPlugInButton + slot), listening_ && !plugged);
    EnableWindow(GetDlgItem(hwnd_, kPullOutButton + slot), plugged);
  }
  SetDlgItemTextA(hwnd_, kProblemText, (problem_.empty() ? drives_.Notice() : problem_).c_str());
}

void CPlugWindow::OnButton(int id) {
  const bool plugIn = id >= kPlugInButton && id < kPlugInButton + CVirtualDrives::kSlotCount;
  const bool pullOut = id >= kPullOutButton && id < kPullOutButton + CVirtualDrives::kSlotCount;
  if ((!plugIn && !pullOut) || (plugIn && !listening_)) return;
  const bool done = plugIn ? drives_.PlugIn(id - kPlugInButton) : drives_.PullOut(id - kPullOutButton);
  problem_ = done ? std::string() : drives_.Problem();
  Refresh();
}

LRESULT CPlugWindow::OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) OnButton(LOWORD(wParam));
      return 0;
    case WM_TIMER:
      if (wParam != kListenTimer) return 0;
      if (!listening_ && DetectionListening()) {
        listening_ = true;
        KillTimer(hwnd, kListenTimer);
        Refresh();
      }
      return 0;
    case WM_CLOSE:
      // The program has its own way out; the drives stay.
      ShowWindow(hwnd, SW_MINIMIZE);
      return 0;
    case WM_DESTROY:
      KillTimer(hwnd, kListenTimer);
      hwnd_ = nullptr;
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

LRESULT CALLBACK CPlugWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    static_cast<CPlugWindow*>(create->lpCreateParams)->hwnd_ = hwnd;
  }
  auto* self = reinterpret_cast<CPlugWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcA(hwnd, message, wParam, lParam);
  try {
    return self->OnMessage(hwnd, message, wParam, lParam);
  } catch (const std::exception& e) {
    TraceException(__FILE__, __LINE__, e.what());
  } catch (...) {
    TraceException(__FILE__, __LINE__, nullptr);
  }
  return 0;
}
