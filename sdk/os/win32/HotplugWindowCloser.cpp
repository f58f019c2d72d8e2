#include "HotplugWindowCloser.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "PDKClock.h"

namespace pdkos {

namespace {

constexpr const char* kLibraryName = "hotplug.dll";
constexpr WORD kRemovalDialogId = 330;
// The style of an extended dialog template follows its version, signature,
// help id and extended style.
constexpr size_t kStyleOffset = 12;
constexpr size_t kCaptionChars = 256;

constexpr const char* kSettingsChangeTitle = "System Settings Change";
constexpr const char* kNoButtonText = "&No";
constexpr const char* kNewHardwareTitle = "Found New Hardware Wizard";
constexpr uint32_t kWaitMs = 20;
// Where the click lands inside the button.
constexpr WPARAM kClickKeys = 5;
constexpr LPARAM kClickPoint = 5;

struct LibraryDeleter {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using Library = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryDeleter>;

struct WindowDeleter {
  void operator()(HWND window) const { DestroyWindow(window); }
};
using Window = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDeleter>;

// The dialog only has to exist long enough to answer its text.
INT_PTR CALLBACK silentDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// The localised caption of the unsafe-removal notice, or an empty text.
std::string removalCaption() {
  char directory[MAX_PATH];
  const UINT length = GetSystemDirectoryA(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  const std::string path = std::string(directory) + "\\" + kLibraryName;

  Library library(LoadLibraryA(path.c_str()));
  if (!library) return {};
  HRSRC resource = FindResourceA(library.get(), MAKEINTRESOURCEA(kRemovalDialogId), RT_DIALOG);
  if (resource == nullptr) return {};
  const DWORD size = SizeofResource(library.get(), resource);
  HGLOBAL loaded = LoadResource(library.get(), resource);
  const void* locked = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (locked == nullptr || size < kStyleOffset + sizeof(DWORD)) return {};

  // A locked resource is read-only: the style is changed in a copy, kept
  // DWORD-aligned as a template must be. Without WS_VISIBLE the dialog never
  // flashes up on the screen.
  std::vector<DWORD> copy((size + sizeof(DWORD) - 1) / sizeof(DWORD));
  std::memcpy(copy.data(), locked, size);
  auto* bytes = reinterpret_cast<unsigned char*>(copy.data());
  DWORD style;
  std::memcpy(&style, bytes + kStyleOffset, sizeof(style));
  style &= ~DWORD(WS_VISIBLE);
  std::memcpy(bytes + kStyleOffset, &style, sizeof(style));

  Window dialog(CreateDialogIndirectParamA(
      library.get(), reinterpret_cast<LPCDLGTEMPLATEA>(copy.data()), nullptr, silentDialogProc, 0));
  if (!dialog) return {};
  ShowWindow(dialog.get(), SW_HIDE);
  char text[kCaptionChars + 1] = {};
  const int n = GetWindowTextA(dialog.get(), text, int(sizeof(text)));
  return n > 0 ? std::string(text, size_t(n)) : std::string();
}

void postClose(HWND window) { PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); }

// The first top-level window titled `title` that has not been given up.
HWND findWindow(const char* title, const std::vector<HWND>& givenUp) {
  HWND window = nullptr;
  while ((window = FindWindowExA(nullptr, window, nullptr, title)) != nullptr) {
    if (std::find(givenUp.begin(), givenUp.end(), window) == givenUp.end()) return window;
  }
  return nullptr;
}

// Runs `round` on the windows titled `title` until none is left, within the
// limits on rounds; true when a window it worked on went away.
template <typename Round>
bool closeAll(const char* title, Round round) {
  std::vector<std::pair<HWND, unsigned>> rounds;
  std::vector<HWND> givenUp;
  for (unsigned total = 0; total < CHotplugWindowCloser::kRoundsPerTitle; ++total) {
    HWND window = findWindow(title, givenUp);
    if (window == nullptr) break;
    auto seen = std::find_if(rounds.begin(), rounds.end(),
                             [window](const auto& entry) { return entry.first == window; });
    if (seen == rounds.end()) {
      rounds.emplace_back(window, 0u);
      seen = rounds.end() - 1;
    }
    if (++seen->second >= CHotplugWindowCloser::kRoundsPerWindow) givenUp.push_back(window);
    round(window);
  }
  return std::any_of(rounds.begin(), rounds.end(),
                     [](const auto& entry) { return IsWindow(entry.first) == FALSE; });
}

}  // namespace

CHotplugWindowCloser::CHotplugWindowCloser() : m_caption(kEnglishCaption) {
  // An empty caption would match every untitled window on the desktop.
  std::string localised = removalCaption();
  if (!localised.empty()) m_caption = std::move(localised);
}

bool CHotplugWindowCloser::close() {
  // The restart prompt does not always take the close request; then its "No"
  // button is clicked.
  const bool settings = closeAll(kSettingsChangeTitle, [](HWND window) {
    postClose(window);
    pdkos::sleep(kWaitMs);
    if (IsWindow(window) == FALSE) return;
    HWND no = FindWindowExA(window, nullptr, nullptr, kNoButtonText);
    if (no != nullptr) {
      PostMessageA(no, WM_LBUTTONDBLCLK, kClickKeys, kClickPoint);
      PostMessageA(no, WM_LBUTTONUP, kClickKeys, kClickPoint);
    }
    pdkos::sleep(kWaitMs);
  });
  const auto closeWindow = [](HWND window) {
    postClose(window);
    pdkos::sleep(kWaitMs);
  };
  const bool removal = closeAll(m_caption.c_str(), closeWindow);
  const bool hardware = closeAll(kNewHardwareTitle, closeWindow);
  return settings || removal || hardware;
}

}  // namespace pdkos
