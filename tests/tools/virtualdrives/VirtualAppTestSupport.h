// Shared pieces of the tests of TovikVirtual.exe: the program file started
// from the build folder or the install folder, its windows found and its
// boxes answered from the test program, the drive's zone configured through
// the commands the SDK sends, and the letters' sizes as programs see them.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "EmulatedDrive.h"
#include "PlugWindow.h"
#include "ProcessTestSupport.h"
#include "WindowsKind.h"

namespace virtualtest {

using namespace processtest;

constexpr char kProgramName[] = "TovikVirtual.exe";

inline std::string BuiltVirtual() { return FolderOf(BuiltProgram()) + "\\" + kProgramName; }
inline std::string InstalledVirtual() { return InstallFolder() + "\\" + kProgramName; }

inline bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream file(path, std::ios::binary);
  file << text;
  return bool(file.flush());
}
inline std::string Root(char letter) { return std::string(1, letter) + ":\\"; }

// A visible window of process `pid` with exactly this caption.
inline HWND VisibleWindow(DWORD pid, const std::string& caption) {
  return WaitForWindow(pid, nullptr, caption.c_str(), true);
}

// A visible dialog of process `pid` that has control `id` and, when given,
// a child showing `text` (popups come and go beside it); null when none
// came within the limit.
inline HWND DialogWith(DWORD pid, int id, const std::string& text = "", DWORD limitMs = kLimitMs) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND w = FindWindowExA(nullptr, nullptr, kBoxClass, nullptr); w != nullptr;
             w = FindWindowExA(nullptr, w, kBoxClass, nullptr)) {
          if (ProcessOf(w) == pid && IsWindowVisible(w) && GetDlgItem(w, id) != nullptr &&
              (text.empty() || HasChildText(w, text))) {
            found = w;
            return true;
          }
        }
        return false;
      },
      limitMs);
  return found;
}

// The plug window of process `pid`; its buttons work once the program's detection listens.
inline HWND PlugWindowOf(DWORD pid) {
  return WaitForWindow(pid, CPlugWindow::kWindowClass, CPlugWindow::kCaption, true);
}
inline void Click(HWND plug, int id) {
  HWND button = GetDlgItem(plug, id);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(button) != FALSE; })) << "button " << id;
  SendMessageA(button, BM_CLICK, 0, 0);
}

// A vendor command with its data block, as the SDK sends it; the drive's status.
inline uint8_t Vendor(emu::CEmulatedDrive& drive, uint16_t subCode, std::vector<uint8_t> data) {
  uint8_t cdb[14] = {0xFF, uint8_t(subCode), uint8_t(subCode >> 8)};
  memcpy(cdb + 10, "TORM", 4);
  return drive.execute(cdb, sizeof cdb, data.data(), uint32_t(data.size()), false).status;
}

// A data block of little-endian words, with the password "secret" at passwordAt.
constexpr size_t kNoPassword = ~size_t(0);
inline std::vector<uint8_t> Block(size_t size,
                                  std::initializer_list<std::pair<size_t, uint32_t>> words,
                                  size_t passwordAt = kNoPassword) {
  std::vector<uint8_t> block(size, 0);
  for (auto [at, word] : words)
    for (int i = 0; i < 4; ++i) block[at + i] = uint8_t(word >> (8 * i));
  if (passwordAt != kNoPassword) memcpy(&block[passwordAt], "secret", 6);
  return block;
}

// The total size of the letter's disk, as programs see it.
inline uint64_t TotalBytes(char letter) {
  ULARGE_INTEGER available{}, total{}, free{};
  if (!GetDiskFreeSpaceExA(Root(letter).c_str(), &available, &total, &free)) return 0;
  return total.QuadPart;
}

// The program reports the Windows version Wine reports to the test program.
class WineVersionOfTheVirtualProgram : public ::testing::Environment {
 public:
  void SetUp() override {
    const struct {
      int kind;
      const char* version;
    } versions[] = {{kWin98SE, "win98"}, {kWinME, "winme"}, {kWin2000, "win2k"}, {kWinXP, "winxp"}};
    for (const auto& v : versions)
      if (v.kind == GetWindowsKind()) SetWineVersion(kProgramName, v.version);
  }
};

}  // namespace virtualtest
