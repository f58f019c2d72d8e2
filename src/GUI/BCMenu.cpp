#include "GUI/BCMenu.h"

#include <algorithm>
#include <set>

#include "GUI/Application.h"

namespace {
int g_drawMode = BCMenu::kClassic;

// The items alive in any menu: a WM_DRAWITEM of someone else's owner-drawn
// item must not be read as one of ours.
std::set<const void*>& LiveItems() {
  static std::set<const void*> items;
  return items;
}

const int kSeparatorHeight = 6;
const int kTextGap = 8;      // between the icon column and the text
const int kRightSpace = 20;  // after the text, where a submenu arrow would go

COLORREF Blend(COLORREF a, COLORREF b, int percentOfA) {
  auto mix = [percentOfA](int x, int y) { return (x * percentOfA + y * (100 - percentOfA)) / 100; };
  return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)),
             mix(GetBValue(a), GetBValue(b)));
}

void Fill(HDC dc, const RECT& r, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
}

void Frame(HDC dc, const RECT& r, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  FrameRect(dc, &r, brush);
  DeleteObject(brush);
}

HFONT MenuFont() { return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)); }
}  // namespace

BCMenu::BCMenu() : first_(GetSysColor(COLOR_HIGHLIGHT)), text_(GetSysColor(COLOR_MENUTEXT)) {}

BCMenu::BCMenu(HMENU popup, BCMenu* root)
    : menu_(popup),
      root_(root),
      first_(root->first_),
      background_(root->background_),
      text_(root->text_),
      iconSize_(root->iconSize_) {
  TakeOverItems();
}

BCMenu::~BCMenu() {
  if (root_ == nullptr && loaded_ && menu_ != nullptr) {
    OutputDebugStringA("IMPORTANT:Use BCMenu::DestroyMenu to destroy Loaded Menu's\n");
    ::DestroyMenu(menu_);
    menu_ = nullptr;
  }
  Release();
}

void BCMenu::Release() {
  for (const auto& item : items_) LiveItems().erase(item.get());
  items_.clear();
  subMenus_.clear();
}

bool BCMenu::LoadMenu(UINT resourceId) {
  if (root_ != nullptr) return false;
  if (menu_ != nullptr) DestroyMenu();
  menu_ = ::LoadMenuA(CApplication::ResourceHandle(), MAKEINTRESOURCEA(resourceId));
  if (menu_ == nullptr) return false;
  loaded_ = true;
  return true;
}

BCMenu* BCMenu::GetSubMenu(int position) {
  if (menu_ == nullptr) return nullptr;
  HMENU popup = ::GetSubMenu(menu_, position);
  if (popup == nullptr) return nullptr;
  for (const auto& sub : subMenus_) {
    if (sub->menu_ == popup) return sub.get();
  }
  subMenus_.push_back(std::unique_ptr<BCMenu>(new BCMenu(popup, root_ != nullptr ? root_ : this)));
  return subMenus_.back().get();
}

// Every plain item of the popup becomes one of ours, keeping its text.
void BCMenu::TakeOverItems() {
  const int count = GetMenuItemCount(menu_);
  for (int i = 0; i < count; ++i) {
    char text[256] = "";
    MENUITEMINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_TYPE | MIIM_STATE | MIIM_SUBMENU;
    info.dwTypeData = text;
    info.cch = sizeof(text);
    if (!GetMenuItemInfoA(menu_, UINT(i), TRUE, &info) || info.hSubMenu != nullptr) continue;
    auto item = std::make_unique<Item>();
    item->menu = this;
    item->command = info.wID;
    item->separator = (info.fType & MFT_SEPARATOR) != 0;
    if (!item->separator) item->text = text;
    UINT flags = MF_BYPOSITION | MF_OWNERDRAW | (item->separator ? MF_SEPARATOR : 0);
    if (info.fState & MFS_GRAYED) flags |= MF_GRAYED;
    if (info.fState & MFS_CHECKED) flags |= MF_CHECKED;
    ModifyMenuA(menu_, UINT(i), flags, info.wID, reinterpret_cast<LPCSTR>(item.get()));
    LiveItems().insert(item.get());
    items_.push_back(std::move(item));
  }
}

