// The tools a user keeps on the drive: the entries of its "Start Menu"
// folder as menu items, shortcuts bent to the drive's current letter.
#pragma once

#include <windows.h>

#include <list>
#include <string>

struct ToolItem {
  enum Kind { kFile = 1, kFolder = 2 };

  ToolItem() = default;
  ~ToolItem();
  ToolItem(ToolItem&& other) noexcept;
  ToolItem& operator=(ToolItem&& other) noexcept;
  ToolItem(const ToolItem&) = delete;
  ToolItem& operator=(const ToolItem&) = delete;

  UINT commandId = 0;
  Kind kind = kFile;
  HICON icon = nullptr;  // owned
  int imageIndex = 0;    // in the system image list
  std::string path;
  std::string parameters;
  std::string displayName;
  std::string workingFolder;  // "File Folder" for folders
};

class CToolsList {
 public:
  // Adds one item per entry of `folder`; ids count up from firstId in the
  // order the file system lists the entries.
  bool Scan(char letter, const std::string& folder, UINT firstId, bool includeFolders);

  size_t Count() const { return m_items.size(); }
  // Folders first, then files, each by name without regard to case.
  const std::list<ToolItem>& Items() const { return m_items; }

  // The path and parameters of the item with `commandId`; an item without a
  // path leaves them as they were. False, with both emptied, for no such item.
  bool Resolve(UINT commandId, std::string& path, std::string& parameters) const;

  bool AddItemSorted(ToolItem item);

 private:
  // Whether a sorts before b.
  static bool SortsBefore(const ToolItem& a, const ToolItem& b);
  void AddFile(const std::string& folder, const std::string& name);

  std::list<ToolItem> m_items;
  UINT m_firstId = 0;
  UINT m_added = 0;
  char m_letter = 0;
  bool m_includeFolders = false;
};
