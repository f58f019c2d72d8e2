#include "WinExplorer.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstring>

#include "StringLoader.h"
#include "WindowsKind.h"
#include "res/strings.h"

namespace {

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunValue[] = "Tovik";
const char kStartupShortcut[] = "Tovik Control Panel.lnk";

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// COM for the calling thread for as long as one shell-link operation takes.
class CComScope {
 public:
  CComScope() : hr_(CoInitialize(nullptr)) {}
  ~CComScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  CComScope(const CComScope&) = delete;
  CComScope& operator=(const CComScope&) = delete;

 private:
  HRESULT hr_;
};

template <typename T>
class CComPtr {
 public:
  CComPtr() = default;
  ~CComPtr() {
    if (p_ != nullptr) p_->Release();
  }
  CComPtr(const CComPtr&) = delete;
  CComPtr& operator=(const CComPtr&) = delete;
  T** Out() { return &p_; }
  T* operator->() const { return p_; }

 private:
  T* p_ = nullptr;
};

bool WriteShellLink(const std::string& file, const std::string& target,
                    const std::string& description, const std::string& arguments, int iconIndex) {
  CComScope com;
  CComPtr<IShellLinkA> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(link.Out()))))
    return false;
  if (FAILED(link->SetPath(target.c_str())) || FAILED(link->SetDescription(description.c_str())) ||
      FAILED(link->SetWorkingDirectory(FolderOf(target).c_str())) ||
      FAILED(link->SetArguments(arguments.c_str())) ||
      FAILED(link->SetIconLocation(target.c_str(), iconIndex)))
    return false;
  CComPtr<IPersistFile> persist;
  if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(persist.Out()))))
    return false;
  wchar_t wide[MAX_PATH];
  if (MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH) == 0) return false;
  return SUCCEEDED(persist->Save(wide, TRUE));
}

bool IsRegistryKind(int kind) { return kind == kWin2000 || kind == kWinXP || kind == kWinME; }

}  // namespace

std::string CWinExplorer::GetSpecialFolder(int kind) {
  switch (kind) {
    case 2:
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
    case 11:
    case 13:
    case 16:
    case 21:
    case 26:
    case 34:
    case 39: {
      char path[MAX_PATH] = "";
      if (!SHGetSpecialFolderPathA(nullptr, path, kind, FALSE)) return std::string();
      return path;
    }
    case kProgramGroup: {
      const std::string programs = GetSpecialFolder(CSIDL_PROGRAMS);
      return programs.empty() ? programs : programs + "\\Ortavel";
    }
    case kQuickLaunch: {
      const std::string appData = GetSpecialFolder(CSIDL_APPDATA);
      return appData.empty() ? appData : appData + "\\Microsoft\\Internet Explorer\\Quick Launch";
    }
    default:
      return std::string();
  }
}

bool CWinExplorer::CreateFolderWithParents(const std::string& folder) {
  if (folder.empty()) return false;
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  const std::string parent = FolderOf(folder);
  // A drive root ("C:") or a share has no parent to make.
  if (!parent.empty() && parent.back() != ':' && parent != "\\" && !CreateFolderWithParents(parent))
    return false;
  return CreateDirectoryA(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool CWinExplorer::CreateShortcut(int kind, const std::string& target, const std::string& name,
                                  const std::string& description, const std::string& arguments,
                                  int iconIndex) {
  const std::string folder = GetSpecialFolder(kind);
  if (folder.empty()) return false;
  return WriteShellLink(folder + "\\" + name, target, description, arguments, iconIndex);
}

bool CWinExplorer::DeleteShortcut(int kind, const std::string& name) {
  const std::string folder = GetSpecialFolder(kind);
  if (folder.empty()) return false;
  return DeleteFileA((folder + "\\" + name).c_str()) != 0;
}

bool CWinExplorer::ShortcutExists(int kind, const std::string& name) {
  const std::string folder = GetSpecialFolder(kind);
  if (folder.empty()) return false;
  return GetFileAttributesA((folder + name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CWinExplorer::AddStartupEntry(const std::string& programPath) {
  const int kind = GetWindowsKind();
  if (IsRegistryKind(kind)) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
      return false;
    // The value is kept to the 256 bytes the entry has always had: a longer
    // path is cut rather than read past its buffer.
    char value[256];
    std::snprintf(value, sizeof value, "%s", programPath.c_str());
    const LONG result =
        RegSetValueExA(key, kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                       static_cast<DWORD>(std::strlen(value)));
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
  }
  if (kind == kWin98SE) CreateShortcut(CSIDL_STARTUP, programPath, kStartupShortcut, "", "", 0);
  return false;
}

bool CWinExplorer::RemoveStartupEntry() {
  const int kind = GetWindowsKind();
  if (IsRegistryKind(kind)) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
      return false;
    const LONG result = RegDeleteValueA(key, kRunValue);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
  }
  if (kind == kWin98SE) DeleteShortcut(CSIDL_STARTUP, kStartupShortcut);
  return false;
}

bool CWinExplorer::SetDriveIcon(char letter, const std::string& file, unsigned index) {
  char number[16];
  std::snprintf(number, sizeof number, "%u", index & 0xFFFFu);
  const std::string value = file + "," + number;
  const int kind = GetWindowsKind();
  const std::string base =
      (kind == kWin2000 || kind == kWinME)
          ? "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MountPoints\\"
          : "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\DriveIcons\\";
  const std::string keyPath = base + letter + "\\DefaultIcon";
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return false;
  const LONG result =
      RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
  RegCloseKey(key);
  if (result != ERROR_SUCCESS) return false;
  // Explorer redraws the drive once told that the file's image changed.
  SHFILEINFOA info{};
  SHGetFileInfoA(file.c_str(), 0, &info, sizeof info, SHGFI_SYSICONINDEX);
  SHChangeNotify(SHCNE_UPDATEIMAGE, SHCNF_DWORD,
                 reinterpret_cast<LPCVOID>(static_cast<DWORD_PTR>(info.iIcon)), nullptr);
  return true;
}

std::string CWinExplorer::SendToShortcutName(char letter) {
  return CStringLoader::LoadString(IDS_SENDTO_PREFIX) + letter + ".lnk";
}

bool CWinExplorer::CreateSendToShortcut(char letter) {
  return CreateShortcut(CSIDL_SENDTO, std::string(1, letter) + ":\\", SendToShortcutName(letter),
                        "", "", 0);
}

bool CWinExplorer::DeleteSendToShortcut(char letter) {
  return DeleteShortcut(CSIDL_SENDTO, SendToShortcutName(letter));
}
