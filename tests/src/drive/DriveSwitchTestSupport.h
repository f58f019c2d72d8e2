// What the drive-switch dialog tests share: the skinned error boxes the
// dialogs open, watched from the dialogs' own modal loops and answered with
// their button, a WRITE(10) sent straight to an emulated drive, and a drive
// another program keeps busy in the way the SDK can see it on each Windows kind.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "DetectionPlatform.h"
#include "DriveTestSupport.h"
#include "EmuDevicePort.h"
#include "EmulatedBus.h"
#include "EmulatedDrive.h"
#include "ExplorerWindow.h"
#include "OSKind.h"
#include "resource.h"

namespace drivetest {

inline std::string WindowText(HWND window) {
  char text[1024] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

struct SeenBox {
  std::string caption;
  std::string text;
  std::string button;
};

// While it lives, every visible message box of this thread is written down
// and closed with its OK button (or `answer`).
class BoxAnswerer {
 public:
  explicit BoxAnswerer(UINT answer = IDOK) : answer_(answer) {
    self() = this;
    timer_ = SetTimer(nullptr, 0, 20, &BoxAnswerer::Tick);
  }
  ~BoxAnswerer() {
    KillTimer(nullptr, timer_);
    self() = nullptr;
  }
  BoxAnswerer(const BoxAnswerer&) = delete;
  BoxAnswerer& operator=(const BoxAnswerer&) = delete;
  const std::vector<SeenBox>& boxes() const { return boxes_; }

 private:
  static BoxAnswerer*& self() {
    static BoxAnswerer* current = nullptr;
    return current;
  }
  static BOOL CALLBACK Visit(HWND window, LPARAM) {
    HWND message = GetDlgItem(window, IDC_MESSAGE_TXT);
    if (message == nullptr || !IsWindowVisible(window) || GetPropA(window, "answered") != nullptr)
      return TRUE;
    SetPropA(window, "answered", reinterpret_cast<HANDLE>(1));
    self()->boxes_.push_back({WindowText(GetDlgItem(window, IDC_CAPTION_CTL)), WindowText(message),
                              WindowText(GetDlgItem(window, IDOK))});
    const UINT answer = self()->answer_;
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, int(answer))));
    return TRUE;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (self() != nullptr) EnumThreadWindows(GetCurrentThreadId(), &Visit, 0);
  }

  const UINT answer_;
  UINT_PTR timer_ = 0;
  std::vector<SeenBox> boxes_;
};

// While it lives, a thread of its own asks the window `window()` names (read
// on this thread, as the dialogs live here) to answer a message each time
// the drive is seen off the bus, as a user's click would: so it tells whether
// the window kept answering while the drive switched.
class AnswerWatch {
 public:
  template <typename Window>
  AnswerWatch(const emu::CEmulatedBus& bus, const emu::CEmulatedDrive& drive, Window window)
      : bus_(bus), drive_(drive), window_(std::move(window)) {
    self() = this;
    timer_ = SetTimer(nullptr, 0, 20, &AnswerWatch::Tick);
    thread_ = CreateThread(nullptr, 0, &AnswerWatch::Watch, this, 0, nullptr);
  }
  ~AnswerWatch() {
    stop_ = true;
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    KillTimer(nullptr, timer_);
    self() = nullptr;
  }
  AnswerWatch(const AnswerWatch&) = delete;
  AnswerWatch& operator=(const AnswerWatch&) = delete;
  // Answers given while the drive was off the bus, before and after the answer.
  int AnsweredWhileAway() const { return answeredAway_; }
  // Messages the window did not answer within the hearing limit.
  int Unanswered() const { return unanswered_; }

