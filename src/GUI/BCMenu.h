// The owner-drawn popup menus of the program: items with an icon from an
// image list, drawn flat in the program's colours (or in the classic raised
// look). The window that shows the menu hands its WM_MEASUREITEM and
// WM_DRAWITEM of menu items to MeasureItem and DrawItem; skinned dialogs do
// that by themselves.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

class BCMenu {
 public:
  enum DrawMode { kClassic = 0, kFlat = 1 };

  BCMenu();
  ~BCMenu();
  BCMenu(const BCMenu&) = delete;
  BCMenu& operator=(const BCMenu&) = delete;

  // Loads a menu resource; every item of its popups becomes owner-drawn with
  // the resource's text and no icon.
  bool LoadMenu(UINT resourceId);
  // The popup at `position` of a loaded menu, owned by this menu; null when
  // there is none.
  BCMenu* GetSubMenu(int position);
  // An owner-drawn item: text, flags (MF_GRAYED, MF_CHECKED...), command and
  // image `index` of `images` (none when `images` is null or `index` < 0).
  bool AppendODMenu(const std::string& text, UINT flags, UINT command, HIMAGELIST images,
                    int index);
  // Gives the item of `command` a new text and icon; false when it is not here.
  bool ModifyODMenu(const std::string& text, UINT command, HIMAGELIST images, int index);
  // A separator (MF_SEPARATOR) is drawn by the menu as well; any other item
  // is appended as the system would.
  bool AppendMenu(UINT flags, UINT_PTR command = 0, const char* text = nullptr);
  bool DeleteMenu(UINT item, UINT flags);
  // Brings `owner` to the foreground, shows the menu, and lets the owner's
  // queue see a message afterwards so that the menu closes properly.
  UINT TrackPopupMenu(UINT flags, int x, int y, HWND owner);
  // The only right way to end a loaded menu.
  bool DestroyMenu();

  // Process-wide drawing style of every menu.
  static void SetMenuDrawMode(int mode);
  static int GetMenuDrawMode();
  // Icon column and highlight frame, background, and item text.
  void SetColors(COLORREF first, COLORREF background, COLORREF text);
  void SetIconSize(int cx, int cy);

  HMENU GetSafeHmenu() const { return menu_; }
  COLORREF FirstColor() const { return first_; }
  COLORREF BackgroundColor() const { return background_; }
  SIZE IconSize() const { return iconSize_; }
  // The text of the owner-drawn item of `command`; empty when there is none.
  std::string ItemText(UINT command) const;

  // Handlers of the owner window: true when the item was one of ours.
  static bool MeasureItem(MEASUREITEMSTRUCT& item);
  static bool DrawItem(const DRAWITEMSTRUCT& item);
  // Whether drawing is flat now (flat mode and no palette display).
  static bool DrawsFlat();

 private:
  struct Item {
    BCMenu* menu = nullptr;
    std::string text;
    UINT command = 0;
    HIMAGELIST images = nullptr;
    int index = -1;
    bool separator = false;
  };
  explicit BCMenu(HMENU popup, BCMenu* root);
  void TakeOverItems();
  Item* FindItem(UINT command);
  const Item* FindItem(UINT command) const;
  void Release();
  void Draw(const DRAWITEMSTRUCT& dis, const Item& item) const;
  const BCMenu& Root() const { return root_ != nullptr ? *root_ : *this; }

  HMENU menu_ = nullptr;
  BCMenu* root_ = nullptr;  // the loaded menu a popup belongs to
  bool loaded_ = false;
  std::vector<std::unique_ptr<Item>> items_;
  std::vector<std::unique_ptr<BCMenu>> subMenus_;
  COLORREF first_;
  COLORREF background_ = RGB(192, 192, 192);
  COLORREF text_;
  SIZE iconSize_{16, 15};
};
