#include "WinExplorer.h"

#include <windows.h>

#include <exdisp.h>
#include <objbase.h>
#include <oleauto.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <cctype>
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
  T* Get() const { return p_; }

 private:
  T* p_ = nullptr;
};

// A shell link object with its file interface, and the file's name as the
// interface takes it; false when any of them cannot be had.
bool OpenShellLink(const std::string& file, CComPtr<IShellLinkA>& link,
                   CComPtr<IPersistFile>& persist, wchar_t (&wide)[MAX_PATH]) {
  return SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    reinterpret_cast<void**>(link.Out()))) &&
         SUCCEEDED(
             link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(persist.Out()))) &&
         MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH) != 0;
}

bool WriteShellLink(const std::string& file, const std::string& target,
                    const std::string& description, const std::string& arguments, int iconIndex) {
  CComScope com;
  CComPtr<IShellLinkA> link;
  CComPtr<IPersistFile> persist;
  wchar_t wide[MAX_PATH];
  if (!OpenShellLink(file, link, persist, wide)) return false;
  if (FAILED(link->SetPath(target.c_str())) || FAILED(link->SetDescription(description.c_str())) ||
      FAILED(link->SetWorkingDirectory(FolderOf(target).c_str())) ||
      FAILED(link->SetArguments(arguments.c_str())) ||
      FAILED(link->SetIconLocation(target.c_str(), iconIndex)))
    return false;
  return SUCCEEDED(persist->Save(wide, TRUE));
}

bool IsRegistryKind(int kind) { return kind == kWin2000 || kind == kWinXP || kind == kWinME; }

// The shell's window collection and its interface, as the system names them.
const CLSID kShellWindowsClass = {
    0x9BA05972, 0xF6A8, 0x11CF, {0xA4, 0x42, 0x00, 0xA0, 0xC9, 0x0A, 0x8F, 0x39}};
const IID kShellWindowsInterface = {
    0x85CB6900, 0x4D95, 0x11CF, {0x96, 0x0C, 0x00, 0x80, 0xC7, 0xF4, 0xEE, 0x85}};
const char kMyComputer[] = "file:///::%7B20D04FE0-3AEA-1069-A2D8-08002B30309D%7D";
constexpr LONG kNavigateFlags = 46;

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

std::string Narrow(const wchar_t* text) {
  if (text == nullptr) return std::string();
  const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return std::string();
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, &out[0], size, nullptr, nullptr);
  out.resize(static_cast<size_t>(size) - 1);
  return out;
}