bool BCMenu::AppendODMenu(const std::string& text, UINT flags, UINT command, HIMAGELIST images,
                          int index) {
  if (menu_ == nullptr) {
    menu_ = CreatePopupMenu();
    if (menu_ == nullptr) return false;
  }
  auto item = std::make_unique<Item>();
  item->menu = this;
  item->text = text;
  item->command = command;
  item->images = images;
  item->index = index;
  item->separator = (flags & MF_SEPARATOR) != 0;
  if (!::AppendMenuA(menu_, (flags & ~MF_STRING) | MF_OWNERDRAW, command,
                     reinterpret_cast<LPCSTR>(item.get()))) {
    return false;
  }
  LiveItems().insert(item.get());
  items_.push_back(std::move(item));
  return true;
}

bool BCMenu::ModifyODMenu(const std::string& text, UINT command, HIMAGELIST images, int index) {
  Item* item = FindItem(command);
  if (item == nullptr) return false;
  item->text = text;
  item->images = images;
  item->index = index;
  return true;
}

bool BCMenu::AppendMenu(UINT flags, UINT_PTR command, const char* text) {
  if (flags & MF_SEPARATOR) return AppendODMenu("", MF_SEPARATOR, 0, nullptr, -1);
  if (menu_ == nullptr) menu_ = CreatePopupMenu();
  return menu_ != nullptr && ::AppendMenuA(menu_, flags, command, text) != FALSE;
}

bool BCMenu::DeleteMenu(UINT item, UINT flags) {
  if (menu_ == nullptr) return false;
  UINT command = item;
  if (flags & MF_BYPOSITION) command = GetMenuItemID(menu_, int(item));
  if (!::DeleteMenu(menu_, item, flags)) return false;
  auto found = std::find_if(items_.begin(), items_.end(), [command](const auto& i) {
    return !i->separator && i->command == command;
  });
  if (found != items_.end()) {
    LiveItems().erase(found->get());
    items_.erase(found);
  }
  return true;
}

UINT BCMenu::TrackPopupMenu(UINT flags, int x, int y, HWND owner) {
  if (menu_ == nullptr) return 0;
  SetForegroundWindow(owner);
  const UINT result = UINT(::TrackPopupMenu(menu_, flags, x, y, 0, owner, nullptr));
  PostMessageA(owner, WM_NULL, 0, 0);
  return result;
}

bool BCMenu::DestroyMenu() {
  if (root_ != nullptr) return root_->DestroyMenu();
  const bool had = menu_ != nullptr;
  if (had) ::DestroyMenu(menu_);
  menu_ = nullptr;
  loaded_ = false;
  Release();
  return had;
}

void BCMenu::SetMenuDrawMode(int mode) { g_drawMode = mode; }
int BCMenu::GetMenuDrawMode() { return g_drawMode; }

void BCMenu::SetColors(COLORREF first, COLORREF background, COLORREF text) {
  first_ = first;
  background_ = background;
  text_ = text;
  for (const auto& sub : subMenus_) sub->SetColors(first, background, text);
}

void BCMenu::SetIconSize(int cx, int cy) {
  iconSize_ = SIZE{cx, cy};
  for (const auto& sub : subMenus_) sub->SetIconSize(cx, cy);
}

BCMenu::Item* BCMenu::FindItem(UINT command) {
  return const_cast<Item*>(static_cast<const BCMenu*>(this)->FindItem(command));
}

const BCMenu::Item* BCMenu::FindItem(UINT command) const {
  for (const auto& item : items_) {
    if (!item->separator && item->command == command) return item.get();
  }
  for (const auto& sub : subMenus_) {
    if (const Item* item = sub->FindItem(command)) return item;
  }
  return nullptr;
}

std::string BCMenu::ItemText(UINT command) const {
  const Item* item = FindItem(command);
  return item != nullptr ? item->text : std::string();
}

bool BCMenu::DrawsFlat() {
  if (g_drawMode != kFlat) return false;
  HDC screen = GetDC(nullptr);
  const bool palette = (GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) != 0;
  ReleaseDC(nullptr, screen);
  return !palette;
}

