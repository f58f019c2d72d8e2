#include "SyncDlg.h"

#include <shellapi.h>
#include <windowsx.h>

#include <cstdio>

#include "GUI/Application.h"
#include "GUI/BCMenu.h"
#include "PDKException.h"
#include "StringLoader.h"
#include "SyncBox.h"
#include "SyncSettingsDlg.h"
#include "WinExplorer.h"
#include "strings.h"

namespace tovik {

namespace {
const COLORREF kPanel = RGB(244, 244, 244);
const COLORREF kText = RGB(32, 32, 32);
const int kButtonHeight = 24;
const int kEdgeMargin = 12;
const UINT kActionIcons[] = {IDI_SYNC_ACTION_0, IDI_SYNC_ACTION_1, IDI_SYNC_ACTION_2,
                             IDI_SYNC_ACTION_3, IDI_SYNC_ACTION_4, IDI_SYNC_ACTION_5,
                             IDI_SYNC_ACTION_6};

std::string LastPart(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderPart(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void Text(HDC dc, const std::string& text, int left, int top, int right, int bottom, UINT format) {
  RECT r{left, top, right, bottom};
  DrawTextA(dc, text.c_str(), int(text.size()), &r, format | DT_SINGLELINE | DT_NOPREFIX);
}

}  // namespace

CSyncDlg::CSyncDlg(HWND parent, CSyncEngine& engine, char firstVolume)
    : CGUIDialog(IDD_SYNC_DIALOG, parent),
      engine_(engine),
      firstVolume_(firstVolume),
      list_(*this) {}

CSyncDlg::~CSyncDlg() {
  if (images_ != nullptr) ImageList_Destroy(images_);
  if (timeFont_ != nullptr) DeleteObject(timeFont_);
}

std::string CSyncDlg::VerbOf(SyncActionKind kind) {
  switch (kind) {
    case CopyToDrive:
    case CopyToHost:
      return CStringLoader::LoadString(IDS_VERB_REPLACE);
    case CreateOnDrive:
    case CreateOnHost:
      return CStringLoader::LoadString(IDS_VERB_CREATE);
    case DeleteOnDrive:
    case DeleteOnHost:
      return CStringLoader::LoadString(IDS_VERB_DELETE);
    default:
      return CStringLoader::LoadString(IDS_VERB_SKIP);
  }
}

bool CSyncDlg::ScanFailed(int& code) const {
  code = scanError_;
  return scanFailed_;
}

BOOL CSyncDlg::OnInitDialog() {
  CGUIDialog::OnInitDialog();
  SetIconResource(IDI_APPLICATION_ICON);
  SetPanelColors(kPanel, kText);
  SetSkin(IDG_SYNC_SKIN);
  SetControlInfo(IDC_CAPTION, "IDC_CAPTION", 1, 19, 0, 453);
  SetControlInfo(IDC_HEADER, "IDC_HEADER", 28, 41, 11, 418);
  SetControlInfo(IDC_HOST_ICON, "IDC_HOST_ICON", 46, 64, 120, 137);
  SetControlInfo(IDC_HOST_LABEL, "IDC_HOST_LABEL", 49, 64, 149, 241);
  SetControlInfo(IDC_USB_ICON, "IDC_USB_ICON", 49, 63, 284, 313);
  SetControlInfo(IDC_PDK_LABEL, "IDC_PDK_LABEL", 49, 64, 321, 413);
  SetControlInfo(IDC_ACTIONS_LIST, "IDC_ACTIONS_LIST", 67, 335, 11, 440);
  SetControlInfo(IDC_SYNC_PROGRESS, "IDC_SYNC_PROGRESS", 358, 375, 110, 260);
  SetResizableControlInfo(IDC_SETTINGS, "IDC_SETTINGS", 0, kButtonHeight, 0, 10, true);
  SetAnchor(IDC_SETTINGS, CControlInfo::kBottom | CControlInfo::kLeft, kEdgeMargin);
  SetResizableControlInfo(IDC_SYNCHRONIZE, "IDC_SYNCHRONIZE", 0, kButtonHeight, 0, 10, true);
  SetResizableControlInfo(IDC_CLOSE, "IDC_CLOSE", 0, kButtonHeight, 0, 10, true);
  SetAnchor(IDC_CLOSE, CControlInfo::kBottom | CControlInfo::kRight, kEdgeMargin);
  SetLeftNeighbour(IDC_SYNCHRONIZE, IDC_CLOSE, 8);
  ApplySkinAndLayout();

  const std::string title = CStringLoader::LoadString(IDS_SYNC_DETAILS);
  SetWindowText(title);
  SetupCaptionBar(caption_, IDC_CAPTION, title);
  SetupPanelLabel(header_, IDC_HEADER, CStringLoader::LoadString(IDS_SYNC_HEADER));
  SetupPanelLabel(hostLabel_, IDC_HOST_LABEL, CStringLoader::LoadString(IDS_SYNC_HOST));
  SetupPanelLabel(driveLabel_, IDC_PDK_LABEL, CStringLoader::LoadString(IDS_PRODUCT_DRIVE));
  settingsButton_.AttachStandard(hwnd_, IDC_SETTINGS, CStringLoader::LoadString(IDS_MENU_SETTINGS));
  synchronize_.AttachStandard(hwnd_, IDC_SYNCHRONIZE, CStringLoader::LoadString(IDS_SYNCHRONIZE));
  close_.AttachStandard(hwnd_, IDC_CLOSE, CStringLoader::LoadString(IDS_CLOSE));
  SendMessageA(List(), LB_SETITEMHEIGHT, 0, kItemHeight);
  list_.SubclassDlgItem(IDC_ACTIONS_LIST, hwnd_);
  SendMessageA(GetDlgItem(IDC_SYNC_PROGRESS), PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  images_ = ImageList_Create(32, 32, ILC_COLOR8 | ILC_MASK, 7, 0);
  for (UINT id : kActionIcons) {
    HICON icon = HICON(LoadImageA(CApplication::ResourceHandle(), MAKEINTRESOURCEA(id), IMAGE_ICON,
                                  32, 32, LR_DEFAULTCOLOR));
    ImageList_AddIcon(images_, icon);
    if (icon != nullptr) DestroyIcon(icon);
  }
  // The time texts are a little smaller, so that a whole date and time fits
  // in its column.
  timeFont_ =
      CreateFontA(-10, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Tahoma");
  engine_.SetObserver(this);
  CenterWindow(Parent());
  SetTimer(kScanTimer, 100);
  return TRUE;
}

void CSyncDlg::OnTimer(UINT_PTR id) {
  if (id != kScanTimer) return CGUIDialog::OnTimer(id);
  KillTimer(kScanTimer);
  Scan();
}

void CSyncDlg::Scan() {
  InterlockedExchange(&running_, 1);
  SendMessageA(GetDlgItem(IDC_SYNC_PROGRESS), PBM_SETPOS, 0, 0);
  HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  SendMessageA(List(), LB_RESETCONTENT, 0, 0);
  actions_ = nullptr;
  count_ = 0;
  try {
    engine_.Reset();
    engine_.Prepare(actions_, count_);
  } catch (const sync::CPDKException& e) {
    // The caller shows the error: a scan that cannot run leaves the window.
    SetCursor(previous);
    InterlockedExchange(&running_, 0);
    scanFailed_ = true;
    scanError_ = e.code;
    EndDialog(IDABORT);
    return;
  }
  EnableWindow(GetDlgItem(IDC_SYNCHRONIZE), count_ > 0);
  for (int i = 0; i < count_; ++i) {
    const LRESULT index =
        SendMessageA(List(), LB_ADDSTRING, 0, LPARAM(LastPart(actions_[i]->GetHostPath()).c_str()));
    SendMessageA(List(), LB_SETITEMDATA, WPARAM(index), LPARAM(actions_[i]));
  }
  if (count_ == 0) ShowStatus(IDS_SYNC_IN_STEP);
  SetCursor(previous);
  InterlockedExchange(&running_, 0);
}

void CSyncDlg::ShowStatus(UINT textId) {
  SendMessageA(List(), LB_RESETCONTENT, 0, 0);
  const LRESULT index =
      SendMessageA(List(), LB_ADDSTRING, 0, LPARAM(CStringLoader::LoadString(textId).c_str()));
  SendMessageA(List(), LB_SETITEMDATA, WPARAM(index), 0);
}

bool CSyncDlg::OnCommand(UINT id, UINT code, HWND control) {
  if (id >= ID_SYNC_ALTERNATIVE && id <= ID_SYNC_ALTERNATIVE + Skip) {
    ChooseAlternative(SyncActionKind(id - ID_SYNC_ALTERNATIVE));
    return true;
  }
  if (code == BN_CLICKED) {
    switch (id) {
      case IDC_SYNCHRONIZE:
        Synchronize();
        return true;
      case IDC_SETTINGS:
        OpenSettings();
        return true;
      case IDC_CLOSE:
        Close();
        return true;
      default:
        break;
    }
  }
  return CGUIDialog::OnCommand(id, code, control);
}

void CSyncDlg::Synchronize() {
  if (running_ != 0) return;
  InterlockedExchange(&running_, 1);
  InterlockedExchange(&cancel_, 0);
  EnableWindow(GetDlgItem(IDC_SYNCHRONIZE), FALSE);
  SendMessageA(GetDlgItem(IDC_SYNC_PROGRESS), PBM_SETPOS, 0, 0);
  engine_.Start(false);
}

void CSyncDlg::OpenSettings() {
  if (running_ != 0) return;
  CSyncSettingsDlg settings(hwnd_, engine_, firstVolume_);
  SyncLinkRecord link;
  try {
    if (engine_.GetLink(link)) settings.SetLink(link);
  } catch (const sync::CPDKException&) {
    // An unreadable pairing opens the settings empty.
  }
  settings_ = &settings;
  const INT_PTR result = settings.DoModal();
  settings_ = nullptr;
  if (result == IDOK) SetTimer(kScanTimer, 100);
}

void CSyncDlg::Close() {
  // A click that was queued when the failure box came up reaches us inside the
  // box's loop, while the worker waits for the box: waiting here would never
  // end. The answer to the box stops the run, and the close follows it.
  if (asking_) {
    InterlockedExchange(&cancel_, 1);
    closeWanted_ = true;
    return;
  }
  if (running_ != 0) {
    InterlockedExchange(&cancel_, 1);
    // The worker reports by sending to this thread: keep its messages flowing.
    while (running_ != 0) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, kWaitStepMs, QS_ALLINPUT);
      MSG msg;
      while (running_ != 0 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
          PostQuitMessage(int(msg.wParam));
          break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
  }
  if (settings_ != nullptr) settings_->EndDialog(IDCANCEL);
  EndDialog(IDOK);
}

bool CSyncDlg::OnPreTranslate(MSG& msg) {
  return msg.message == WM_KEYDOWN && (msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE);
}

bool CSyncDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) != SC_CLOSE) break;
      result = 0;
      return true;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item.CtlType != ODT_LISTBOX || item.CtlID != IDC_ACTIONS_LIST) break;
      DrawItem(item);
      result = TRUE;
      return true;
    }
    case WM_MEASUREITEM: {
      auto& item = *reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (item.CtlType != ODT_LISTBOX) break;
      item.itemHeight = kItemHeight;
      result = TRUE;
      return true;
    }
    case kActionFailed:
      result = ActionFailed(reinterpret_cast<CSyncAction*>(wParam));
      return true;
    case kRunComplete:
      RunComplete();
      result = 0;
      return true;
    case kRunError:
      RunError(int(wParam));
      result = 0;
      return true;
    default:
      break;
  }
  return CGUIDialog::OnMessage(message, wParam, lParam, result);
}

