#include "DeviceMessageWindow.h"

#include <windows.h>

#include <dbt.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace pdkos {

struct CDeviceMessageWindow::State {
  Handler handler;
  HWND window = nullptr;
};

namespace {

constexpr WORD kIgnoredCommand = 18;
constexpr DWORD kReservedInvalid = 0xFFFFFFFFu;
constexpr UINT kBroadcastTimeoutMs = 1000;

void deviceChange(HWND window, WPARAM event, LPARAM header) {
  if (event != DBT_DEVICEARRIVAL && event != DBT_DEVICEREMOVECOMPLETE) return;
  const auto* h = reinterpret_cast<const DEV_BROADCAST_HDR*>(header);
  if (h == nullptr || h->dbch_devicetype != DBT_DEVTYP_VOLUME ||
      h->dbch_reserved == kReservedInvalid) {
    return;
  }
  auto* state =
      reinterpret_cast<CDeviceMessageWindow::State*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (state == nullptr) return;
  state->handler(static_cast<uint32_t>(event),
                 reinterpret_cast<const DEV_BROADCAST_VOLUME*>(h)->dbcv_unitmask);
}

LRESULT CALLBACK listenerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == kIgnoredCommand) return 0;
      break;
    case WM_DEVICECHANGE:
      deviceChange(window, wParam, lParam);
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void registerListenerClass() {
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = listenerProc;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
  wc.lpszClassName = CDeviceMessageWindow::kClassName;
  // A second listener in the process finds the class registered already.
  RegisterClassExA(&wc);
}

BOOL CALLBACK collectOwnWindow(HWND window, LPARAM context) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId())
    reinterpret_cast<std::vector<HWND>*>(context)->push_back(window);
  return TRUE;
}

}  // namespace

CDeviceMessageWindow::CDeviceMessageWindow(Handler handler) : state_(std::make_shared<State>()) {
  state_->handler = std::move(handler);
  registerListenerClass();
  state_->window = CreateWindowExA(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, 0, nullptr, nullptr, nullptr,
                                   nullptr);
  // Messages reach the procedure only when this thread takes them, so nothing
  // can arrive before the state is attached.
  if (state_->window != nullptr)
    SetWindowLongPtrA(state_->window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state_.get()));
}

CDeviceMessageWindow::~CDeviceMessageWindow() {
  if (state_->window != nullptr) {
    SetWindowLongPtrA(state_->window, GWLP_USERDATA, 0);
    DestroyWindow(state_->window);
  }
}

void CDeviceMessageWindow::waitAndPeek(uint32_t timeoutMs) {
  MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs, QS_ALLPOSTMESSAGE);
  MSG message;
  PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE);
}

// Only the windows of this process hear it: drives emulated inside one test
// program must not reach the others running side by side in the same Wine
// session, as the system-wide HWND_BROADCAST would.
void broadcastDeviceChange(uint32_t event, uint32_t unitMask) {
  if (unitMask == 0) return;
  // Collected first: a window procedure may create or destroy windows while
  // it handles the message.
  std::vector<HWND> windows;
  EnumWindows(collectOwnWindow, reinterpret_cast<LPARAM>(&windows));

  auto volume = std::make_unique<DEV_BROADCAST_VOLUME>();
  volume->dbcv_size = sizeof(DEV_BROADCAST_VOLUME);
  volume->dbcv_devicetype = DBT_DEVTYP_VOLUME;
  volume->dbcv_reserved = 0;
  volume->dbcv_unitmask = unitMask;
  volume->dbcv_flags = 0;
  // A thread that does not take messages costs the time-out once, not once
  // for each of its windows.
  std::vector<DWORD> stuckThreads;
  for (HWND window : windows) {
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    if (thread == 0 ||
        std::find(stuckThreads.begin(), stuckThreads.end(), thread) != stuckThreads.end())
      continue;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(volume.get()),
                             SMTO_ABORTIFHUNG, kBroadcastTimeoutMs, &result))
      stuckThreads.push_back(thread);
  }
  // A message that timed out is still delivered once its thread takes
  // messages again, and within one process the pointer is not copied: the
  // header must then outlive this call. That only happens with a stuck
  // window, so the few bytes are given up rather than tracked.
  if (!stuckThreads.empty()) volume.release();
}

}  // namespace pdkos
