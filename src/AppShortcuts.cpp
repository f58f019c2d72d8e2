#include "AppShortcuts.h"

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include "StringLoader.h"
#include "WinExplorer.h"
#include "strings.h"

const int CAppShortcuts::kDesktop = CSIDL_DESKTOPDIRECTORY;
const int CAppShortcuts::kStartMenu = CWinExplorer::kProgramGroup;

bool CAppShortcuts::Create(int kind, const std::string& programPath) {
  if (kind == kStartMenu &&
      !CWinExplorer::CreateFolderWithParents(CWinExplorer::GetSpecialFolder(kind))) {
    return false;
  }
  return CWinExplorer::CreateShortcut(kind, programPath, kShortcutName,
                                      CStringLoader::LoadString(IDS_SHORTCUT_DESCRIPTION), "", 0);
}

bool CAppShortcuts::CreateUninstall(const std::string& programPath) {
  if (!CWinExplorer::CreateFolderWithParents(CWinExplorer::GetSpecialFolder(kStartMenu))) {
    return false;
  }
  return CWinExplorer::CreateShortcut(kStartMenu, programPath, kUninstallName,
                                      CStringLoader::LoadString(IDS_UNINSTALL_DESCRIPTION),
                                      "/UNINSTALL", 1);
}

bool CAppShortcuts::Exists(int kind) {
  return CWinExplorer::ShortcutExists(kind, std::string("\\") + kShortcutName);
}

bool CAppShortcuts::Delete(int kind) {
  const std::string folder = CWinExplorer::GetSpecialFolder(kind);
  if (folder.empty()) return false;
  return CWinExplorer::FileOperation(FO_DELETE, folder + "\\" + kShortcutName, std::string(),
                                     FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT) &&
         !Exists(kind);
}
