// The directory monitor on a real Wine drive: files written below the
// drive's root reach a real window as posted notices.
#include "DiskMonitore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "DriveTestSupport.h"

namespace {

using drivetest::MessageWindow;
using drivetest::Root;
using drivetest::WriteText;

class DiskMonitorTest : public ::testing::Test {
 protected:
  DiskMonitorTest() : window(WM_DIRECTORY_CHANGED, WM_DIRECTORY_MONITOR_ENDED) {}
  void SetUp() override {
    ASSERT_NE(GetFileAttributesA(Root().c_str()), INVALID_FILE_ATTRIBUTES);
    drivetest::EmptyFolder(Root());
  }
  MessageWindow window;
};

TEST_F(DiskMonitorTest, AChangeThreeFoldersDeepIsNoticed) {
  const char* const folders[] = {"R:\\one", "R:\\one\\two", "R:\\one\\two\\three"};
  for (const char* folder : folders) ASSERT_TRUE(CreateDirectoryA(folder, nullptr));
  CDiskMonitor monitor;
  ASSERT_TRUE(monitor.StartDirectoryMonitor("R:\\", window.hwnd()));
  EXPECT_TRUE(monitor.IsRunning());
  // Wine adds a sub-folder to a running watch of its tree only once the
  // folder is opened; Windows watches the whole tree by itself.
  std::vector<HANDLE> opened;
  for (const char* folder : folders) {
    opened.push_back(CreateFileA(folder, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_NE(opened.back(), INVALID_HANDLE_VALUE) << folder;
  }
  ASSERT_TRUE(WriteText("R:\\one\\two\\three\\deep.txt", "changed"));
  ASSERT_TRUE(window.waitFor(1));
  EXPECT_EQ(window.messages()[0].message, WM_DIRECTORY_CHANGED);
  EXPECT_NE(window.messages()[0].wParam, 0u);
  EXPECT_EQ(window.messages()[0].lParam, 0);
  EXPECT_TRUE(monitor.StopDirectoryMonitor("not in use"));
  EXPECT_FALSE(monitor.IsRunning());
  for (HANDLE h : opened) CloseHandle(h);

  // Stopped, it can watch again.
  window.clear();
  ASSERT_TRUE(monitor.StartDirectoryMonitor("R:\\", window.hwnd()));
  ASSERT_TRUE(WriteText("R:\\again.txt", "x"));
  ASSERT_TRUE(window.waitFor(1));
}

TEST_F(DiskMonitorTest, ASecondStartKeepsTheFirstWatch) {
  ASSERT_TRUE(CreateDirectoryA("R:\\elsewhere", nullptr));
  MessageWindow other(WM_DIRECTORY_CHANGED, WM_DIRECTORY_MONITOR_ENDED);
  CDiskMonitor monitor;
  ASSERT_TRUE(monitor.StartDirectoryMonitor("R:\\", window.hwnd()));
  EXPECT_TRUE(monitor.StartDirectoryMonitor("R:\\elsewhere", other.hwnd()));
  // Even a path that could not be watched: the running watch answers.
  EXPECT_TRUE(monitor.StartDirectoryMonitor("R:\\no such folder", other.hwnd()));
  // Outside the second path, told to the first window.
  ASSERT_TRUE(WriteText("R:\\top.txt", "x"));
  ASSERT_TRUE(window.waitFor(1));
  other.drain();
  EXPECT_TRUE(other.messages().empty());
}

TEST_F(DiskMonitorTest, StartingOnAMissingFolderFailsAndStoppingAStoppedMonitorSucceeds) {
  CDiskMonitor monitor;
  EXPECT_TRUE(monitor.StopDirectoryMonitor("not in use yet"));
  EXPECT_FALSE(monitor.StartDirectoryMonitor("R:\\no such folder", window.hwnd()));
  EXPECT_FALSE(monitor.IsRunning());
  EXPECT_TRUE(monitor.StopDirectoryMonitor("not in use"));
}

TEST_F(DiskMonitorTest, AStopWhileChangesStreamInEndsTheWorker) {
  CDiskMonitor monitor;
  ASSERT_TRUE(monitor.StartDirectoryMonitor("R:\\", window.hwnd()));
  std::atomic<bool> writing{true};
  std::thread writer([&] {
    for (int i = 0; writing; ++i) WriteText("R:\\stream" + std::to_string(i % 8) + ".txt", "x");
  });
  ASSERT_TRUE(window.waitFor(3));
  EXPECT_TRUE(monitor.StopDirectoryMonitor("not in use"));
  EXPECT_FALSE(monitor.IsRunning());
  writing = false;
  writer.join();
}

}  // namespace
