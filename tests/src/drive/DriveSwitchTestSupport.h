// What the drive-switch dialog tests share: the skinned error boxes the
// dialogs open, watched from the dialogs' own modal loops and answered with
// their button, and a WRITE(10) sent straight to an emulated drive.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "EmulatedDrive.h"
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
// and closed with its OK button.
class BoxAnswerer {
 public:
  BoxAnswerer() {
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
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, IDOK)));
    return TRUE;
  }
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (self() != nullptr) EnumThreadWindows(GetCurrentThreadId(), &Visit, 0);
  }

  UINT_PTR timer_ = 0;
  std::vector<SeenBox> boxes_;
};

// The drive's answer to writing one sector at `lba` through its command path.
inline emu::ScsiResult WriteSector(emu::CEmulatedDrive& drive, uint32_t lba) {
  uint8_t cdb[10] = {
      0x2A, 0, uint8_t(lba >> 24), uint8_t(lba >> 16), uint8_t(lba >> 8), uint8_t(lba), 0, 0, 1, 0};
  uint8_t sector[512] = {0x5A};
  return drive.execute(cdb, sizeof cdb, sector, sizeof sector, false);
}

}  // namespace drivetest
