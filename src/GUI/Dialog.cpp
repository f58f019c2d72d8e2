#include "GUI/Dialog.h"

#include <exception>

#include "GUI/Application.h"
#include "GUI/Trace.h"

namespace {
const char kDialogProperty[] = "TovikDialog";

// Messages whose result a dialog procedure returns itself instead of through
// DWLP_MSGRESULT.
bool ReturnsDirectly(UINT message) {
  switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
      return true;
    default:
      return false;
  }
}

// The child whose notification this is, for handing it back to the child.
HWND ReflectTarget(UINT message, LPARAM lParam) {
  switch (message) {
    case WM_DRAWITEM:
      return reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)->hwndItem;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
      return reinterpret_cast<HWND>(lParam);
    default:
      return nullptr;
  }
}
}  // namespace

CDialog::CDialog(UINT templateId, HWND parent) : templateId_(templateId), parent_(parent) {}

CDialog::~CDialog() {
  if (IsWindow()) {
    HWND window = hwnd_;
    DetachHandle();
    RemovePropA(window, kDialogProperty);
    ::DestroyWindow(window);
  }
}

bool CDialog::Create() {
  if (hwnd_ != nullptr) return false;
  HWND window = CreateDialogParamA(CApplication::ResourceHandle(), MAKEINTRESOURCEA(templateId_),
                                   parent_, &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
  if (window == nullptr) {
    TraceError(__FILE__, __LINE__,
               "dialog template " + std::to_string(templateId_) + " not created");
    return false;
  }
  return true;
}

INT_PTR CDialog::DoModal(bool shown) {
  // The parent is disabled only when it was enabled, so that a nested modal
  // dialog does not enable it again behind its own caller's back.
  const bool disableParent = parent_ != nullptr && IsWindowEnabled(parent_);
  if (!Create()) return -1;
  if (disableParent) EnableWindow(parent_, FALSE);
  if (shown) ShowWindow(hwnd_, SW_SHOW);
  INT_PTR result = RunModalLoop();
  if (disableParent) EnableWindow(parent_, TRUE);
  DestroyWindow();
  return result;
}

INT_PTR CDialog::RunModalLoop() {
  if (!IsWindow()) return -1;
  inModalLoop_ = true;
  loopEnded_ = false;
  result_ = -1;
  MSG msg;
  while (!loopEnded_ && hwnd_ != nullptr) {
    BOOL got = GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      // Leave WM_QUIT for the loop further out.
      PostQuitMessage(int(msg.wParam));
      break;
    }
    if (got < 0) break;
    if (PreTranslateMessage(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  inModalLoop_ = false;
  return result_;
}

void CDialog::EndDialog(INT_PTR result) {
  result_ = result;
  if (inModalLoop_) {
    loopEnded_ = true;
    // The loop may be asleep in GetMessage.
    if (hwnd_ != nullptr) PostMessageA(hwnd_, WM_NULL, 0, 0);
  } else {
    DestroyWindow();
  }
}

bool CDialog::DestroyWindow() {
  if (hwnd_ == nullptr) return false;
  return ::DestroyWindow(hwnd_) != FALSE;
}

bool CDialog::PreTranslateMessage(MSG& msg) {
  if (msg.hwnd == nullptr || msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  HWND root = GetAncestor(msg.hwnd, GA_ROOT);
  if (root == nullptr || GetPropA(root, kDialogProperty) == nullptr) return false;
  if (auto* dialog = dynamic_cast<CDialog*>(CWnd::FromHandle(root))) {
    if (dialog->OnPreTranslate(msg)) return true;
  }
  return IsDialogMessageA(root, &msg) != FALSE;
}

bool CDialog::SetTimer(UINT_PTR id, UINT milliseconds) {
  return hwnd_ != nullptr && ::SetTimer(hwnd_, id, milliseconds, nullptr) != 0;
}

void CDialog::KillTimer(UINT_PTR id) {
  if (hwnd_ != nullptr) ::KillTimer(hwnd_, id);
}

bool CDialog::OnCommand(UINT id, UINT code, HWND) {
  if (code != BN_CLICKED && code != 0) return false;
  if (id == IDOK) {
    OnOK();
    return true;
  }
  if (id == IDCANCEL) {
    OnCancel();
    return true;
  }
  return false;
}

bool CDialog::OnNotify(const NMHDR&, LRESULT&) { return false; }

void CDialog::OnTimer(UINT_PTR) {}

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&) { return false; }

bool CDialog::Route(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  if (HWND child = ReflectTarget(message, lParam)) {
    if (CWnd* control = CWnd::FromHandle(child)) {
      if (control != this && control->ReflectFromParent(message, wParam, lParam, result)) {
        return true;
      }
    }
  }
  switch (message) {
    case WM_COMMAND:
      if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))) {
        result = 0;
        return true;
      }
      break;
    case WM_NOTIFY:
      if (OnNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) return true;
      break;
    case WM_TIMER:
      OnTimer(wParam);
      result = 0;
      return true;
    default:
      break;
  }
  return OnMessage(message, wParam, lParam, result);
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  bool handled = false;
  try {
    if (message == WM_INITDIALOG) return OnInitDialog();
    handled = Route(message, wParam, lParam, result);
  } catch (const std::exception& e) {
    TraceException(__FILE__, __LINE__, e.what());
    return FALSE;
  } catch (...) {
    TraceException(__FILE__, __LINE__, nullptr);
    return FALSE;
  }
  if (!handled) return FALSE;
  if (ReturnsDirectly(message)) return INT_PTR(result);
  SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
  return TRUE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  CDialog* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CDialog*>(lParam);
    self->AttachHandle(window);
    SetPropA(window, kDialogProperty, self);
  } else {
    self = static_cast<CDialog*>(GetPropA(window, kDialogProperty));
  }
  if (self == nullptr) return FALSE;
  if (message == WM_NCDESTROY) {
    RemovePropA(window, kDialogProperty);
    self->DetachHandle();
    if (self->inModalLoop_) self->loopEnded_ = true;
    self->PostNcDestroy();
    return FALSE;
  }
  return self->Dispatch(message, wParam, lParam);
}
