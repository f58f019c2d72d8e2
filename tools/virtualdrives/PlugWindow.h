// The small window of the virtual-drive program that plugs its drives in and
// pulls them out: one row per drive with its name and letters, whether it is
// plugged in, and the two buttons. Closing it only minimises it: the program
// ends from its tray menu, as always. A drive can be plugged in once the
// SDK's detection listens: an arrival announced before that would go unheard.
#pragma once

#include <windows.h>

#include <string>

class CVirtualDrives;

class CPlugWindow {
 public:
  static constexpr const char* kWindowClass = "TovikPlugWindow";
  static constexpr const char* kCaption = "Virtual Tovik Drives";
  // Button ids: kPlugInButton + slot and kPullOutButton + slot.
  static constexpr int kPlugInButton = 1001;
  static constexpr int kPullOutButton = 1011;
  static constexpr int kStateText = 1021;  // + slot: "plugged in" or "pulled out"
  static constexpr int kProblemText = 1031;
  // How often it looks whether the program's detection listens yet.
  static constexpr UINT kListenPeriodMs = 300;

  explicit CPlugWindow(CVirtualDrives& drives);
  ~CPlugWindow();
  CPlugWindow(const CPlugWindow&) = delete;
  CPlugWindow& operator=(const CPlugWindow&) = delete;

  // Shows the window in the top left corner of the screen.
  bool Create();
  HWND GetSafeHwnd() const { return hwnd_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void AddControls();
  HWND AddControl(const char* className, const std::string& text, DWORD style, int id, int x,
                  int y, int width, int height);
  void OnButton(int id);
  void Refresh();
  // Whether this process's detection window is there to hear an arrival.
  static bool DetectionListening();

  CVirtualDrives& drives_;
  HWND hwnd_ = nullptr;
  std::string problem_;
  bool listening_ = false;
};
