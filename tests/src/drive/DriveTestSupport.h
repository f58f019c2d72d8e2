// The drive classes' tests under Wine: the SDK listening for real, emulated
// drives plugged into the emulated bus on letters that are real Wine drives
// (the run's set-up links each to a folder of its own), and a real window
// that receives what the drive manager and the directory monitor post.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "DetectionPlatform.h"
#include "DevicePoll.h"
#include "DevicePort.h"
#include "EmuAspiTarget.h"
#include "EmuDevicePort.h"
#include "EmulatedBus.h"
#include "EmulatedDrive.h"
#include "OSKind.h"
#include "PDKManager.h"
#include "ShellTestSupport.h"
#include "sdk/core/PDKSDK.h"

namespace drivetest {

// The letters the run links to folders: the first and second volume.
constexpr char kLetter = 'R';
constexpr char kSecondLetter = 'U';
// A letter for drives that need no files: the bus routes it, Wine has no drive there.
constexpr char kBusOnlyLetter = 'W';
// A second such letter for the privacy-zone dialogs: on 98 SE the SDK tells of
// a drive that switched its write protection on W only long after it left.
constexpr char kZoneLetter = 'X';
// Wine drives of their own for the switches whose Explorer windows are closed
// first: a removable drive's write protection, and a fixed disk's two volumes.
constexpr char kSwitchLetter = 'O';
constexpr char kFixedDiskLetter = 'I';
constexpr char kFixedDiskSecondLetter = 'J';
// A Wine drive whose files outlast the run, for the host's checks after it.
constexpr char kKeptLetter = 'Y';
// How long a test waits for something the SDK or the system does by itself.
constexpr DWORD kHearingLimitMs = 15000;

// A file of the source tree (the committed artwork the resources are built
// from), through Wine's Z: drive.
inline std::string SourceFile(const std::string& relative) {
  std::string path = std::string("Z:") + TOVIK_SOURCE_DIR + "/" + relative;
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

inline std::string Root(char letter = kLetter) { return std::string(1, letter) + ":\\"; }

// Runs the thread's messages until `done` holds or the limit passes.
template <typename Done>
bool PumpUntil(Done done, DWORD limitMs = kHearingLimitMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    // WM_QUIT is what the Explorer-window closing posts; it must not end anything here.
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    if (done()) return true;
    if (GetTickCount() - start >= limitMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

struct Posted {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool operator==(const Posted& o) const {
    return message == o.message && wParam == o.wParam && lParam == o.lParam;
  }
};

inline std::ostream& operator<<(std::ostream& out, const Posted& p) {
  return out << "{0x" << std::hex << p.message << std::dec << ", '" << static_cast<char>(p.wParam)
             << "', " << p.lParam << "}";
}

// A hidden top-level window that writes down the messages in [first, last].
class MessageWindow {
 public:
  static constexpr UINT kSentinel = WM_APP + 77;

  MessageWindow(UINT first, UINT last) : first_(first), last_(last) {
    static const char* const kClass = [] {
      WNDCLASSA wc{};
      wc.lpfnWndProc = &MessageWindow::Proc;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = "TovikDriveTestWindow";
      RegisterClassA(&wc);
      return "TovikDriveTestWindow";
    }();
    hwnd_ = CreateWindowExA(0, kClass, "drive test", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                            GetModuleHandleA(nullptr), this);
  }
  ~MessageWindow() { DestroyWindow(hwnd_); }
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  const std::vector<Posted>& messages() const { return messages_; }
  void clear() { messages_.clear(); }
  bool waitFor(size_t count, DWORD limitMs = kHearingLimitMs) {
    return PumpUntil([&] { return messages_.size() >= count; }, limitMs);
  }
  // Everything posted before this call has been handled once it returns.
  void drain() {
    sentinelSeen_ = false;
    PostMessageA(hwnd_, kSentinel, 0, 0);
    PumpUntil([&] { return sentinelSeen_; });
  }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
      SetWindowLongPtrA(
          hwnd, GWLP_USERDATA,
          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
    }
    auto* self = reinterpret_cast<MessageWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self != nullptr) {
      if (message == kSentinel) self->sentinelSeen_ = true;
      if (message >= self->first_ && message <= self->last_)
        self->messages_.push_back({message, wParam, lParam});
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
  }

  UINT first_, last_;
  HWND hwnd_ = nullptr;
  std::vector<Posted> messages_;
  bool sentinelSeen_ = false;
};

// Deletes everything below a folder (or a drive's root), the folder stays.
inline void EmptyFolder(const std::string& folder) {
  const std::string base = folder.back() == '\\' ? folder : folder + "\\";
  WIN32_FIND_DATAA found{};
  const HANDLE search = FindFirstFileA((base + "*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  std::vector<std::pair<std::string, bool>> entries;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..")
      entries.emplace_back(base + name, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  for (const auto& [path, isFolder] : entries) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (isFolder) {
      EmptyFolder(path);
      RemoveDirectoryA(path.c_str());
    } else {
      DeleteFileA(path.c_str());
    }
  }
}

inline bool WriteText(const std::string& path, const std::string& text) {
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return written == text.size();
}

// The marker program beside the test program: it writes its arguments into
// "marker-out.txt" next to itself.
inline std::string MarkerProgram() {
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string path = self;
  return path.substr(0, path.rfind('\\')) + "\\drive_marker.exe";
}

inline std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('\\')); }

// Waits for the marker program to have run from `folder`; its arguments.
inline bool MarkerRan(const std::string& folder, std::string* arguments) {
  const std::string out = folder + "\\marker-out.txt";
  if (!PumpUntil([&] { return shelltest::Exists(out); })) return false;
  *arguments = shelltest::ReadFile(out);
  return true;
}

// Puts a copy of the marker program at `path`.
inline bool CopyMarker(const std::string& path) {
  return CopyFileA(MarkerProgram().c_str(), path.c_str(), FALSE) != 0;
}

// A drive that no test program of another Windows kind has: the serial ends
// with the kind, as the registry entries of every kind share one Wine registry.
inline emu::DriveConfig DriveConfig(const char* serial) {
  emu::DriveConfig c;
  c.serial = serial + std::to_string(GetOSKind());
  c.sectorCount = 4096;
  return c;
}

// The SDK listening through a drive manager that posts to a real window; the
// drive's letters are empty Wine drives at the start of every test.
class DriveTest : public ::testing::Test {
 protected:
  DriveTest() : window(WM_PLUNDA_CHANGE, WM_PLUNDA_ERROR), bus(port, &aspi) {
    pdk::setDevicePort(&port);
    connectAspi(&aspi);
  }
  void SetUp() override {
    for (char letter : {kLetter, kSecondLetter}) {
      ASSERT_NE(GetFileAttributesA(Root(letter).c_str()), INVALID_FILE_ATTRIBUTES)
          << "the run links drive " << letter << ": to a folder of its own";
      EmptyFolder(Root(letter));
    }
    manager = CPDKManager::Acquire();
    ASSERT_TRUE(manager->startListen(window.hwnd()));
    CPDKSDK::instance().poll().waitRunAfterInit();
  }
  void TearDown() override {
    for (auto& d : drives) bus.unplug(d.get());
    if (manager != nullptr) {
      // Give the SDK the time to be done with the drives, so nothing of this
      // test reaches the next one's manager; whether it tells of each removal
      // is for the tests that pull drives out to check.
      PumpUntil([&] { return manager->DriveCount() == 0; });
      manager->stopListen();
      CPDKManager::Release();
    }
    unregisterDrives(port);
    connectAspi(nullptr);
    pdk::setDevicePort(nullptr);
  }

  emu::CEmulatedDrive& MakeDrive(const emu::DriveConfig& config) {
    drives.push_back(std::make_unique<emu::CEmulatedDrive>(config));
    return *drives.back();
  }
  void Plug(emu::CEmulatedDrive& drive, const std::vector<char>& letters) {
    registerDrive(drive, letters, port);
    bus.plugIn(&drive, letters);
  }
  // Plugs the drive in and waits for the manager's insertion message; the id.
  // A removal the SDK still tells of an earlier test's drive is let pass.
  int PlugInserted(emu::CEmulatedDrive& drive, const std::vector<char>& letters = {kLetter}) {
    window.clear();
    Plug(drive, letters);
    // Only this drive's letters: the SDK may still tell of an earlier drive.
    const auto ours = [&](const Posted& p) {
      return p.message == WM_PLUNDA_INSERT &&
             std::find(letters.begin(), letters.end(), static_cast<char>(p.wParam)) != letters.end();
    };
    const auto inserted = [&] {
      for (const Posted& p : window.messages())
        if (ours(p)) return true;
      return false;
    };
    if (!PumpUntil(inserted)) {
      ADD_FAILURE() << "no insertion message; heard "
                    << ::testing::PrintToString(window.messages());
      return -1;
    }
    int id = -1;
    for (const Posted& p : window.messages())
      if (ours(p)) id = static_cast<int>(p.lParam);
    window.clear();
    return id;
  }
  // What the manager posted, but for the letters of drives that switch: the
  // SDK may tell of a drive there long after its test (see the
  // write-protection test).
  std::vector<Posted> Heard() const {
    static const char kSwitching[] = {kBusOnlyLetter, kZoneLetter, kSwitchLetter, kFixedDiskLetter,
                                      kFixedDiskSecondLetter};
    std::vector<Posted> heard;
    for (const Posted& p : window.messages())
      if (std::find(std::begin(kSwitching), std::end(kSwitching), static_cast<char>(p.wParam)) ==
          std::end(kSwitching))
        heard.push_back(p);
    return heard;
  }
  // Pulls the drive out and waits for the manager's removal message.
  void Unplug(emu::CEmulatedDrive& drive) {
    window.clear();
    bus.unplug(&drive);
    EXPECT_TRUE(PumpUntil([&] { return !Heard().empty(); }));
    window.clear();
  }

  MessageWindow window;
  emu::CEmuDevicePort port;
  emu::CEmuAspiTarget aspi;
  std::vector<std::unique_ptr<emu::CEmulatedDrive>> drives;
  emu::CEmulatedBus bus;
  CPDKManager* manager = nullptr;
};

}  // namespace drivetest
