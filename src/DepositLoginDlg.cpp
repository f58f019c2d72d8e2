#include "DepositLoginDlg.h"

#include "GUI/GUIMessageBoxDlg.h"
#include "StringLoader.h"
#include "WinExplorer.h"
#include "resource.h"
#include "strings.h"

namespace {
const COLORREF kPanel = RGB(244, 244, 244);
const COLORREF kText = RGB(32, 32, 32);
constexpr int kButtonHeight = 23;
constexpr int kEdgeMargin = 7;
constexpr int kWrongPassword = 4;
}  // namespace

CDepositLoginDlg::CDepositLoginDlg(HWND parent) : CGUIDialog(IDD_DEPOSIT_LOGIN_DIALOG, parent) {}

BOOL CDepositLoginDlg::OnInitDialog() {
  CGUIDialog::OnInitDialog();
  SetIconResource(IDI_APPLICATION_ICON);
  SetPanelColors(kPanel, kText);
  SetSkin(IDG_MESSAGE_SKIN);
  SetControlInfo(IDC_CAPTION_CTL, "IDC_CAPTION_CTL", 1, 18, 1, 296);
  SetControlInfo(IDC_PASSWORD_CTL, "IDC_PASSWORD_CTL", 42, 55, 6, 101);
  SetControlInfo(IDC_PASSWORD_EDIT, "IDC_PASSWORD_EDIT", 39, 59, 113, 236);
  SetControlInfo(IDC_HINT_CTL, "IDC_HINT_CTL", 75, 91, 6, 101);
  SetControlInfo(IDC_HINT_TXT, "IDC_HINT_TXT", 75, 91, 113, 268);
  SetResizableControlInfo(IDOK, "IDOK", 0, kButtonHeight, 0, 49, true);
  SetResizableControlInfo(IDCANCEL, "IDCANCEL", 0, kButtonHeight, 0, 55, true);
  SetAnchor(IDCANCEL, CControlInfo::kBottom | CControlInfo::kRight, kEdgeMargin);
  SetLeftNeighbour(IDOK, IDCANCEL, kEdgeMargin);

  const std::string caption = CStringLoader::LoadString(IDS_MENU_LOGIN);
  SetWindowText(caption);
  SetupCaptionBar(caption_, IDC_CAPTION_CTL, caption);
  SetupPanelLabel(passwordLabel_, IDC_PASSWORD_CTL, CStringLoader::LoadString(IDS_PASSWORD_LABEL));
  SetupPanelLabel(hintLabel_, IDC_HINT_CTL, CStringLoader::LoadString(IDS_HINT_LABEL));
  std::string hint;
  bool exists = false;
  if (device_ != nullptr && device_->deposit().safePartitionExist(exists) == pdk::kOk && exists) {
    char buffer[128] = {};
    uint32_t size = sizeof buffer;
    if (device_->deposit().getPasswordHint(buffer, size) == pdk::kOk) hint = buffer;
    bool inSafe = false;
    wait_ = device_->deposit().isInSafePartition(inSafe) == pdk::kOk && !inSafe;
  }
  SetupPanelLabel(hint_, IDC_HINT_TXT, hint);
  ok_.AttachStandard(hwnd_, IDOK, CStringLoader::LoadString(IDS_OK));
  cancel_.AttachStandard(hwnd_, IDCANCEL, CStringLoader::LoadString(IDS_CANCEL));
  SendDlgItemMessageA(hwnd_, IDC_PASSWORD_EDIT, EM_LIMITTEXT, kMaxPasswordLength, 0);
  ApplySkinAndLayout();
  CenterWindow(Parent());
  SetFocus(GetDlgItem(IDC_PASSWORD_EDIT));
  // The focus is set already.
  return FALSE;
}

void CDepositLoginDlg::EnableInput(bool enable) {
  EnableWindow(hwnd_, enable);
  EnableWindow(GetDlgItem(IDC_PASSWORD_EDIT), enable);
}

void CDepositLoginDlg::OnOK() {
  if (device_ == nullptr) return;
  EnableInput(false);
  ++attempts_;
  char roots[MAX_PATH] = {};
  uint32_t length = sizeof roots;
  if (device_->getDriveLetters(roots, length) == pdk::kOk)
    CWinExplorer::CloseExplorerWindowsOfRoots(roots);
  char password[kMaxPasswordLength + 1] = {};
  GetDlgItemTextA(hwnd_, IDC_PASSWORD_EDIT, password, sizeof password);
  const int code = device_->deposit().login(password, &observer_, !wait_);
  if (code == pdk::kOk) {
    if (!wait_) EndDialog(IDOK);
    return;
  }
  if (ShowFailure(code)) {
    EndDialog(IDOK);
    return;
  }
  EnableInput(true);
  SetFocus(GetDlgItem(IDC_PASSWORD_EDIT));
}

bool CDepositLoginDlg::ShowFailure(int code) {
  const bool last = code == kWrongPassword && attempts_ == kLastAttempt;
  UINT text = IDS_LOGIN_FAILED;
  if (code == kWrongPassword) text = last ? IDS_LOGIN_FIFTH : IDS_LOGIN_WRONG;
  if (code == pdk::kCantLockDevice) text = IDS_DRIVE_BUSY;
  CGUIMessageBoxDlg box(hwnd_);
  box.Setup(CStringLoader::LoadString(text), CStringLoader::LoadString(IDS_SUFFIX_ERROR),
            CStringLoader::LoadString(last ? IDS_OK : IDS_TRY_AGAIN), "",
            CGUIMessageBoxDlg::kFirstButton, IDG_MESSAGE_SKIN, 0);
  box.DoModal();
  return last;
}

bool CDepositLoginDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (message != kDoneMessage) return CGUIDialog::OnMessage(message, wParam, lParam, result);
  SetWindowPos(hwnd_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  EnableInput(true);
  EndDialog(wParam == CCompletionObserver::kSucceeded ? IDOK : IDCANCEL);
  result = 0;
  return true;
}
