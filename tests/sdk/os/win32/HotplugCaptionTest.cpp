// The localised caption, read from a stand-in hot-plug library that the test
// puts into the system folder (Wine has none of its own) and removes again.
// The stand-ins are built next to this program.
#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "HotplugWindowCloser.h"
#include "TestWindow.h"

namespace {

using pdkos::CHotplugWindowCloser;

std::string folderOf(const std::string& path) { return path.substr(0, path.find_last_of('\\')); }

std::string programFolder() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return n > 0 && n < MAX_PATH ? folderOf(path) : std::string();
}

std::string systemLibraryPath() {
  char folder[MAX_PATH];
  const UINT n = GetSystemDirectoryA(folder, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::string(folder) + "\\hotplug.dll" : std::string();
}

// One stand-in in the system folder for the life of this object.
class InstalledStandIn {
 public:
  explicit InstalledStandIn(const std::string& name) : target_(systemLibraryPath()) {
    const std::string source = programFolder() + "\\" + name;
    installed_ = !target_.empty() && CopyFileA(source.c_str(), target_.c_str(), FALSE) != FALSE;
  }
  ~InstalledStandIn() {
    if (installed_) DeleteFileA(target_.c_str());
  }
  InstalledStandIn(const InstalledStandIn&) = delete;
  InstalledStandIn& operator=(const InstalledStandIn&) = delete;
  bool installed() const { return installed_; }
  const std::string& path() const { return target_; }

 private:
  std::string target_;
  bool installed_ = false;
};

// Top-level windows of this thread shown while the hook is in.
std::vector<HWND> gShown;

LRESULT CALLBACK watchShow(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && call->message == WM_SHOWWINDOW && call->wParam != FALSE &&
      (GetWindowLongA(call->hwnd, GWL_STYLE) & WS_CHILD) == 0) {
    gShown.push_back(call->hwnd);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct CaptionCase {
  const char* library;
  std::string expected;
};

std::ostream& operator<<(std::ostream& os, const CaptionCase& c) { return os << c.library; }

class HotplugCaptionTest : public ::testing::TestWithParam<CaptionCase> {};

TEST_P(HotplugCaptionTest, ComesFromTheRemovalDialogOrStaysEnglish) {
  const CaptionCase& c = GetParam();
  InstalledStandIn standIn(c.library);
  ASSERT_TRUE(standIn.installed()) << "could not copy " << c.library << " to " << standIn.path();

  gShown.clear();
  HHOOK hook = SetWindowsHookExA(WH_CALLWNDPROC, watchShow, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  const CHotplugWindowCloser closer;
  UnhookWindowsHookEx(hook);

  EXPECT_EQ(closer.caption(), c.expected);
  EXPECT_TRUE(gShown.empty()) << "the dialog was shown while its caption was read";
  // The dialog is gone and the library unloaded again.
  EXPECT_EQ(FindWindowA(nullptr, c.expected.c_str()), nullptr);
  EXPECT_EQ(GetModuleHandleA(standIn.path().c_str()), nullptr);
}

const std::string kDigits300 = [] {
  std::string s;
  for (int i = 0; i < 30; ++i) s += "0123456789";
  return s;
}();

INSTANTIATE_TEST_SUITE_P(
    StandIns, HotplugCaptionTest,
    ::testing::Values(CaptionCase{"hotplug_caption.dll", "Entfernen der Testhardware"},
                      CaptionCase{"hotplug_long_caption.dll", kDigits300.substr(0, 256)},
                      // An empty caption would match every untitled window.
                      CaptionCase{"hotplug_no_caption.dll", "Unsafe Removal of Device"},
                      CaptionCase{"hotplug_other_dialog.dll", "Unsafe Removal of Device"},
                      CaptionCase{"hotplug_short_dialog.dll", "Unsafe Removal of Device"}));

TEST(HotplugCaptionTest, TheLocalisedCaptionIsTheOneClosed) {
  InstalledStandIn standIn("hotplug_caption.dll");
  ASSERT_TRUE(standIn.installed());
  CHotplugWindowCloser closer;
  ASSERT_EQ(closer.caption(), "Entfernen der Testhardware");
  hotplugtest::MessageLog log;
  hotplugtest::TestWindow localised(log, "localised", "Entfernen der Testhardware",
                                    hotplugtest::Close::kTakes);
  hotplugtest::TestWindow english(log, "english", "Unsafe Removal of Device",
                                  hotplugtest::Close::kTakes);
  ASSERT_WINDOW(localised);
  ASSERT_WINDOW(english);
  EXPECT_TRUE(closer.close());
  EXPECT_FALSE(localised.exists());
  EXPECT_TRUE(english.exists());
}

}  // namespace
