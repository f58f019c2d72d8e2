#include "VirtualApp.h"

#include <windows.h>

#include <string>

#include "EmuAspiLibrary.h"
#include "PlugWindow.h"
#include "VirtualDrives.h"

namespace {

const char kRememberedKey[] = "Software\\TovikVirtual";

}  // namespace

CVirtualApp::CVirtualApp() = default;

CVirtualApp::~CVirtualApp() = default;

void CVirtualApp::PrepareEnvironment() {
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, sizeof self);
  const std::string folder = std::string(self).substr(0, std::string(self).rfind('\\'));
  const std::string library = folder + "\\" + emu::kAspiLibraryName;
  // Started from the build (the ASPI library lies beside it), the program
  // remembers where its drives and the library are, so that the installed
  // copy finds them when it is started by itself, from a shortcut say.
  const bool fromBuild = GetFileAttributesA(library.c_str()) != INVALID_FILE_ATTRIBUTES;
  const struct {
    const char* variable;
    const char* value;
    std::string beside;
  } places[] = {{CVirtualDrives::kFolderVariable, "Drives", folder + "\\VirtualDrives"},
                {CVirtualDrives::kAspiVariable, "AspiLibrary", fromBuild ? library : ""}};
  HKEY key = nullptr;
  RegCreateKeyExA(HKEY_CURRENT_USER, kRememberedKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                  nullptr, &key, nullptr);
  for (const auto& place : places) {
    std::string value = CVirtualDrives::Variable(place.variable);
    if (value.empty() && fromBuild) value = place.beside;
    char remembered[MAX_PATH] = "";
    DWORD size = sizeof remembered - 1;
    if (value.empty() && key != nullptr &&
        RegQueryValueExA(key, place.value, nullptr, nullptr, reinterpret_cast<BYTE*>(remembered),
                         &size) == ERROR_SUCCESS) {
      value = remembered;
    }
    if (value.empty()) value = place.beside;
    if (value.empty()) continue;
    SetEnvironmentVariableA(place.variable, value.c_str());
    if (fromBuild && key != nullptr) {
      RegSetValueExA(key, place.value, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     DWORD(value.size() + 1));
    }
  }
  if (key != nullptr) RegCloseKey(key);
  // Under Wine ours must win over the built-in one.
  if (CVirtualDrives::Variable("WINEDLLOVERRIDES").empty())
    SetEnvironmentVariableA("WINEDLLOVERRIDES", "wnaspi32=n");
}

void CVirtualApp::RunMainWindow() {
  drives_ = std::make_unique<CVirtualDrives>(CVirtualDrives::FolderFromEnvironment());
  {
    CPlugWindow plug(*drives_);
    plug.Create();
    CKestovaApp::RunMainWindow();
  }
  drives_->SaveAll();
}