bool CSyncDlg::OnActionFailed(CSyncAction* action) {
  if (SendMessageA(hwnd_, kActionFailed, WPARAM(action), 0) != 0) return true;
  InterlockedExchange(&running_, 0);
  return false;
}

void CSyncDlg::OnError(int code) {
  // A run that ended by an error is over: closing must not wait for it.
  SendMessageA(hwnd_, kRunError, WPARAM(code), 0);
  InterlockedExchange(&running_, 0);
}

bool CSyncDlg::OnProgress(int percent) {
  if (cancel_ != 0) {
    InterlockedExchange(&running_, 0);
    return false;
  }
  SendMessageA(GetDlgItem(IDC_SYNC_PROGRESS), PBM_SETPOS, WPARAM(percent), 0);
  if (percent >= 100) {
    InterlockedExchange(&running_, 0);
    SendMessageA(hwnd_, kRunComplete, 0, 0);
  }
  return true;
}

LRESULT CSyncDlg::ActionFailed(CSyncAction* action) {
  // A window that is closing stops at once instead of asking.
  if (cancel_ == 0) {
    const SyncActionKind kind = action->GetKind();
    const bool onDrive = kind == CopyToDrive || kind == CreateOnDrive || kind == DeleteOnDrive;
    const std::string path = onDrive ? action->GetDrivePath() : action->GetHostPath();
    char text[1024] = "";
    snprintf(text, sizeof(text), CStringLoader::LoadString(IDS_SYNC_ACTION_FAILED).c_str(),
             VerbOf(kind).c_str(), path.c_str());
    asking_ = true;
    const bool goOn = CSyncBox::Error(hwnd_, text, true);
    asking_ = false;
    if (goOn && !closeWanted_) return 1;
  }
  ShowStatus(IDS_SYNC_ABORTED);
  if (closeWanted_) PostMessageA(hwnd_, WM_COMMAND, MAKEWPARAM(IDC_CLOSE, BN_CLICKED), 0);
  return 0;
}

