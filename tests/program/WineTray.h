// Keeps an icon of this test program in the notification area for the whole
// run. Wine withdraws its stand-alone tray window when the last icon goes,
// and the shell call that removed that icon waits two seconds for it; with
// this icon there, no test's icon is ever the last.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

namespace traytest {

class WineTrayKeeper : public ::testing::Environment {
 public:
  void SetUp() override {
    window_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    data_.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data_.hWnd = window_;
    data_.uID = 1;
    data_.uFlags = NIF_ICON;
    data_.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    Shell_NotifyIconA(NIM_ADD, &data_);
  }
  void TearDown() override {
    Shell_NotifyIconA(NIM_DELETE, &data_);
    DestroyWindow(window_);
  }

 private:
  HWND window_ = nullptr;
  NOTIFYICONDATAA data_{};
};

}  // namespace traytest
