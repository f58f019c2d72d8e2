// Shared pieces of the program's process tests: Tovik.exe started as a real
// process under Wine from its install folder (or from elsewhere), the
// windows of a process found by class and caption, their texts read and
// their buttons pressed from this process, as a user's clicks would.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "AppSettings.h"
#include "StringLoader.h"
#include "ShellTestSupport.h"
#include "WinExplorer.h"

namespace processtest {

// How long a test waits for something another process does by itself.
constexpr DWORD kLimitMs = 20000;

// The running instance's main window, and the classes of dialogs and menus.
constexpr char kCaption[] = "Pakkeo Dialog";
constexpr char kBoxClass[] = "#32770";
constexpr char kMenuClass[] = "#32768";

// A text of the program as it shows in English.
inline std::string Text(UINT id) { return CStringLoader::LoadString(id, CStringLoader::kEnglish); }

inline bool WaitUntil(const std::function<bool()>& done, DWORD limitMs = kLimitMs) {
  const DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start >= limitMs) return false;
    Sleep(20);
  }
  return true;
}

inline std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('\\')); }

// The Tovik.exe the build made, beside this test program.
inline std::string BuiltProgram() {
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, sizeof self);
  return FolderOf(self) + "\\Tovik.exe";
}

inline std::string InstallFolder() { return CAppSettings::InstallFolder(); }
inline std::string InstalledProgram() { return InstallFolder() + "\\Tovik.exe"; }
inline std::string InstalledSettings() { return InstallFolder() + "\\Tovik.ini"; }

// The settings as the install wizard leaves them, but without the splash
// (it only costs a second per start) and with `visual` for the views, in the
// section of the program file's name.
inline void WriteInstalledSettings(int visual = 1, const char* section = "Tovik") {
  const std::string file = InstalledSettings();
  const struct {
    const char* key;
    int value;
  } values[] = {{"StartupLoad", 0},        {"AutorunEnabled", 0}, {"VisualIndication", visual},
                {"AudioIndication", 0},    {"SplashScreen", 0},   {"AlwaysOntop", 1},
                {"SelectedLanguage", 1033}};
  for (const auto& v : values) {
    WritePrivateProfileStringA(section, v.key, std::to_string(v.value).c_str(), file.c_str());
  }
}

// Packs a product version as the version exchange does.
inline void Pack(const uint16_t v[4], uint32_t& high, uint32_t& low) {
  high = (uint32_t(v[0]) << 16) | v[1];
  low = (uint32_t(v[2]) << 16) | v[3];
}

// Rewrites the product version in the fixed part of a program file's
// version resource (the numbers the version exchange compares).
inline bool PatchProductVersion(const std::string& path, const uint16_t version[4]) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const DWORD size = GetFileSize(file, nullptr);
  std::vector<unsigned char> bytes(size);
  DWORD got = 0;
  ReadFile(file, bytes.data(), size, &got, nullptr);
  bool patched = false;
  // VS_FIXEDFILEINFO: signature, struct version, file version (2 DWORDs),
  // product version (2 DWORDs): MS = major << 16 | minor, LS = build << 16 | revision.
  for (DWORD i = 0; i + 24 <= got; i += 4) {
    uint32_t signature = 0;
    memcpy(&signature, &bytes[i], 4);
    if (signature != 0xFEEF04BD) continue;
    uint32_t high = 0, low = 0;
    Pack(version, high, low);
    memcpy(&bytes[i + 16], &high, 4);
    memcpy(&bytes[i + 20], &low, 4);
    patched = true;
    break;
  }
  DWORD written = 0;
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  if (patched) WriteFile(file, bytes.data(), got, &written, nullptr);
  CloseHandle(file);
  return patched && written == got;
}

