#include "GUI/GUIDialog.h"

#include <commctrl.h>

#include <windowsx.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "GUI/Application.h"
#include "GUI/BCMenu.h"
#include "GUI/GUILabel.h"
#include "GUI/Trace.h"

namespace {
const COLORREF kShapeKey = RGB(255, 255, 255);
const int kShapeTolerance = 0x10;
// Rectangles are handed to the region in blocks of this many.
const size_t kRegionBlock = 100;

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

RECT WindowRectInClient(HWND control, HWND dialog) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

void Move(HWND control, const RECT& r) {
  MoveWindow(control, r.left, r.top, Width(r), Height(r), TRUE);
}

void TraceMissing(UINT id) {
  char text[64];
  std::snprintf(text, sizeof(text), "Control ID - %d NOT FOUND!!\n", int(id));
  OutputDebugStringA(text);
}

// Adds one block of rectangles to `region` (created on first use).
bool FlushBlock(std::vector<RECT>& block, HRGN& region) {
  if (block.empty()) return true;
  std::vector<char> buffer(sizeof(RGNDATAHEADER) + block.size() * sizeof(RECT));
  auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
  data->rdh.dwSize = sizeof(RGNDATAHEADER);
  data->rdh.iType = RDH_RECTANGLES;
  data->rdh.nCount = DWORD(block.size());
  data->rdh.nRgnSize = DWORD(block.size() * sizeof(RECT));
  RECT bounds = block.front();
  for (const RECT& r : block) UnionRect(&bounds, &bounds, &r);
  data->rdh.rcBound = bounds;
  std::copy(block.begin(), block.end(), reinterpret_cast<RECT*>(data->Buffer));
  HRGN part = ExtCreateRegion(nullptr, DWORD(buffer.size()), data);
  block.clear();
  if (part == nullptr) return false;
  if (region == nullptr) {
    region = part;
    return true;
  }
  CombineRgn(region, region, part, RGN_OR);
  DeleteObject(part);
  return true;
}

// The region of every pixel of `bitmap` that is not of the transparent colour.
HRGN RegionFromBitmap(HBITMAP bitmap) {
  BITMAP info{};
  if (GetObjectA(bitmap, sizeof(info), &info) == 0 || info.bmWidth <= 0 || info.bmHeight <= 0) {
    return nullptr;
  }
  const int width = info.bmWidth;
  const int height = info.bmHeight;
  BITMAPINFO format{};
  format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  format.bmiHeader.biWidth = width;
  format.bmiHeader.biHeight = -height;  // top-down rows
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  format.bmiHeader.biCompression = BI_RGB;
  std::vector<uint32_t> pixels(size_t(width) * size_t(height));
  HDC screen = GetDC(nullptr);
  int rows = GetDIBits(screen, bitmap, 0, UINT(height), pixels.data(), &format, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows != height) return nullptr;

  HRGN region = nullptr;
  std::vector<RECT> block;
  block.reserve(kRegionBlock);
  for (int y = 0; y < height; ++y) {
    const uint32_t* row = &pixels[size_t(y) * size_t(width)];
    int x = 0;
    while (x < width) {
      auto opaque = [&](int at) {
        uint32_t p = row[at];
        return !CGUIDialog::IsTransparent(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF),
                                          kShapeKey, kShapeTolerance);
      };
      while (x < width && !opaque(x)) ++x;
      int start = x;
      while (x < width && opaque(x)) ++x;
      if (x > start) {
        block.push_back(RECT{start, y, x, y + 1});
        if (block.size() == kRegionBlock && !FlushBlock(block, region)) break;
      }
    }
  }
  FlushBlock(block, region);
  // A bitmap that is white all over still gives a (empty) region.
  if (region == nullptr) region = CreateRectRgn(0, 0, 0, 0);
  return region;
}
}  // namespace

CGUIDialog::CGUIDialog(UINT templateId, HWND parent) : CDialog(templateId, parent) {}

CGUIDialog::~CGUIDialog() {
  if (panelBrush_ != nullptr) DeleteObject(panelBrush_);
}

void CGUIDialog::SetIconResource(UINT id) {
  icon_ = LoadIconA(CApplication::ResourceHandle(), MAKEINTRESOURCEA(id));
}

void CGUIDialog::SetPanelColors(COLORREF panel, COLORREF text) {
  if (panelBrush_ != nullptr) DeleteObject(panelBrush_);
  panelBrush_ = CreateSolidBrush(panel);
  panelColor_ = panel;
  panelText_ = text;
}

