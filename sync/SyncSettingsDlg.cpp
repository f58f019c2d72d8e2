#include "SyncSettingsDlg.h"

#include <shlobj.h>

#include "PDKException.h"
#include "StringLoader.h"
#include "SyncBox.h"
#include "SyncText.h"
#include "WinExplorer.h"
#include "resource.h"
#include "strings.h"

#ifndef BIF_NEWDIALOGSTYLE
#define BIF_NEWDIALOGSTYLE 0x0040
#endif

namespace tovik {

namespace {
const COLORREF kPanel = RGB(244, 244, 244);
const COLORREF kText = RGB(32, 32, 32);
const int kButtonHeight = 24;
const int kEdgeMargin = 12;

std::string WithTrailingSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  return folder;
}

int CALLBACK StartAt(HWND window, UINT message, LPARAM, LPARAM start) {
  if (message == BFFM_INITIALIZED && start != 0) {
    SendMessageA(window, BFFM_SETSELECTIONA, TRUE, start);
  }
  return 0;
}
}  // namespace

CSyncSettingsDlg::CSyncSettingsDlg(HWND parent, CSyncEngine& engine, char firstVolume)
    : CGUIDialog(IDD_SYNC_SETTINGS_DIALOG, parent), engine_(engine), firstVolume_(firstVolume) {}

void CSyncSettingsDlg::SetLink(const SyncLinkRecord& link) { link_ = link; }

BOOL CSyncSettingsDlg::OnInitDialog() {
  CGUIDialog::OnInitDialog();
  SetIconResource(IDI_APPLICATION_ICON);
  SetPanelColors(kPanel, kText);
  SetSkin(IDG_SYNC_SETTINGS_SKIN);
  SetControlInfo(IDC_CAPTION, "IDC_CAPTION", 1, 18, 1, 358);
  SetControlInfo(IDC_INSTRUCTIONS, "IDC_INSTRUCTIONS", 37, 55, 57, 332);
  SetControlInfo(IDC_HOST_STATIC, "IDC_HOST_STATIC", 67, 80, 57, 219);
  SetControlInfo(IDC_HOST_FOLDER, "IDC_HOST_FOLDER", 86, 109, 57, 305);
  SetResizableControlInfo(IDC_HOST_BROWSE, "IDC_HOST_BROWSE", 85, 108, 310, 320, true);
  SetControlInfo(IDC_PDK_STATIC, "IDC_PDK_STATIC", 124, 137, 57, 215);
  SetControlInfo(IDC_PDK_FOLDER, "IDC_PDK_FOLDER", 141, 164, 57, 305);
  SetResizableControlInfo(IDC_PDK_BROWSE, "IDC_PDK_BROWSE", 141, 164, 310, 320, true);
  SetControlInfo(IDC_LINK_ICON, "IDC_LINK_ICON", 98, 154, 12, 52);
  SetResizableControlInfo(IDOK, "IDOK", 0, kButtonHeight, 0, 10, true);
  SetResizableControlInfo(IDCANCEL, "IDCANCEL", 0, kButtonHeight, 0, 10, true);
  SetAnchor(IDCANCEL, CControlInfo::kBottom | CControlInfo::kRight, kEdgeMargin);
  SetLeftNeighbour(IDOK, IDCANCEL, 8);
  ApplySkinAndLayout();

  const std::string title = CStringLoader::LoadString(IDS_SYNC_SETTINGS);
  SetWindowText(title);
  SetupCaptionBar(caption_, IDC_CAPTION, title);
  SetupPanelLabel(instructions_, IDC_INSTRUCTIONS,
                  CStringLoader::LoadString(IDS_SYNC_INSTRUCTIONS));
  SetupPanelLabel(hostStatic_, IDC_HOST_STATIC, CStringLoader::LoadString(IDS_SYNC_HOST_FOLDER));
  SetupPanelLabel(driveStatic_, IDC_PDK_STATIC, CStringLoader::LoadString(IDS_SYNC_DRIVE_FOLDER));
  ok_.AttachStandard(hwnd_, IDOK, CStringLoader::LoadString(IDS_OK));
  cancel_.AttachStandard(hwnd_, IDCANCEL, CStringLoader::LoadString(IDS_CANCEL));
  hostBrowse_.AttachStandard(hwnd_, IDC_HOST_BROWSE, "...");
  driveBrowse_.AttachStandard(hwnd_, IDC_PDK_BROWSE, "...");
  if (HasLink()) {
    SetDlgItemTextA(hwnd_, IDC_HOST_FOLDER, FieldToPath(link_.hostFolder, kSyncPathUnits).c_str());
    SetDlgItemTextA(hwnd_, IDC_PDK_FOLDER, FieldToPath(link_.driveFolder, kSyncPathUnits).c_str());
  }
  CenterWindow(Parent());
  return TRUE;
}