// One started program; the handles close with the object.
class Process {
 public:
  Process() = default;
  Process(const std::string& program, const std::string& arguments) { Start(program, arguments); }
  // A process this test did not start, by its id.
  explicit Process(DWORD pid) {
    info_.hProcess =
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, pid);
    info_.dwProcessId = pid;
  }
  ~Process() {
    if (info_.hProcess != nullptr) {
      // A test that failed midway must not leave a running instance behind.
      if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT)
        TerminateProcess(info_.hProcess, 9);
      CloseHandle(info_.hProcess);
      if (info_.hThread != nullptr) CloseHandle(info_.hThread);
    }
  }
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  bool Start(const std::string& program, const std::string& arguments) {
    std::string line = "\"" + program + "\"";
    if (!arguments.empty()) line += " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    const std::string folder = FolderOf(program);
    return CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr,
                          folder.c_str(), &startup, &info_) != FALSE;
  }
  // Lets the process go on by itself: the handles close, the process stays.
  void Detach() {
    if (info_.hProcess != nullptr) CloseHandle(info_.hProcess);
    if (info_.hThread != nullptr) CloseHandle(info_.hThread);
    info_ = PROCESS_INFORMATION{};
  }
  DWORD Id() const { return info_.dwProcessId; }
  bool Running() const {
    return info_.hProcess != nullptr && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
  }
  // Whether it ended within the limit.
  bool WaitExit(DWORD limitMs = kLimitMs) const {
    return info_.hProcess != nullptr &&
           WaitForSingleObject(info_.hProcess, limitMs) == WAIT_OBJECT_0;
  }
  DWORD ExitCode() const {
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
  }

 private:
  PROCESS_INFORMATION info_{};
};

// A top-level window of process `pid` (any process for 0) whose class and
// caption match (null matches any), visible only when `visible` says so.
inline HWND FindWindowOf(DWORD pid, const char* className, const char* caption,
                         bool visibleOnly = false) {
  struct Search {
    DWORD pid;
    const char* className;
    const char* caption;
    bool visibleOnly;
    HWND found;
  } search{pid, className, caption, visibleOnly, nullptr};
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (s->pid != 0 && owner != s->pid) return TRUE;
        if (s->visibleOnly && !IsWindowVisible(window)) return TRUE;
        char text[256] = "";
        if (s->className != nullptr) {
          GetClassNameA(window, text, sizeof text);
          if (std::string(text) != s->className) return TRUE;
        }
        if (s->caption != nullptr) {
          GetWindowTextA(window, text, sizeof text);
          if (std::string(text) != s->caption) return TRUE;
        }
        s->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

inline HWND WaitForWindow(DWORD pid, const char* className, const char* caption,
                          bool visibleOnly = false, DWORD limitMs = kLimitMs) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindWindowOf(pid, className, caption, visibleOnly)) != nullptr; },
            limitMs);
  return found;
}

inline DWORD ProcessOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

inline std::string TextOf(HWND window) {
  char text[1024] = "";
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 5000, nullptr);
  return text;
}

// The texts of every child of `window`, in z order.
inline std::vector<std::string> ChildTexts(HWND window) {
  std::vector<std::string> texts;
  for (HWND child = GetWindow(window, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    texts.push_back(TextOf(child));
  }
  return texts;
}

inline bool HasChildText(HWND window, const std::string& text) {
  for (const std::string& t : ChildTexts(window))
    if (t == text) return true;
  return false;
}

// A click on button `id` of a dialog of another process.
inline void Press(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

inline void EmptyFolder(const std::string& folder) {
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    const std::string path = folder + "\\" + name;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      EmptyFolder(path);
      RemoveDirectoryA(path.c_str());
    } else {
      DeleteFileA(path.c_str());
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

// A folder of its own in the temporary folder, empty.
inline std::string Scratch(const std::string& name) {
  char temp[MAX_PATH] = "";
  GetTempPathA(sizeof temp, temp);
  const std::string folder = std::string(temp) + "tovik_program\\" + name;
  CWinExplorer::CreateFolderWithParents(folder);
  EmptyFolder(folder);
  return folder;
}

// The Windows version Wine reports to the program file of this name.
inline void SetWineVersion(const std::string& program, const std::string& version) {
  const std::string key = "Software\\Wine\\AppDefaults\\" + program;
  HKEY handle = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                      &handle, nullptr) != ERROR_SUCCESS) {
    return;
  }
  RegSetValueExA(handle, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                 DWORD(version.size() + 1));
  RegCloseKey(handle);
}

// Whatever instance still runs ends as at a log-off.
inline void QuitRunning() {
  HWND running = FindWindowA(nullptr, kCaption);
  if (running == nullptr) return;
  DWORD pid = 0;
  GetWindowThreadProcessId(running, &pid);
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  DWORD_PTR answer = 0;
  SendMessageTimeoutA(running, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
  // Its program file is free again only once the process has ended.
  if (process != nullptr) {
    WaitForSingleObject(process, kLimitMs);
    CloseHandle(process);
  }
}

}  // namespace processtest