void CGUIDialog::SetupPanelLabel(CGUILabel& label, UINT id, const std::string& text) {
  if (label.GetSafeHwnd() == nullptr) label.SubclassDlgItem(id, hwnd_);
  label.SetBackgroundColor(panelColor_);
  label.SetTextColor(panelText_);
  label.SetText(text);
}

bool CGUIDialog::IsTransparent(COLORREF pixel, COLORREF key, int tolerance) {
  auto within = [tolerance](int value, int low) {
    int high = std::min(low + tolerance, 255);
    return value >= low && value <= high;
  };
  return within(GetRValue(pixel), GetRValue(key)) && within(GetGValue(pixel), GetGValue(key)) &&
         within(GetBValue(pixel), GetBValue(key));
}

bool CGUIDialog::SetSkin(UINT pictureId) {
  skinActive_ = skin_.Load(CApplication::ResourceHandle(), pictureId, "GIF");
  if (!skinActive_)
    TraceError(__FILE__, __LINE__, "skin " + std::to_string(pictureId) + " not loaded");
  return skinActive_;
}

bool CGUIDialog::SetShape(UINT bitmapId) {
  if (hwnd_ == nullptr) return false;
  HBITMAP bitmap =
      static_cast<HBITMAP>(LoadImageA(CApplication::ResourceHandle(), MAKEINTRESOURCEA(bitmapId),
                                      IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  if (bitmap == nullptr) return false;
  HRGN region = RegionFromBitmap(bitmap);
  DeleteObject(bitmap);
  if (region == nullptr) return false;
  // The window owns the region from here on.
  if (SetWindowRgn(hwnd_, region, TRUE) == 0) {
    DeleteObject(region);
    return false;
  }
  return true;
}

CControlInfo* CGUIDialog::Entry(UINT id) {
  auto found = controls_.find(uint16_t(id));
  return found == controls_.end() ? nullptr : found->second.get();
}

const CControlInfo* CGUIDialog::FindControlInfo(UINT id) const {
  auto found = controls_.find(uint16_t(id));
  return found == controls_.end() ? nullptr : found->second.get();
}

void CGUIDialog::SetControlInfo(UINT id, const char* name, int top, int bottom, int left,
                                int right) {
  auto info = std::make_unique<CControlInfo>();
  info->name = name != nullptr ? name : "";
  info->rect = RECT{left, top, right, bottom};
  info->window = GetDlgItem(int(id));
  if (info->window != nullptr) {
    char cls[32] = {};
    GetClassNameA(info->window, cls, sizeof(cls));
    info->isComboBox = lstrcmpiA(cls, "ComboBox") == 0 || lstrcmpiA(cls, "ComboBoxEx32") == 0;
  }
  controls_[uint16_t(id)] = std::move(info);
}

void CGUIDialog::SetResizableControlInfo(UINT id, const char* name, int top, int bottom, int left,
                                         int right, bool leftAligned) {
  SetControlInfo(id, name, top, bottom, left, right);
  CControlInfo* info = Entry(id);
  info->contentSized = true;
  info->leftAligned = leftAligned;
}

void CGUIDialog::SetAnchor(UINT id, uint32_t flags, int margin) {
  if (CControlInfo* info = Entry(id)) {
    info->anchorFlags = flags;
    info->margin = margin;
  }
}

void CGUIDialog::SetLeftNeighbour(UINT leftId, UINT rightId, int gap) {
  if (CControlInfo* info = Entry(rightId)) {
    info->neighbourId = leftId;
    info->gap = gap;
  }
}

void CGUIDialog::ApplySkinAndLayout() {
  if (hwnd_ == nullptr) return;
  if (icon_ != nullptr) {
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
  }
  FitToSkin();
  RunLayout();
}

void CGUIDialog::FitToSkin() {
  if (!skinActive_) return;
  SIZE picture = skin_.GetSize();
  if (picture.cx == 0 || picture.cy == 0) return;
  RECT window{};
  GetWindowRect(hwnd_, &window);
  RECT client = GetClientRect();
  SetWindowPos(hwnd_, nullptr, 0, 0, Width(window) + picture.cx - Width(client),
               Height(window) + picture.cy - Height(client),
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CGUIDialog::RunLayout() {
  PlaceControls();
  AnchorControls();
  ChainNeighbours();
}

void CGUIDialog::PlaceControls() {
  const RECT client = GetClientRect();
  for (auto& [id, info] : controls_) {
    if (info->window == nullptr || !::IsWindow(info->window)) {
      TraceMissing(id);
      continue;
    }
    RECT r = info->rect;
    if (info->isComboBox) {
      RECT dropped{};
      SendMessageA(info->window, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped));
      r.bottom = r.top + Height(dropped);
    } else if (info->contentSized) {
      const int w = Width(WindowRectInClient(info->window, hwnd_));
      if (client.left + 6 >= info->rect.right - w || info->leftAligned) {
        r.left = info->rect.left;
        r.right = r.left + w;
      } else {
        r.right = info->rect.right;
        r.left = r.right - w;
      }
    }
    Move(info->window, r);
    info->rect = r;
  }
}

void CGUIDialog::AnchorControls() {
  const RECT client = GetClientRect();
  for (auto& [id, info] : controls_) {
    if (info->anchorFlags == 0) continue;
    if (info->window == nullptr || !::IsWindow(info->window)) {
      TraceMissing(id);
      continue;
    }
    RECT r = WindowRectInClient(info->window, hwnd_);
    const int w = Width(r);
    const int h = Height(r);
    const uint32_t f = info->anchorFlags;
    if (f & CControlInfo::kTop) {
      r.top = client.top + info->margin;
      if (!(f & CControlInfo::kBottom)) r.bottom = r.top + h;
    }
    if (f & CControlInfo::kBottom) {
      r.bottom = client.bottom - info->margin;
      if (!(f & CControlInfo::kTop)) r.top = r.bottom - h;
    }
    if (f & CControlInfo::kLeft) {
      r.left = client.left + info->margin;
      if (!(f & CControlInfo::kRight)) r.right = r.left + w;
    }
    if (f & CControlInfo::kRight) {
      r.right = client.right - info->margin;
      if (!(f & CControlInfo::kLeft)) r.left = r.right - w;
    }
    info->rect = r;
    Move(info->window, r);
  }
}

void CGUIDialog::ChainNeighbours() {
  for (auto& [id, info] : controls_) {
    if (!info->contentSized || info->neighbourId == 0) continue;
    if (info->window == nullptr || !::IsWindow(info->window)) {
      TraceMissing(id);
      continue;
    }
    // A chain that loops back on itself stops after visiting every entry once.
    CControlInfo* current = info.get();
    for (size_t steps = 0; current->neighbourId != 0 && steps < controls_.size(); ++steps) {
      CControlInfo* neighbour = Entry(current->neighbourId);
      if (neighbour == nullptr || neighbour->window == nullptr || !::IsWindow(neighbour->window)) {
        TraceMissing(current->neighbourId);
        break;
      }
      const int w = Width(WindowRectInClient(neighbour->window, hwnd_));
      RECT r{};
      r.top = current->rect.top;
      r.bottom = current->rect.bottom;
      r.right = current->rect.left - current->gap;
      r.left = r.right - w;
      neighbour->rect = r;
      Move(neighbour->window, r);
      if (!neighbour->contentSized) break;
      current = neighbour;
    }
  }
}

bool CGUIDialog::DumpControlInfo() {
  const std::string name = listingFile_.empty() ? std::string("control.out") : listingFile_;
  listingFile_.clear();
  FILE* file = std::fopen(name.c_str(), "w");
  if (file == nullptr) return false;
  std::vector<uint16_t> ids;
  for (const auto& entry : controls_) ids.push_back(entry.first);
  std::sort(ids.begin(), ids.end());
  bool ok = std::fputs("//{{AFX\n", file) >= 0;
  for (uint16_t id : ids) {
    const CControlInfo& info = *controls_[id];
    if (info.window == nullptr || !::IsWindow(info.window)) continue;
    const RECT r = WindowRectInClient(info.window, hwnd_);
    const char* n = info.name.c_str();
    if (info.contentSized) {
      ok &= std::fprintf(file, "SetResizableControlInfo(%s, \"%s\", %d, %d, %d, %d, %s);\n", n, n,
                         int(r.top), int(r.bottom), int(r.left), int(r.right),
                         info.leftAligned ? "true" : "false") > 0;
    } else {
      ok &= std::fprintf(file, "SetControlInfo(%s, \"%s\", %d, %d, %d, %d);\n", n, n, int(r.top),
                         int(r.bottom), int(r.left), int(r.right)) > 0;
    }
  }
  ok &= std::fputs("//}}AFX\n", file) >= 0;
  ok &= std::fclose(file) == 0;
  return ok;
}

void CGUIDialog::SetupCaptionBar(CGUILabel& label, UINT id, const std::string& text) {
  if (label.GetSafeHwnd() == nullptr) label.SubclassDlgItem(id, hwnd_);
  label.SetGradientBackground(kCaptionRed, kCaptionGrey, true);
  label.SetTextColor(RGB(255, 255, 255));
  label.SetBold(true);
  label.SetFontHeight(kCaptionFontHeight);
  // One leading space, also for texts that bring their own.
  label.SetText(!text.empty() && text[0] == ' ' ? text : " " + text);
  captionId_ = id;
}

void CGUIDialog::CenterWindow(HWND over) {
  RECT area{};
  if (over != nullptr && ::IsWindow(over) && IsWindowVisible(over) && !IsIconic(over)) {
    GetWindowRect(over, &area);
  } else {
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  }
  RECT window{};
  GetWindowRect(hwnd_, &window);
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  int x = area.left + (Width(area) - Width(window)) / 2;
  int y = area.top + (Height(area) - Height(window)) / 2;
  // Keep the whole window on the work area where it fits.
  x = std::max(int(work.left), std::min(x, int(work.right) - Width(window)));
  y = std::max(int(work.top), std::min(y, int(work.bottom) - Height(window)));
  SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CGUIDialog::OnInitDialog() {
  controls_.clear();
  controls_.rehash(10);
  return TRUE;
}

void CGUIDialog::PaintSkin(HDC dc) const {
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  SIZE size = skinActive_ ? skin_.GetSize() : SIZE{0, 0};
  // What the picture does not cover gets the dialog colour.
  HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
  if (size.cx < client.right) {
    RECT r{size.cx, 0, client.right, client.bottom};
    FillRect(dc, &r, face);
  }
  if (size.cy < client.bottom) {
    RECT r{0, size.cy, std::min(size.cx, client.right), client.bottom};
    FillRect(dc, &r, face);
  }
  if (skinActive_) skin_.Render(dc, 0, 0);
}

void CGUIDialog::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  if (IsIconic(hwnd_)) {
    RECT client = GetClientRect();
    int cx = GetSystemMetrics(SM_CXICON);
    int cy = GetSystemMetrics(SM_CYICON);
    if (icon_ != nullptr) {
      DrawIcon(dc, (Width(client) - cx + 1) / 2, (Height(client) - cy + 1) / 2, icon_);
    }
  } else {
    if (skinActive_) PaintSkin(dc);
    PaintOverSkin(dc);
  }
  EndPaint(hwnd_, &ps);
}

bool CGUIDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
  switch (message) {
    case WM_PAINT:
      OnPaint();
      result = 0;
      return true;
    case WM_ERASEBKGND:
      if (!skinActive_) return false;
      PaintSkin(reinterpret_cast<HDC>(wParam));
      result = TRUE;
      return true;
    case WM_PRINTCLIENT:
      // Skinned controls ask for the background behind their transparent parts.
      if (skinActive_) {
        PaintSkin(reinterpret_cast<HDC>(wParam));
      } else {
        RECT client = GetClientRect();
        FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
      }
      result = 0;
      return true;
    case WM_LBUTTONDOWN: {
      HWND caption = captionId_ != 0 ? GetDlgItem(int(captionId_)) : nullptr;
      if (caption == nullptr) return false;
      POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      RECT r = WindowRectInClient(caption, hwnd_);
      if (!PtInRect(&r, pt)) return false;
      // Dragging the caption bar moves the window, as a real caption would.
      ClientToScreen(hwnd_, &pt);
      PostMessageA(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(pt.x, pt.y));
      result = 0;
      return true;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
      if (panelBrush_ == nullptr) return false;
      SetBkColor(reinterpret_cast<HDC>(wParam), panelColor_);
      SetTextColor(reinterpret_cast<HDC>(wParam), panelText_);
      result = reinterpret_cast<LRESULT>(panelBrush_);
      return true;
    }
    case WM_MEASUREITEM:
      if (!BCMenu::MeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam))) return false;
      result = TRUE;
      return true;
    case WM_DRAWITEM:
      if (!BCMenu::DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam))) return false;
      result = TRUE;
      return true;
    case WM_DESTROY:
      controls_.clear();
      return false;
    default:
      return false;
  }
}

HWND CGUIDialog::CreateToolTip() {
  HWND tip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_,
                             nullptr, CApplication::ResourceHandle(), nullptr);
  if (tip != nullptr) SendMessageA(tip, TTM_SETMAXTIPWIDTH, 0, 300);
  return tip;
}

void CGUIDialog::AddToolTip(HWND toolTip, UINT id, const std::string& text) {
  HWND control = GetDlgItem(int(id));
  if (toolTip == nullptr || control == nullptr) return;
  std::string copy = text;
  TTTOOLINFOA tool{};
  // The first layout of the structure: every version of the control takes it.
  tool.cbSize = TTTOOLINFOA_V1_SIZE;
  tool.uFlags = TTF_SUBCLASS;
  tool.hwnd = control;
  tool.uId = id;
  ::GetClientRect(control, &tool.rect);
  tool.hinst = nullptr;
  tool.lpszText = &copy[0];
  SendMessageA(toolTip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}
