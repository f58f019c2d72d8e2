// Explorer windows on a drive, the shell's "open", the system's error texts
// and the free space of a real Wine drive.
#include "WinExplorer.h"

#include <gtest/gtest.h>

#include <map>

#include "DriveTestSupport.h"
#include "WindowsKind.h"

namespace {

using drivetest::MarkerRan;
using drivetest::PumpUntil;

// Top-level windows of a class that write down the closing messages they get.
class FakeWindows {
 public:
  ~FakeWindows() {
    for (const auto& [window, got] : got_) DestroyWindow(window);
  }
  HWND Make(const char* className, const char* title) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = &DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = className;
    RegisterClassA(&wc);  // once per class; later calls fail harmlessly
    const HWND window = CreateWindowExA(0, className, title, WS_OVERLAPPED, 0, 0, 50, 50, nullptr,
                                        nullptr, GetModuleHandleA(nullptr), nullptr);
    // The folder windows of other tests share a class: the procedure is this window's own.
    SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FakeWindows::Proc));
    got_[window] = 0;
    return window;
  }
  // Whether the window got WM_CLOSE and the system command SC_CLOSE.
  bool Closed(HWND window) const { return Got(window) == 3; }
  int Got(HWND window) const { return Closing().count(window) ? Closing().at(window) : 0; }

 private:
  static std::map<HWND, int>& Closing() {
    static std::map<HWND, int> closing;
    return closing;
  }
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Recorded, not obeyed: the test decides when the windows go.
    if (message == WM_CLOSE) {
      Closing()[window] |= 1;
      return 0;
    }
    if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE) {
      Closing()[window] |= 2;
      return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
  }
  std::map<HWND, int> got_;
};

TEST(ExplorerWindows, WindowsOfTheExplorerClassesNamingTheLetterAreClosed) {
  FakeWindows windows;
  const struct {
    const char* className;
    const char* title;
    bool closed;
  } cases[] = {
      {"ExploreWClass", "R:\\", true},
      {"CabinetWClass", "Tovik (r:)", true},
      {"IEFrame", "file:///R:/docs - Browser", true},
      // The title only has to contain the letter somewhere.
      {"CabinetWClass", "Q:\\Reports", true},
      {"CabinetWClass", "Q:\\", false},
      {"TovikOtherClass", "R:\\", false},
  };
  std::vector<HWND> made;
  for (const auto& c : cases) made.push_back(windows.Make(c.className, c.title));
  CWinExplorer::CloseExplorerWindowsByTitle('r');
  const HWND lastClosed = made[3];
  ASSERT_TRUE(PumpUntil([&] { return windows.Closed(lastClosed); }));
  // Everything posted is in: one more round through a posted message.
  drivetest::MessageWindow sentinel(0, 0);
  sentinel.drain();
  for (size_t i = 0; i < made.size(); ++i)
    EXPECT_EQ(windows.Closed(made[i]), cases[i].closed)
        << cases[i].className << " " << cases[i].title;
}

TEST(ExplorerWindows, TheWholeOperationAsksTheCollectionWhereThereIsOne) {
  FakeWindows windows;
  const HWND onDrive = windows.Make("CabinetWClass", "R:\\");
  const HWND elsewhere = windows.Make("CabinetWClass", "C:\\");
  const bool collection = CWinExplorer::CloseShellWindows('R');
  EXPECT_TRUE(CWinExplorer::CloseExplorerWindows('R'));
  drivetest::MessageWindow sentinel(0, 0);
  sentinel.drain();
  // The collection knows the shell's own windows, and these are none of
  // them; only without it are windows found by their titles.
  EXPECT_EQ(windows.Closed(onDrive), !collection);
  EXPECT_FALSE(windows.Closed(elsewhere));
}

TEST(ShellOpen, StartsAProgramWithItsArgumentsInItsFolder) {
  const std::string marker = drivetest::MarkerProgram();
  const std::string folder = drivetest::FolderOf(marker);
  DeleteFileA((folder + "\\marker-out.txt").c_str());
  ASSERT_TRUE(CWinExplorer::Open(marker, "one two"));
  std::string arguments;
  ASSERT_TRUE(MarkerRan(folder, &arguments));
  EXPECT_EQ(arguments, "one two");
  DeleteFileA((folder + "\\marker-out.txt").c_str());

  EXPECT_FALSE(CWinExplorer::Open(folder + "\\no such program.exe", ""));
  EXPECT_FALSE(CWinExplorer::OpenStringResource(0));
}

TEST(SystemMessage, IsTheSystemsTextOfTheCode) {
  const std::string text = CWinExplorer::SystemMessage(ERROR_FILE_NOT_FOUND);
  char want[512] = "";
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                 ERROR_FILE_NOT_FOUND, 0, want, sizeof want, nullptr);
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text, want);
  EXPECT_EQ(CWinExplorer::SystemMessage(0x20001234), "");
}

TEST(DiskSpace, OfARealDriveAndOfNone) {
  ULARGE_INTEGER freeBytes{}, totalBytes{};
  ASSERT_TRUE(CWinExplorer::GetDiskSpace("R:\\", freeBytes, totalBytes));
  EXPECT_GT(totalBytes.QuadPart, 0u);
  EXPECT_LE(freeBytes.QuadPart, totalBytes.QuadPart);

  for (const char* root : {"[:\\", "R:\\no such folder\\"}) {
    SCOPED_TRACE(root);
    EXPECT_FALSE(CWinExplorer::GetDiskSpace(root, freeBytes, totalBytes));
    EXPECT_EQ(freeBytes.HighPart, 0xFFFFFFFFu);
    EXPECT_EQ(totalBytes.HighPart, 0xFFFFFFFFu);
  }
}

}  // namespace
