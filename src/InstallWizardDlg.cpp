#include "InstallWizardDlg.h"

#include "AppSettings.h"
#include "AppShortcuts.h"
#include "GUI/Application.h"
#include "StringLoader.h"
#include "WinExplorer.h"
#include "resource.h"
#include "strings.h"

namespace {
const COLORREF kPanel = RGB(244, 244, 244);
const COLORREF kText = RGB(32, 32, 32);
// Preferences a new installation starts with switched on.
const char* const kSwitchedOn[] = {"StartupLoad",     "AutorunEnabled", "VisualIndication",
                                   "AudioIndication", "SplashScreen",   "AlwaysOntop"};
}  // namespace

CInstallWizardDlg::CInstallWizardDlg(HWND parent, const std::string& programPath)
    : CGUIDialog(IDD_INSTALL_WIZARD_DIALOG, parent), programPath_(programPath) {}

BOOL CInstallWizardDlg::OnInitDialog() {
  CGUIDialog::OnInitDialog();
  SetPanelColors(kPanel, kText);
  SetIconResource(IDI_APPLICATION_ICON);
  SetSkin(IDG_INSTALL_WIZARD_SKIN);
  SetControlInfo(IDC_CAPTION_CTL, "IDC_CAPTION_CTL", 1, 18, 1, 308);
  // The heading first and the text in three lines under it, above the boxes.
  SetControlInfo(IDC_INSTALL_PREFERENCES, "IDC_INSTALL_PREFERENCES", 24, 42, 27, 273);
  SetControlInfo(IDC_INSTALL_PREFERENCES_INTRO, "IDC_INSTALL_PREFERENCES_INTRO", 48, 90, 27, 290);
  SetControlInfo(IDC_DESKTOP_SC_CHECK, "IDC_DESKTOP_SC_CHECK", 94, 111, 27, 249);
  SetControlInfo(IDC_START_SC_CHECK, "IDC_START_SC_CHECK", 128, 145, 27, 249);
  SetResizableControlInfo(ID_WIZFINISH, "ID_WIZFINISH", 0, 24, 218, 272, true);
  SetResizableControlInfo(IDCANCEL, "IDCANCEL", 0, 24, 218, 272, true);
  SetAnchor(ID_WIZFINISH, CControlInfo::kBottom | CControlInfo::kRight, 10);
  SetLeftNeighbour(IDCANCEL, ID_WIZFINISH, 8);
  ApplySkinAndLayout();
  SetShape(IDB_INSTALL_WIZARD_SHAPE);

  const std::string title = CStringLoader::LoadString(IDS_CAPTION_PROGRAM) +
                            CStringLoader::LoadString(IDS_SUFFIX_WELCOME);
  SetWindowText(title);
  SetupCaptionBar(caption_, IDC_CAPTION_CTL, title);
  welcome_.SubclassDlgItem(IDC_INSTALL_PREFERENCES, hwnd_);
  welcome_.SetBold(true);
  welcome_.SetFontHeight(100);
  SetupPanelLabel(welcome_, IDC_INSTALL_PREFERENCES, CStringLoader::LoadString(IDS_WIZARD_WELCOME));
  SetupPanelLabel(intro_, IDC_INSTALL_PREFERENCES_INTRO,
                  CStringLoader::LoadString(IDS_WIZARD_INTRO));
  SetDlgItemTextA(hwnd_, IDC_DESKTOP_SC_CHECK, CStringLoader::LoadString(IDS_PREF_DESKTOP).c_str());
  SetDlgItemTextA(hwnd_, IDC_START_SC_CHECK, CStringLoader::LoadString(IDS_PREF_START).c_str());
  CheckDlgButton(hwnd_, IDC_DESKTOP_SC_CHECK, BST_UNCHECKED);
  CheckDlgButton(hwnd_, IDC_START_SC_CHECK, BST_CHECKED);
  finish_.AttachStandard(hwnd_, ID_WIZFINISH, CStringLoader::LoadString(IDS_FINISH));
  cancel_.AttachStandard(hwnd_, IDCANCEL, CStringLoader::LoadString(IDS_CANCEL));
  CenterWindow();
  SetFocus(GetDlgItem(ID_WIZFINISH));
  return FALSE;
}

bool CInstallWizardDlg::OnCommand(UINT id, UINT code, HWND control) {
  if (id == ID_WIZFINISH && code == BN_CLICKED) {
    Finish();
    return true;
  }
  return CGUIDialog::OnCommand(id, code, control);
}

void CInstallWizardDlg::Finish() {
  CAppSettings settings;
  for (const char* key : kSwitchedOn) settings.WriteSetting(key, 1);
  CWinExplorer::RemoveStartupEntry();
  CWinExplorer::AddStartupEntry(programPath_);
  const bool desktop = IsDlgButtonChecked(hwnd_, IDC_DESKTOP_SC_CHECK) == BST_CHECKED;
  settings.WriteSetting("DesktopShortcut", desktop ? 1 : 0);
  if (desktop) CAppShortcuts::Create(CAppShortcuts::kDesktop, programPath_);
  const bool start = IsDlgButtonChecked(hwnd_, IDC_START_SC_CHECK) == BST_CHECKED;
  settings.WriteSetting("StartShortcut", start ? 1 : 0);
  if (start) CAppShortcuts::Create(CAppShortcuts::kStartMenu, programPath_);
  CAppShortcuts::CreateUninstall(programPath_);
  settings.WriteSetting("SelectedLanguage", CStringLoader::kEnglish);
  EndDialog(IDOK);
}