 private:
  static AnswerWatch*& self() {
    static AnswerWatch* current = nullptr;
    return current;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (self() != nullptr) self()->hwnd_ = self()->window_();
  }
  static DWORD WINAPI Watch(void* argument) {
    auto* w = static_cast<AnswerWatch*>(argument);
    while (!w->stop_) {
      const HWND window = w->hwnd_;
      if (window != nullptr && IsWindow(window) && !w->bus_.isPresent(&w->drive_)) {
        DWORD_PTR result = 0;
        if (SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kHearingLimitMs,
                                &result) != 0) {
          if (!w->bus_.isPresent(&w->drive_)) ++w->answeredAway_;
        } else if (IsWindow(window)) {
          ++w->unanswered_;
        }
      }
      Sleep(10);
    }
    return 0;
  }

  const emu::CEmulatedBus& bus_;
  const emu::CEmulatedDrive& drive_;
  std::function<HWND()> window_;
  std::atomic<HWND> hwnd_{nullptr};
  std::atomic<bool> stop_{false};
  std::atomic<int> answeredAway_{0};
  std::atomic<int> unanswered_{0};
  UINT_PTR timer_ = 0;
  HANDLE thread_ = nullptr;
};

// Counts, when the drive first leaves the bus after this is made (as the bus
// announces it), the windows not yet told to close: what has to be closed
// before a switch must have been told to by then.
class DepartureCheck {
 public:
  DepartureCheck(emu::CEmulatedBus& bus, std::vector<const ExplorerWindow*> windows)
      : bus_(bus), windows_(std::move(windows)) {
    id_ = bus_.broadcaster().subscribe([this](bool arrival, uint32_t) {
      if (arrival || departures_++ > 0) return;
      for (const ExplorerWindow* window : windows_)
        if (!window->ToldToClose()) ++openAtDeparture_;
    });
  }
  ~DepartureCheck() { bus_.broadcaster().unsubscribe(id_); }
  DepartureCheck(const DepartureCheck&) = delete;
  DepartureCheck& operator=(const DepartureCheck&) = delete;
  int Departures() const { return departures_; }
  int OpenAtDeparture() const { return openAtDeparture_; }

 private:
  emu::CEmulatedBus& bus_;
  const std::vector<const ExplorerWindow*> windows_;
  int id_ = 0;
  std::atomic<int> departures_{0};
  std::atomic<int> openAtDeparture_{0};
};

// The drive's answer to writing one sector at `lba` through its command path.
inline emu::ScsiResult WriteSector(emu::CEmulatedDrive& drive, uint32_t lba) {
  uint8_t cdb[10] = {
      0x2A, 0, uint8_t(lba >> 24), uint8_t(lba >> 16), uint8_t(lba >> 8), uint8_t(lba), 0, 0, 1, 0};
  uint8_t sector[512] = {0x5A};
  return drive.execute(cdb, sizeof cdb, sector, sizeof sector, false);
}

// Another program holding the drive, as the SDK meets it: on the NT family it
// refuses to lock the drive's volume; on 98 SE, where the SDK sends no lock
// codes and talks to the drive through the USB driver's device, it holds that
// device, so the SDK cannot open it. On ME the SDK reaches the drive by ASPI
// and opens and locks nothing, so it never sees a drive busy.
inline bool SdkCanSeeABusyDrive() { return GetOSKind() != pdk::kOSWinME; }

class BusyDrive {
 public:
  BusyDrive(emu::CEmuDevicePort& port, const emu::CEmulatedDrive& drive, char letter)
      : port_(port), drive_(drive), letter_(letter) {
    Set(true);
  }
  ~BusyDrive() { Set(false); }
  BusyDrive(const BusyDrive&) = delete;
  BusyDrive& operator=(const BusyDrive&) = delete;

 private:
  void Set(bool busy) {
    if (GetOSKind() == pdk::kOSWin98SE) {
      port_.setPathBusy(win98DevicePath(drive_), busy);
    } else {
      port_.setLockRefused(letter_, busy);
    }
  }

  emu::CEmuDevicePort& port_;
  const emu::CEmulatedDrive& drive_;
  const char letter_;
};

}  // namespace drivetest