bool BCMenu::MeasureItem(MEASUREITEMSTRUCT& mis) {
  if (mis.CtlType != ODT_MENU) return false;
  const auto* item = reinterpret_cast<const Item*>(mis.itemData);
  if (LiveItems().count(item) == 0) return false;
  const SIZE icon = item->menu->iconSize_;
  if (item->separator) {
    mis.itemWidth = 0;
    mis.itemHeight = kSeparatorHeight;
    return true;
  }
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, MenuFont());
  RECT r{0, 0, 0, 0};
  DrawTextA(dc, item->text.c_str(), int(item->text.size()), &r,
            DT_SINGLELINE | DT_CALCRECT | DT_EXPANDTABS);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  mis.itemWidth = UINT(icon.cx + 4 + kTextGap + (r.right - r.left) + kRightSpace);
  mis.itemHeight = UINT(std::max(int(icon.cy) + 4, int(tm.tmHeight) + 6));
  return true;
}

bool BCMenu::DrawItem(const DRAWITEMSTRUCT& dis) {
  if (dis.CtlType != ODT_MENU) return false;
  const auto* item = reinterpret_cast<const Item*>(dis.itemData);
  if (LiveItems().count(item) == 0) return false;
  item->menu->Draw(dis, *item);
  return true;
}

void BCMenu::Draw(const DRAWITEMSTRUCT& dis, const Item& item) const {
  HDC dc = dis.hDC;
  const RECT r = dis.rcItem;
  const bool flat = DrawsFlat();
  const bool selected = (dis.itemState & ODS_SELECTED) != 0 && !item.separator;
  const bool grayed = (dis.itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
  const int column = iconSize_.cx + 4;
  RECT iconColumn{r.left, r.top, r.left + column, r.bottom};
  RECT body{r.left + column, r.top, r.right, r.bottom};

  if (flat) {
    Fill(dc, body, background_);
    Fill(dc, iconColumn, first_);
    if (selected) {
      RECT inner = r;
      InflateRect(&inner, -1, 0);
      Fill(dc, inner, Blend(first_, RGB(255, 255, 255), 25));
      Frame(dc, r, first_);
    }
  } else {
    Fill(dc, r, GetSysColor(selected ? COLOR_HIGHLIGHT : COLOR_MENU));
  }

  if (item.separator) {
    RECT line{body.left + 2, r.top + (r.bottom - r.top) / 2 - 1, r.right - 2, 0};
    line.bottom = line.top + 2;
    if (flat) {
      Fill(dc, RECT{line.left, line.top, line.right, line.top + 1}, Blend(first_, background_, 60));
    } else {
      DrawEdge(dc, &line, EDGE_ETCHED, BF_TOP);
    }
    return;
  }

  if (item.images != nullptr && item.index >= 0) {
    const int x = r.left + 2;
    const int y = r.top + ((r.bottom - r.top) - iconSize_.cy) / 2;
    ImageList_DrawEx(item.images, item.index, dc, x, y, iconSize_.cx, iconSize_.cy, CLR_NONE,
                     CLR_NONE, grayed ? ILD_BLEND50 : ILD_TRANSPARENT);
    if (!flat && selected) {
      RECT edge{x - 1, y - 1, x + iconSize_.cx + 1, y + iconSize_.cy + 1};
      DrawEdge(dc, &edge, BDR_RAISEDINNER, BF_RECT);
    }
  } else if (dis.itemState & ODS_CHECKED) {
    RECT mark = iconColumn;
    DrawFrameControl(dc, &mark, DFC_MENU, DFCS_MENUCHECK);
  }

  COLORREF color = flat ? text_ : GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_MENUTEXT);
  if (grayed) color = GetSysColor(COLOR_GRAYTEXT);
  HGDIOBJ old = SelectObject(dc, MenuFont());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, color);
  RECT text = body;
  text.left += kTextGap;
  DrawTextA(dc, item.text.c_str(), int(item.text.size()), &text,
            DT_SINGLELINE | DT_VCENTER | DT_EXPANDTABS);
  SelectObject(dc, old);
}
