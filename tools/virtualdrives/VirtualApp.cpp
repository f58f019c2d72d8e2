#include "VirtualApp.h"

#include <windows.h>

#include <string>

#include "PlugWindow.h"
#include "VirtualDrives.h"

namespace {

std::string Variable(const char* name) {
  char value[4096] = "";
  const DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
  return length > 0 && length < sizeof value ? value : std::string();
}

}  // namespace

CVirtualApp::CVirtualApp() = default;

CVirtualApp::~CVirtualApp() = default;

void CVirtualApp::PrepareEnvironment() {
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, sizeof self);
  std::string folder = self;
  folder = folder.substr(0, folder.rfind('\\'));
  if (CVirtualDrives::FolderFromEnvironment().empty())
    SetEnvironmentVariableA(CVirtualDrives::kFolderVariable, (folder + "\\VirtualDrives").c_str());
  // The installed copy has no ASPI library beside it: the build's is found
  // through the search path. Under Wine ours must win over the built-in one.
  if (GetFileAttributesA((folder + "\\wnaspi32.dll").c_str()) != INVALID_FILE_ATTRIBUTES)
    SetEnvironmentVariableA("PATH", (folder + ";" + Variable("PATH")).c_str());
  if (Variable("WINEDLLOVERRIDES").empty()) SetEnvironmentVariableA("WINEDLLOVERRIDES", "wnaspi32=n");
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
