#include "AppSettings.h"

#include <windows.h>

#include <shlobj.h>

#include <cstdint>
#include <string>
#include <vector>

#include "GUI/Trace.h"
#include "ProfileText.h"
#include "WinExplorer.h"

namespace {

std::string& PathStore() {
  static std::string path;
  return path;
}

std::string& RunningStore() {
  static std::string path;
  return path;
}

// Whether two paths name one file (any letter case, short or long names).
bool SameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION info[2]{};
  const std::string* paths[2] = {&a, &b};
  for (int i = 0; i < 2; ++i) {
    const HANDLE file =
        CreateFileA(paths[i]->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const BOOL ok = GetFileInformationByHandle(file, &info[i]);
    CloseHandle(file);
    if (!ok) return false;
  }
  return info[0].dwVolumeSerialNumber == info[1].dwVolumeSerialNumber &&
         info[0].nFileIndexHigh == info[1].nFileIndexHigh &&
         info[0].nFileIndexLow == info[1].nFileIndexLow;
}

}  // namespace

CAppSettings::CAppSettings() {
  if (PathStore().empty()) {
    char folder[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof folder, folder);
    PathStore() = std::string(folder) + "\\Tovik.ini";
  }
}

std::string CAppSettings::SectionName() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string name(path);
  const auto slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const auto dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

std::string CAppSettings::ReadProfileValue(const std::string& file, const char* section,
                                           const char* key, size_t bufferSize,
                                           const char* cutWarning) {
  // Read with room to spare, so a value that does not fit the buffer shows
  // as longer than it, however the system counts a cut value.
  std::vector<char> buffer(4 * bufferSize, '\0');
  const DWORD read = GetPrivateProfileStringA(section, key, "", buffer.data(),
                                              static_cast<DWORD>(buffer.size()), file.c_str());
  bool cut = false;
  std::string value = CProfileText::Fit(std::string(buffer.data(), read), bufferSize, cut);
  if (cut) OutputDebugStringA(cutWarning);
  return value;
}

std::string CAppSettings::ReadSettingString(const std::string& key) const {
  return ReadProfileValue(PathStore(), SectionName().c_str(), key.c_str(), kReadBufferSize,
                          "GetPrivateProfileString - worning value larger then buffer.");
}

int CAppSettings::ReadSetting(const std::string& key) const {
  return CProfileText::Number(ReadSettingString(key));
}

void CAppSettings::WriteSetting(const std::string& key, long value) const {
  WriteSettingString(key, CProfileText::Decimal(static_cast<int32_t>(value)));
}

void CAppSettings::WriteSettingString(const std::string& key, const std::string& text) const {
  WritePrivateProfileStringA(SectionName().c_str(), key.c_str(), text.c_str(), PathStore().c_str());
}

std::string CAppSettings::SettingsPath() { return PathStore(); }
void CAppSettings::SetSettingsPath(const std::string& path) { PathStore() = path; }

bool CAppSettings::SettingsFileExists() {
  return GetFileAttributesA(PathStore().c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string CAppSettings::InstallFolder() {
  std::string folder = CWinExplorer::GetSpecialFolder(CSIDL_APPDATA);
  if (folder.empty()) {
    char temp[MAX_PATH] = "";
    GetTempPathA(sizeof temp, temp);
    folder = temp;
    // The temporary folder comes with its trailing separator.
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  }
  return folder + "\\Tovik";
}

std::string CAppSettings::RunningProgramPath() { return RunningStore(); }

int CAppSettings::CopyApplication(const std::string& programPath) {
  const std::string installFolder = InstallFolder();
  const auto slash = programPath.rfind('\\');
  const std::string programFolder =
      slash == std::string::npos ? std::string() : programPath.substr(0, slash);
  const std::string fileName =
      slash == std::string::npos ? "\\" + programPath : programPath.substr(slash);
  PathStore() = installFolder + "\\Tovik.ini";
  if (installFolder == programFolder) {
    RunningStore() = programPath;
    return 1;
  }
  const std::string installed = installFolder + fileName;
  // The folder test is exact, so the installed program started through a
  // differently cased path lands here: copying a file onto itself fails
  // (or empties it), and the program would refuse to start. It already runs
  // from its install folder.
  if (SameFile(programPath, installed)) {
    RunningStore() = programPath;
    return 1;
  }
  CWinExplorer::CreateFolderWithParents(installFolder);
  if (GetFileAttributesA(installed.c_str()) != INVALID_FILE_ATTRIBUTES)
    SetFileAttributesA(installed.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!CopyFileA(programPath.c_str(), installed.c_str(), FALSE)) {
    TraceError(__FILE__, __LINE__, "CopyApplication");
    return -1;
  }
  RunningStore() = installed;
  return 2;
}