void PostClose(HWND window) {
  PostMessageA(window, WM_CLOSE, 0, 0);
  PostMessageA(window, WM_QUIT, 0, 0);
  PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

// The address a browser window shows, or empty.
std::string LocationOf(IWebBrowser2* browser) {
  BSTR location = nullptr;
  if (FAILED(browser->get_LocationURL(&location))) return std::string();
  const std::string text = Narrow(location);
  SysFreeString(location);
  return text;
}

// Sends a browser window to My Computer, in its own frame.
void NavigateToMyComputer(IWebBrowser2* browser) {
  wchar_t address[sizeof kMyComputer];
  MultiByteToWideChar(CP_ACP, 0, kMyComputer, -1, address, sizeof kMyComputer);
  BSTR url = SysAllocString(address);
  BSTR frame = SysAllocString(L"_TOP");
  VARIANT flags, target, empty;
  VariantInit(&flags);
  VariantInit(&target);
  VariantInit(&empty);
  flags.vt = VT_I4;
  flags.lVal = kNavigateFlags;
  target.vt = VT_BSTR;
  target.bstrVal = frame;
  browser->Navigate(url, &flags, &target, &empty, &empty);
  SysFreeString(frame);
  SysFreeString(url);
}

BOOL CALLBACK CloseByTitle(HWND window, LPARAM letterText) {
  char className[64] = "";
  GetClassNameA(window, className, sizeof className);
  if (std::strcmp(className, "ExploreWClass") != 0 &&
      std::strcmp(className, "CabinetWClass") != 0 && std::strcmp(className, "IEFrame") != 0)
    return TRUE;
  char title[MAX_PATH] = "";
  GetWindowTextA(window, title, sizeof title);
  if (Upper(title).find(*reinterpret_cast<const std::string*>(letterText)) != std::string::npos)
    PostClose(window);
  return TRUE;
}

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

bool CWinExplorer::CreateShellLink(const std::string& file, const std::string& target,
                                   const std::string& description, const std::string& arguments,
                                   int iconIndex) {
  return WriteShellLink(file, target, description, arguments, iconIndex);
}

bool CWinExplorer::DeleteShortcut(int kind, const std::string& name) {
  const std::string folder = GetSpecialFolder(kind);
  if (folder.empty()) return false;
  return DeleteFileA((folder + "\\" + name).c_str()) != 0;
}

bool CWinExplorer::PathExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CWinExplorer::FileOperation(UINT function, const std::string& from, const std::string& to,
                                 WORD flags) {
  // Both lists end with a double NUL.
  const std::string fromList = from + std::string(2, '\0');
  const std::string toList = to + std::string(2, '\0');
  SHFILEOPSTRUCTA op{};
  op.wFunc = function;
  op.pFrom = fromList.c_str();
  op.pTo = to.empty() ? nullptr : toList.c_str();
  op.fFlags = flags;
  return SHFileOperationA(&op) == 0 && !op.fAnyOperationsAborted;
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

bool CWinExplorer::CloseShellWindows(char letter) {
  CComScope com;
  CComPtr<IUnknown> collection;
  if (FAILED(CoCreateInstance(kShellWindowsClass, nullptr, CLSCTX_ALL, IID_IUnknown,
                              reinterpret_cast<void**>(collection.Out()))))
    return false;
  CComPtr<IShellWindows> windows;
  if (FAILED(collection->QueryInterface(kShellWindowsInterface,
                                        reinterpret_cast<void**>(windows.Out()))))
    return true;  // a collection that cannot be asked: nothing to close
  long count = 0;
  // A collection that cannot count its windows cannot name them either: the
  // windows are then found by their titles, or they would keep the volume busy.
  if (FAILED(windows->get_Count(&count))) return false;
  // Explorer writes the letter in either case into its addresses.
  const std::string search = Upper(std::string(1, letter) + ":/");
  const bool closeAll = GetWindowsKind() == kWin98SE;
  int matches = 0;
  for (long i = 0; i < count; ++i) {
    VARIANT index;
    VariantInit(&index);
    index.vt = VT_I4;
    index.lVal = i;
    CComPtr<IDispatch> item;
    if (FAILED(windows->Item(index, item.Out())) || item.Get() == nullptr) continue;
    CComPtr<IWebBrowser2> browser;
    if (FAILED(item->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(browser.Out()))))
      continue;
    if (Upper(LocationOf(browser.Get())).find(search) == std::string::npos) continue;
    if (++matches == 1 && !closeAll) {
      // The window stays for the user, only away from the drive.
      NavigateToMyComputer(browser.Get());
      continue;
    }
    SHANDLE_PTR window = 0;
    if (SUCCEEDED(browser->get_HWND(&window)))
      PostClose(reinterpret_cast<HWND>(static_cast<LONG_PTR>(window)));
  }
  return true;
}

void CWinExplorer::CloseExplorerWindowsByTitle(char letter) {
  const std::string upperLetter = Upper(std::string(1, letter));
  EnumWindows(CloseByTitle, reinterpret_cast<LPARAM>(&upperLetter));
}

bool CWinExplorer::CloseExplorerWindows(char letter) {
  if (!CloseShellWindows(letter)) CloseExplorerWindowsByTitle(letter);
  // The windows need a moment to let go of the volume.
  Sleep(500);
  return true;
}

void CWinExplorer::CloseExplorerWindowsOfRoots(const char* roots) {
  for (const char* root = roots; *root != '\0'; root += std::strlen(root) + 1)
    CloseExplorerWindows(root[0]);
}

bool CWinExplorer::Open(const std::string& path, const std::string& parameters) {
  const std::string folder = FolderOf(path);
  const HINSTANCE result = ShellExecuteA(nullptr, "open", path.c_str(),
                                         parameters.empty() ? nullptr : parameters.c_str(),
                                         folder.empty() ? nullptr : folder.c_str(), SW_SHOWDEFAULT);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

bool CWinExplorer::OpenStringResource(UINT stringId) {
  if (stringId == 0) return false;
  return Open(CStringLoader::LoadString(stringId), std::string());
}

bool CWinExplorer::ResolveShortcut(const std::string& path, ShortcutInfo& info) {
  const std::string file = path.find(".lnk") == std::string::npos ? path + ".lnk" : path;
  CComScope com;
  CComPtr<IShellLinkA> link;
  CComPtr<IPersistFile> persist;
  wchar_t wide[MAX_PATH];
  if (!OpenShellLink(file, link, persist, wide) || FAILED(persist->Load(wide, STGM_READ)))
    return false;
  // Each text as the link's own buffers have always been: 520 bytes.
  char text[520] = "";
  info = ShortcutInfo();
  if (SUCCEEDED(link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH))) info.target = text;
  text[0] = '\0';
  if (SUCCEEDED(link->GetArguments(text, sizeof text))) info.arguments = text;
  text[0] = '\0';
  if (SUCCEEDED(link->GetDescription(text, sizeof text))) info.description = text;
  text[0] = '\0';
  if (SUCCEEDED(link->GetIconLocation(text, sizeof text, &info.iconIndex)))
    info.iconLocation = text;
  return true;
}

std::string CWinExplorer::SystemMessage(DWORD code) {
  char text[1024] = "";
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, code, LANG_USER_DEFAULT, text, sizeof text, nullptr);
  return std::string(text, length);
}

bool CWinExplorer::GetDiskSpace(const std::string& root, ULARGE_INTEGER& freeBytes,
                                ULARGE_INTEGER& totalBytes) {
  ULARGE_INTEGER available{};
  if (GetDiskFreeSpaceExA(root.c_str(), &available, &totalBytes, &freeBytes)) return true;
  freeBytes.LowPart = totalBytes.LowPart = 0;
  freeBytes.HighPart = totalBytes.HighPart = 0xFFFFFFFFu;
  return false;
}
