#include "WineDriveLetters.h"

#include <windows.h>

#include <cctype>
#include <cstdlib>

#include "WinExplorer.h"

namespace {

// Wine's own export: the host path of a Windows path, on the process heap.
using UnixFileNameFn = char*(CDECL*)(LPCWSTR);

UnixFileNameFn UnixFileName() {
  return reinterpret_cast<UnixFileNameFn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

bool CWineDriveLetters::Available() { return UnixFileName() != nullptr; }

std::string CWineDriveLetters::HostPath(const std::string& path) {
  const UnixFileNameFn convert = UnixFileName();
  if (convert == nullptr) return std::string();
  std::wstring wide(path.size() + 1, L'\0');
  const int length =
      MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], int(wide.size()));
  if (length == 0) return std::string();
  char* host = convert(wide.c_str());
  if (host == nullptr) return std::string();
  std::string result = host;
  HeapFree(GetProcessHeap(), 0, host);
  while (result.size() > 1 && result.back() == '/') result.pop_back();
  return result;
}

std::string CWineDriveLetters::LinkPath(char letter) {
  // Drive C: is always there: its host path is "<prefix>/dosdevices/c:/".
  const std::string c = HostPath("C:\\");
  const auto slash = c.rfind('/');
  if (slash == std::string::npos) return std::string();
  return c.substr(0, slash + 1) +
         char(std::tolower(static_cast<unsigned char>(letter))) + ":";
}

bool CWineDriveLetters::RunHost(const std::string& commandLine) {
  std::string line = commandLine;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  // Wine gives no handle of a host program: whether it did its work is seen
  // on the letter itself.
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return false;
  }
  if (process.hProcess != nullptr) CloseHandle(process.hProcess);
  if (process.hThread != nullptr) CloseHandle(process.hThread);
  return true;
}

std::string CWineDriveLetters::ShellWord(const std::string& text) {
  std::string word = "'";
  for (char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

int CWineDriveLetters::RunHostScript(const std::string& script, const std::string& folder) {
  // Unique per call: the SDK's thread may run one while the window's does.
  static LONG counter = 0;
  const std::string name = "host-" + std::to_string(GetCurrentProcessId()) + "-" +
                           std::to_string(InterlockedIncrement(&counter)) + ".status";
  const std::string status = folder + "\\" + name;
  const std::string hostFolder = HostPath(folder);
  if (hostFolder.empty()) return -1;
  const std::string hostStatus = ShellWord(hostFolder + "/" + name);
  // Written aside and moved in place, so that the file is whole once it is there.
  const std::string line = "/bin/sh -c \"(" + script + "); echo $? >" + hostStatus +
                           ".part && mv " + hostStatus + ".part " + hostStatus + "\"";
  if (script.find('"') != std::string::npos || !RunHost(line)) return -1;
  const DWORD start = GetTickCount();
  while (GetFileAttributesA(status.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount() - start >= kScriptWaitMs) return -1;
    Sleep(10);
  }
  char code[16] = "";
  DWORD read = 0;
  const HANDLE file = CreateFileA(status.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    ReadFile(file, code, sizeof code - 1, &read, nullptr);
    CloseHandle(file);
  }
  DeleteFileA(status.c_str());
  return read > 0 ? std::atoi(code) : -1;
}

bool CWineDriveLetters::Exists(char letter) {
  const char root[] = {letter, ':', '\\', '\0'};
  return GetFileAttributesA(root) != INVALID_FILE_ATTRIBUTES;
}

bool CWineDriveLetters::WaitFor(char letter, bool present) {
  const DWORD start = GetTickCount();
  while (Exists(letter) != present) {
    if (GetTickCount() - start >= kWaitMs) return false;
    Sleep(10);
  }
  return true;
}

bool CWineDriveLetters::Link(char letter, const std::string& folder) {
  if (!CWinExplorer::CreateFolderWithParents(folder)) return false;
  const std::string target = HostPath(folder);
  const std::string link = LinkPath(letter);
  if (target.empty() || link.empty()) return false;
  // Gone first, so that its coming back tells the new link is in place.
  return Unlink(letter) && RunHost("/bin/ln -sfn " + Quoted(target) + " " + Quoted(link)) &&
         WaitFor(letter, true);
}

bool CWineDriveLetters::Unlink(char letter) {
  if (!Exists(letter)) return true;
  const std::string link = LinkPath(letter);
  return !link.empty() && RunHost("/bin/rm -f " + Quoted(link)) && WaitFor(letter, false);
}