void CSyncDlg::RunComplete() {
  CSyncBox::Notice(hwnd_, CStringLoader::LoadString(IDS_SYNC_COMPLETE));
  ShowStatus(IDS_SYNC_COMPLETE);
}

void CSyncDlg::RunError(int code) {
  InterlockedExchange(&running_, 0);
  if (!CSyncBox::ErrorByCode(hwnd_, code)) return;
  try {
    engine_.DeleteDatabase();
  } catch (const sync::CPDKException&) {
    // A database that cannot be deleted is left as it is.
  }
}

LRESULT CSyncDlg::CActionList::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_LBUTTONDOWN && message != WM_RBUTTONDOWN) {
    return CWnd::WindowProc(message, wParam, lParam);
  }
  const int selected = int(SendMessageA(hwnd_, LB_GETCURSEL, 0, 0));
  const LRESULT hit = SendMessageA(hwnd_, LB_ITEMFROMPOINT, 0, lParam);
  const int item = HIWORD(hit) == 0 ? int(LOWORD(hit)) : -1;
  const LRESULT result = CWnd::WindowProc(message, wParam, lParam);
  // A right click on the selected item, or a second left click on it.
  if (item >= 0 && item == selected) owner_.OpenAlternatives(item);
  return result;
}

void CSyncDlg::OpenAlternatives(int item) {
  if (running_ != 0) return;
  auto* action =
      reinterpret_cast<CSyncAction*>(SendMessageA(List(), LB_GETITEMDATA, WPARAM(item), 0));
  if (action == nullptr || action == reinterpret_cast<CSyncAction*>(LB_ERR)) return;
  const SyncActionKind* kinds = nullptr;
  int count = 0;
  action->GetAlternatives(kinds, count);
  BCMenu menu;
  if (!menu.LoadMenu(IDR_DRIVE_MENU)) return;
  BCMenu* popup = menu.GetSubMenu(0);
  if (popup == nullptr) {
    menu.DestroyMenu();
    return;
  }
  popup->DeleteMenu(ID_MENU_PLACEHOLDER, MF_BYCOMMAND);
  for (int i = 0; i < count; ++i) {
    if (i > 0) popup->AppendMenu(MF_SEPARATOR);
    popup->AppendODMenu(VerbOf(kinds[i]), MF_STRING, ID_SYNC_ALTERNATIVE + UINT(kinds[i]), images_,
                        int(kinds[i]));
  }
  BCMenu::SetMenuDrawMode(BCMenu::kFlat);
  for (BCMenu* m : {&menu, popup}) {
    m->SetColors(CGUIDialog::kCaptionRed, CGUIDialog::kCaptionGrey, 0);
    m->SetIconSize(32, 32);
  }
  POINT at{};
  GetCursorPos(&at);
  popup->TrackPopupMenu(TPM_RIGHTBUTTON, at.x, at.y, hwnd_);
  menu.DestroyMenu();
}

