#include "ToolsList.h"

#include <shellapi.h>

#include <utility>

#include "GUI/Trace.h"
#include "WinExplorer.h"

ToolItem::~ToolItem() {
  if (icon != nullptr) DestroyIcon(icon);
}

ToolItem::ToolItem(ToolItem&& other) noexcept { *this = std::move(other); }

ToolItem& ToolItem::operator=(ToolItem&& other) noexcept {
  if (this != &other) {
    if (icon != nullptr) DestroyIcon(icon);
    commandId = other.commandId;
    kind = other.kind;
    icon = std::exchange(other.icon, nullptr);
    imageIndex = other.imageIndex;
    path = std::move(other.path);
    parameters = std::move(other.parameters);
    displayName = std::move(other.displayName);
    workingFolder = std::move(other.workingFolder);
  }
  return *this;
}

bool CToolsList::SortsBefore(const ToolItem& a, const ToolItem& b) {
  if (a.kind != b.kind) return a.kind == ToolItem::kFolder;
  return lstrcmpiA(a.displayName.c_str(), b.displayName.c_str()) < 0;
}

bool CToolsList::AddItemSorted(ToolItem item) {
  try {
    if (m_items.empty() || SortsBefore(item, m_items.front())) {
      m_items.push_front(std::move(item));
    } else if (SortsBefore(m_items.back(), item)) {
      m_items.push_back(std::move(item));
    } else {
      auto at = m_items.begin();
      while (at != m_items.end() && !SortsBefore(item, *at)) ++at;
      if (at == m_items.end()) at = std::prev(m_items.end());
      m_items.insert(at, std::move(item));
    }
    return true;
  } catch (...) {
    TraceError(__FILE__, __LINE__, "AddItemSorted");
    return false;
  }
}

void CToolsList::AddFile(const std::string& folder, const std::string& name) {
  ToolItem item;
  const std::string full = folder + "\\" + name;
  SHFILEINFOA info{};
  if (SHGetFileInfoA(full.c_str(), 0, &info, sizeof info, SHGFI_ICON) != 0) {
    item.icon = info.hIcon;
    item.imageIndex = info.iIcon;
  }
  const auto dot = name.rfind('.');
  const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
  if (extension.find("lnk") != std::string::npos) {
    CWinExplorer::ShortcutInfo link;
    if (!CWinExplorer::ResolveShortcut(full, link) || link.target.empty()) return;
    // The drive's letter of today, whatever letter the shortcut was made on.
    link.target[0] = m_letter;
    if (GetFileAttributesA(link.target.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    item.path = link.target;
    item.parameters = link.arguments;
    item.displayName = dot != std::string::npos && dot > 1 ? name.substr(0, dot) : name;
  } else {
    item.path = full;
    item.displayName = name;
  }
  if (item.path.empty()) return;
  item.workingFolder = item.path.substr(0, item.path.rfind('\\'));
  item.kind = ToolItem::kFile;
  item.commandId = m_firstId + m_added;
  if (AddItemSorted(std::move(item))) ++m_added;
}

bool CToolsList::Scan(char letter, const std::string& folder, UINT firstId, bool includeFolders) {
  m_letter = letter;
  m_firstId = firstId;
  m_includeFolders = includeFolders;
  WIN32_FIND_DATAA found{};
  const HANDLE search = FindFirstFileA((folder + "\\*.*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return true;
  do {
    const std::string name = found.cFileName;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      AddFile(folder, name);
    } else if (name != "." && name != ".." && m_includeFolders) {
      ToolItem item;
      item.kind = ToolItem::kFolder;
      item.path = folder + "\\" + name;
      item.displayName = name;
      item.workingFolder = "File Folder";
      item.commandId = m_firstId + m_added;
      if (AddItemSorted(std::move(item))) ++m_added;
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return true;
}

bool CToolsList::Resolve(UINT commandId, std::string& path, std::string& parameters) const {
  for (const ToolItem& item : m_items) {
    if (item.commandId != commandId) continue;
    if (!item.path.empty()) {
      path = item.path;
      parameters = item.parameters;
    }
    return true;
  }
  path.clear();
  parameters.clear();
  return false;
}
