#include "PersonalFolders.h"

#include <shlwapi.h>

#include <cstring>
#include <vector>

#include "GUI/Application.h"
#include "GUI/GUIMessageBoxDlg.h"
#include "PDKProxy.h"
#include "ResourceFile.h"
#include "StringLoader.h"
#include "WinExplorer.h"
#include "resource.h"
#include "strings.h"

namespace {

constexpr DWORD kFileAttributes =
    FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;
constexpr DWORD kPlainFolderAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM;
constexpr DWORD kMaxTemplateBytes = 32765;

const char kPlainDescription[] =
    "[ExtShellFolderViews]\r\n Default={5984FFE0-28D4-11CF-AE66-08002B2E1262}\r\n "
    "{5984FFE0-28D4-11CF-AE66-08002B2E1262}={5984FFE0-28D4-11CF-AE66-08002B2E1262}\r\n\r\n "
    "[{5984FFE0-28D4-11CF-AE66-08002B2E1262}]\r\n PersistMoniker=file://Folder.htt\r\n\r\n "
    "[.ShellClassInfo]\r\nConfirmFileOp=0";
const char kPersonalDescription[] =
    "[.ShellClassInfo]\r\n IconFile=icon.ico\r\n IconIndex=0\r\n ConfirmFileOp=0 \r\n "
    "InfoTip=Stores your frequently accessed documents, graphics, and other files.\r\n "
    "[ExtShellFolderViews]\r\n "
    "{BE098140-A513-11D0-A3A4-00C04FD706EC}={BE098140-A513-11D0-A3A4-00C04FD706EC}\r\n "
    "{5984FFE0-28D4-11CF-AE66-08002B2E1262}={5984FFE0-28D4-11CF-AE66-08002B2E1262}\r\n "
    "PersistMonikerPreview=file://Folder.htt\r\n [{5984FFE0-28D4-11CF-AE66-08002B2E1262}]\r\n "
    "PersistMoniker=file://Folder.htt\r\n [{BE098140-A513-11D0-A3A4-00C04FD706EC}]\r\n "
    "Attributes=1\r\n IconArea_Image=image.gif\r\n";
const char kDocumentsDescription[] =
    "[.ShellClassInfo]\r\n CLSID2={450D8FBA-AD25-11D0-98A8-0800361B1103}\r\n ConfirmFileOp=0 "
    "InfoTip=Stores your documents, graphics, and other files.\r\n";
const char kFavoritesDescription[] =
    "[.ShellClassInfo]\r\n CLSID2={1A9BA3A0-143A-11CF-8350-444553540000}\r\n ConfirmFileOp=0\r\n "
    "InfoTip=Stores your Favorites internet links, documents, graphics, and other files.\r\n";

// The three personal folders: their kind, shortcut name and description.
struct PersonalFolder {
  int kind;
  const char* shortcut;
  const char* description;
};
const PersonalFolder kPersonalFolders[] = {
    {CPDKProxy::kPersonalFolder, "My Tovik USB Drive.lnk", kPersonalDescription},
    {CPDKProxy::kDocumentsFolder, "Tovik USB Drive Documents.lnk", kDocumentsDescription},
    {CPDKProxy::kFavoritesFolder, "Tovik USB Drive Favorites.lnk", kFavoritesDescription},
};

const PersonalFolder* FolderOfKind(int kind) {
  for (const PersonalFolder& folder : kPersonalFolders)
    if (folder.kind == kind) return &folder;
  return nullptr;
}

void WriteFolderFile(const std::string& folder, const char* name, const void* data, DWORD size) {
  // A file that cannot be written is left out: the folder still works.
  CResourceFile::Write(folder + "\\" + name, data, size, kFileAttributes);
}

// folder.htt from the English web-view template `id`, up to its first zero byte.
void WriteWebView(const std::string& folder, UINT id) {
  const HMODULE module = CApplication::ResourceHandle();
  const HRSRC info = FindResourceExA(module, "HTT", MAKEINTRESOURCEA(id),
                                     MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  const HGLOBAL loaded = info == nullptr ? nullptr : LoadResource(module, info);
  const char* text = loaded == nullptr ? nullptr : static_cast<const char*>(LockResource(loaded));
  if (text == nullptr) return;
  DWORD size = SizeofResource(module, info);
  if (size > kMaxTemplateBytes) size = kMaxTemplateBytes;
  const void* end = std::memchr(text, '\0', size);
  if (end != nullptr) size = static_cast<DWORD>(static_cast<const char*>(end) - text);
  WriteFolderFile(folder, "folder.htt", text, size);
}

}  // namespace

bool CPersonalFolders::CustomiseFolder(const std::string& path) {
  CWinExplorer::CreateFolderWithParents(path);
  WriteFolderFile(path, "desktop.ini", kPlainDescription, sizeof kPlainDescription - 1);
  WriteWebView(path, IDH_PLAIN_FOLDER_HTT);
  SetFileAttributesA(path.c_str(), kPlainFolderAttributes);
  return true;
}

bool CPersonalFolders::CustomisePersonalFolder(const std::string& path, int kind) {
  const PersonalFolder* folder = FolderOfKind(kind);
  if (folder == nullptr) return false;
  WriteFolderFile(path, "desktop.ini", folder->description,
                  static_cast<DWORD>(std::strlen(folder->description)));
  if (kind == CPDKProxy::kPersonalFolder) {
    WriteWebView(path, IDH_PERSONAL_FOLDER_HTT);
    const HMODULE module = CApplication::ResourceHandle();
    const BYTE* picture = nullptr;
    DWORD size = 0;
    if (CResourceFile::Bytes(module, MAKEINTRESOURCEA(IDG_PERSONAL_FOLDER_PICTURE), "GIF", picture,
                             size))
      WriteFolderFile(path, "image.gif", picture, size);
    std::vector<BYTE> icon;
    if (CResourceFile::IconFileBytes(module, IDI_APPLICATION_ICON, icon))
      WriteFolderFile(path, "icon.ico", icon.data(), static_cast<DWORD>(icon.size()));
  }
  PathMakeSystemFolderA(path.c_str());
  return true;
}

bool CPersonalFolders::CreatePersonalFolders(HWND parent, CPDKProxy& proxy) {
  CGUIMessageBoxDlg box(parent);
  box.Setup(CStringLoader::LoadString(IDS_PERSONAL_FOLDERS_ASK),
            CStringLoader::LoadString(IDS_CAPTION_PROGRAM), CStringLoader::LoadString(IDS_OK),
            CStringLoader::LoadString(IDS_CANCEL),
            CGUIMessageBoxDlg::kFirstButton | CGUIMessageBoxDlg::kSecondButton, IDG_MESSAGE_SKIN,
            IDG_WARNING_PICTURE);
  if (box.DoModal() != IDOK) return false;
  if (!proxy.IsValid()) return true;
  const std::string profile = proxy.FolderPath(CPDKProxy::kProfileFolder);
  if (CWinExplorer::CreateFolderWithParents(profile)) PathMakeSystemFolderA(profile.c_str());
  const std::string startMenu = proxy.FolderPath(CPDKProxy::kStartMenuFolder);
  if (!CWinExplorer::CreateFolderWithParents(startMenu)) return true;
  PathMakeSystemFolderA(startMenu.c_str());
  for (const PersonalFolder& folder : kPersonalFolders) {
    const std::string path = proxy.FolderPath(static_cast<CPDKProxy::FolderKind>(folder.kind));
    if (!CWinExplorer::CreateFolderWithParents(path)) continue;
    CustomisePersonalFolder(path, folder.kind);
    CWinExplorer::CreateShellLink(startMenu + "\\" + folder.shortcut, path, "", "", 0);
  }
  return true;
}