void CSyncDlg::ChooseAlternative(SyncActionKind kind) {
  const LRESULT item = SendMessageA(List(), LB_GETCURSEL, 0, 0);
  if (item == LB_ERR) return;
  auto* action =
      reinterpret_cast<CSyncAction*>(SendMessageA(List(), LB_GETITEMDATA, WPARAM(item), 0));
  if (action == nullptr || action == reinterpret_cast<CSyncAction*>(LB_ERR)) return;
  if (!action->SetKind(kind)) return;
  RECT r{};
  SendMessageA(List(), LB_GETITEMRECT, WPARAM(item), LPARAM(&r));
  InvalidateRect(List(), &r, TRUE);
}

void CSyncDlg::DrawItem(const DRAWITEMSTRUCT& item) const {
  if (item.itemID == UINT(-1)) return;
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  FillRect(dc, &r, GetSysColorBrush(COLOR_WINDOW));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
  HGDIOBJ oldFont = SelectObject(dc, HFONT(SendMessageA(item.hwndItem, WM_GETFONT, 0, 0)));
  auto* action = reinterpret_cast<CSyncAction*>(item.itemData);
  if (action == nullptr) {
    char text[512] = "";
    SendMessageA(item.hwndItem, LB_GETTEXT, item.itemID, LPARAM(text));
    Text(dc, text, r.left, r.bottom - 20, r.right, r.bottom, DT_CENTER | DT_VCENTER);
    SelectObject(dc, oldFont);
    return;
  }
  const std::string host = action->GetHostPath();
  const std::string drive = action->GetDrivePath();
  SHFILEINFOA info{};
  if (SHGetFileInfoA(CWinExplorer::PathExists(host) ? host.c_str() : drive.c_str(), 0, &info,
                     sizeof(info), SHGFI_ICON | SHGFI_LARGEICON) != 0 &&
      info.hIcon != nullptr) {
    DrawIconEx(dc, r.left + 10, r.top + 10, info.hIcon, 32, 32, 0, nullptr, DI_NORMAL);
    DestroyIcon(info.hIcon);
  }
  std::string name = LastPart(host);
  if (name.size() < 7) name = "   " + name;
  Text(dc, name, r.left + 3, r.bottom - 20, r.left + 103, r.bottom, DT_WORD_ELLIPSIS);
  Text(dc, FolderPart(host), r.left + 110, r.top + 10, r.left + 213, r.top + 30, DT_PATH_ELLIPSIS);
  HGDIOBJ listFont =
      SelectObject(dc, timeFont_ != nullptr ? timeFont_ : GetCurrentObject(dc, OBJ_FONT));
  Text(dc, action->GetHostTimeText(), r.left + 110, r.top + 30, r.left + 213, r.top + 50,
       DT_PATH_ELLIPSIS);
  Text(dc, action->GetDriveTimeText(), r.left + 280, r.top + 30, r.left + 383, r.top + 50,
       DT_PATH_ELLIPSIS);
  SelectObject(dc, listFont);
  RECT square{r.left + 220, r.top + 10, r.left + 280, r.top + 62};
  FillRect(dc, &square, GetSysColorBrush(COLOR_WINDOW));
  ImageList_Draw(images_, int(action->GetKind()), dc, square.left + 14, square.top + 4,
                 ILD_TRANSPARENT);
  Text(dc, VerbOf(action->GetKind()), r.left + 220, r.bottom - 20, r.left + 273, r.bottom,
       DT_PATH_ELLIPSIS | DT_CENTER);
  Text(dc, FolderPart(drive), r.left + 280, r.top + 10, r.left + 383, r.top + 30, DT_PATH_ELLIPSIS);
  // The edge stays inside the item, where the list draws it.
  RECT edge = r;
  InflateRect(&edge, -2, -2);
  if (item.itemState & ODS_SELECTED) {
    DrawEdge(dc, &edge, EDGE_SUNKEN, BF_RECT);
  } else {
    FrameRect(dc, &edge, GetSysColorBrush(COLOR_WINDOW));
  }
  SelectObject(dc, oldFont);
}

}  // namespace tovik