std::string CSyncSettingsDlg::FieldText(UINT id) const {
  char text[MAX_PATH + 1] = "";
  GetDlgItemTextA(hwnd_, int(id), text, sizeof(text));
  return text;
}

bool CSyncSettingsDlg::OnCommand(UINT id, UINT code, HWND control) {
  if (code == BN_CLICKED && id == IDC_HOST_BROWSE) {
    Browse(IDC_HOST_FOLDER, IDS_SYNC_PICK_HOST, std::string());
    return true;
  }
  if (code == BN_CLICKED && id == IDC_PDK_BROWSE) {
    Browse(IDC_PDK_FOLDER, IDS_SYNC_PICK_DRIVE,
           firstVolume_ != 0 ? std::string(1, firstVolume_) + ":\\" : std::string());
    return true;
  }
  return CGUIDialog::OnCommand(id, code, control);
}

void CSyncSettingsDlg::Browse(UINT fieldId, UINT titleId, const std::string& fallback) {
  std::string start = FieldText(fieldId);
  if (start.empty()) start = fallback;
  const std::string title = CStringLoader::LoadString(titleId);
  char chosen[MAX_PATH] = "";
  BROWSEINFOA info{};
  info.hwndOwner = hwnd_;
  info.pszDisplayName = chosen;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  info.lpfn = StartAt;
  info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
  LPITEMIDLIST item = SHBrowseForFolderA(&info);
  if (item == nullptr) return;
  if (SHGetPathFromIDListA(item, chosen)) SetDlgItemTextA(hwnd_, int(fieldId), chosen);
  CoTaskMemFree(item);
}

bool CSyncSettingsDlg::CheckFolder(const std::string& folder) {
  if (folder.empty()) {
    CSyncBox::Warning(hwnd_, CStringLoader::LoadString(IDS_SYNC_NO_FOLDER));
    return false;
  }
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return true;
  char question[1024] = "";
  snprintf(question, sizeof(question), CStringLoader::LoadString(IDS_SYNC_CREATE_FOLDER).c_str(),
           folder.c_str());
  if (!CSyncBox::Warning(hwnd_, question, true)) return false;
  if (CWinExplorer::CreateFolderWithParents(folder.substr(0, folder.size() - 1))) return true;
  CSyncBox::Warning(hwnd_, CStringLoader::LoadString(IDS_SYNC_CREATE_FAILED));
  return false;
}

void CSyncSettingsDlg::OnOK() {
  hostFolder_ = WithTrailingSlash(FieldText(IDC_HOST_FOLDER));
  driveFolder_ = WithTrailingSlash(FieldText(IDC_PDK_FOLDER));
  if (HasLink() && !CSyncBox::Warning(hwnd_, CStringLoader::LoadString(IDS_SYNC_NEW_FOLDERS), true))
    return;
  if (!CheckFolder(hostFolder_) || !CheckFolder(driveFolder_)) return;
  try {
    engine_.SetLink(hostFolder_, driveFolder_);
  } catch (const sync::CPDKException& e) {
    hostFolder_.clear();
    driveFolder_.clear();
    if (CSyncBox::ErrorByCode(hwnd_, e.code)) {
      try {
        engine_.DeleteDatabase();
      } catch (const sync::CPDKException&) {
        // A database that cannot be deleted is left to the next attempt.
      }
    }
    return;
  }
  EndDialog(IDOK);
}

}  // namespace tovik
