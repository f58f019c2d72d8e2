// The tools list from the drive's own "Start Menu": real shortcut files made
// through the shell's link object, their targets on another letter, bent to
// the drive's letter; the order of the items and their ids.
#include "ToolsList.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "DriveTestSupport.h"
#include "WinExplorer.h"

namespace {

using drivetest::CopyMarker;
using drivetest::DriveTest;
using drivetest::MarkerRan;
using drivetest::WriteText;

const char kStartMenu[] = "R:\\My Profile\\Start Menu";

// A shell link at `file` to `target` with `arguments`, written by the shell.
void MakeLink(const std::string& file, const std::string& target, const std::string& arguments,
              const std::string& description = "", int iconIndex = 0) {
  CoInitialize(nullptr);
  IShellLinkA* link = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                             reinterpret_cast<void**>(&link)),
            S_OK);
  link->SetPath(target.c_str());
  link->SetArguments(arguments.c_str());
  link->SetDescription(description.c_str());
  link->SetIconLocation(target.c_str(), iconIndex);
  IPersistFile* persist = nullptr;
  ASSERT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)), S_OK);
  wchar_t wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
  EXPECT_EQ(persist->Save(wide, TRUE), S_OK) << file;
  persist->Release();
  link->Release();
  CoUninitialize();
}

TEST_F(DriveTest, AShortcutIsReadAsItWasWritten) {
  ASSERT_TRUE(CreateDirectoryA("R:\\links", nullptr));
  ASSERT_TRUE(WriteText("R:\\links\\tool.exe", "MZ"));
  MakeLink("R:\\links\\tool.lnk", "R:\\links\\tool.exe", "-a -b", "A tool", 2);
  for (const char* path : {"R:\\links\\tool.lnk", "R:\\links\\tool"}) {
    SCOPED_TRACE(path);
    CWinExplorer::ShortcutInfo info;
    ASSERT_TRUE(CWinExplorer::ResolveShortcut(path, info));
    EXPECT_EQ(info.target, "R:\\links\\tool.exe");
    EXPECT_EQ(info.arguments, "-a -b");
    EXPECT_EQ(info.description, "A tool");
    EXPECT_EQ(info.iconLocation, "R:\\links\\tool.exe");
    EXPECT_EQ(info.iconIndex, 2);
  }
  CWinExplorer::ShortcutInfo info;
  EXPECT_FALSE(CWinExplorer::ResolveShortcut("R:\\links\\none.lnk", info));
  EXPECT_FALSE(CWinExplorer::ResolveShortcut("R:\\links\\tool.exe", info));
}

// The names of a folder's entries in the order the file system lists them.
std::vector<std::string> ScanOrder(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found{};
  const HANDLE search = FindFirstFileA((folder + "\\*.*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

class ToolsListTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    if (HasFatalFailure()) return;
    // The tools, on C: where the shortcuts were made and on the drive, R:.
    for (const char* folder : {"C:\\TovikTools", "R:\\TovikTools"})
      CreateDirectoryA(folder, nullptr);
    ASSERT_TRUE(CopyMarker("C:\\TovikTools\\marker.exe"));
    ASSERT_TRUE(CopyMarker("R:\\TovikTools\\marker.exe"));
    ASSERT_TRUE(WriteText("C:\\TovikTools\\gone.exe", "MZ"));  // not on the drive
    ASSERT_TRUE(CWinExplorer::CreateFolderWithParents(kStartMenu));
    const std::string menu = kStartMenu;
    MakeLink(menu + "\\Marker Tool.lnk", "C:\\TovikTools\\marker.exe", "from tools", "A tool", 2);
    MakeLink(menu + "\\Gone.lnk", "C:\\TovikTools\\gone.exe", "");
    ASSERT_TRUE(WriteText(menu + "\\alpha notes.txt", "notes"));
    ASSERT_TRUE(CreateDirectoryA((menu + "\\zebra folder").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((menu + "\\Apps").c_str(), nullptr));
  }
  void TearDown() override {
    drivetest::EmptyFolder("C:\\TovikTools");
    RemoveDirectoryA("C:\\TovikTools");
    DriveTest::TearDown();
  }
};

TEST_F(ToolsListTest, ShortcutsAreBentToTheDrivesLetterFoldersComeFirstIdsFollowTheScan) {
  CToolsList tools;
  ASSERT_TRUE(tools.Scan('R', kStartMenu, 1240, true));

  struct Want {
    std::string entry;  // the directory entry
    ToolItem::Kind kind;
    std::string displayName, path, parameters;
  };
  const std::string menu = kStartMenu;
  const std::vector<Want> order = {
      {"Apps", ToolItem::kFolder, "Apps", menu + "\\Apps", ""},
      {"zebra folder", ToolItem::kFolder, "zebra folder", menu + "\\zebra folder", ""},
      {"alpha notes.txt", ToolItem::kFile, "alpha notes.txt", menu + "\\alpha notes.txt", ""},
      {"Marker Tool.lnk", ToolItem::kFile, "Marker Tool", "R:\\TovikTools\\marker.exe",
       "from tools"},
  };
  // Ids count up in the order the drive lists its entries; "Gone.lnk" is
  // skipped (its target is not on the drive) and takes no id.
  std::vector<std::string> listed = ScanOrder(kStartMenu);
  listed.erase(std::remove(listed.begin(), listed.end(), "Gone.lnk"), listed.end());
  ASSERT_EQ(tools.Count(), order.size());
  auto item = tools.Items().begin();
  for (const Want& w : order) {
    SCOPED_TRACE(w.entry);
    const auto at = std::find(listed.begin(), listed.end(), w.entry) - listed.begin();
    EXPECT_EQ(item->commandId, 1240u + at);
    EXPECT_EQ(item->kind, w.kind);
    EXPECT_EQ(item->displayName, w.displayName);
    EXPECT_EQ(item->path, w.path);
    EXPECT_EQ(item->parameters, w.parameters);
    EXPECT_EQ(item->workingFolder,
              w.kind == ToolItem::kFolder ? "File Folder" : drivetest::FolderOf(w.path));
    EXPECT_EQ(item->icon != nullptr, w.kind == ToolItem::kFile);
    ++item;
  }

  std::string path = "old", parameters = "old";
  EXPECT_TRUE(tools.Resolve(tools.Items().back().commandId, path, parameters));
  EXPECT_EQ(path, "R:\\TovikTools\\marker.exe");
  EXPECT_EQ(parameters, "from tools");
  EXPECT_FALSE(tools.Resolve(1239, path, parameters));
  EXPECT_EQ(path, "");
  EXPECT_EQ(parameters, "");

  CToolsList filesOnly;
  ASSERT_TRUE(filesOnly.Scan('R', kStartMenu, 1240, false));
  EXPECT_EQ(filesOnly.Count(), 2u);
}

TEST_F(ToolsListTest, AnEmptyOrMissingStartMenuGivesNoTools) {
  for (const char* folder : {"R:\\Empty Menu", "R:\\No Such Menu"}) {
    if (std::string(folder) == "R:\\Empty Menu") CreateDirectoryA(folder, nullptr);
    CToolsList tools;
    EXPECT_TRUE(tools.Scan('R', folder, 1240, true));
    EXPECT_EQ(tools.Count(), 0u) << folder;
  }
}

TEST_F(ToolsListTest, TheProxyStartsAToolOfItsDrive) {
  emu::CEmulatedDrive& drive = MakeDrive(drivetest::DriveConfig("0F3B27240001"));
  const int id = PlugInserted(drive);
  ASSERT_GE(id, 0);
  CPDKProxy& proxy = manager->GetProxy(id);
  EXPECT_FALSE(proxy.RunTool(1240));  // no list yet
  CToolsList* tools = proxy.GetToolsList();
  ASSERT_NE(tools, nullptr);
  ASSERT_EQ(tools->Count(), 4u);
  const UINT markerId = tools->Items().back().commandId;
  DeleteFileA("R:\\TovikTools\\marker-out.txt");
  ASSERT_TRUE(proxy.RunTool(markerId));
  std::string arguments;
  ASSERT_TRUE(MarkerRan("R:\\TovikTools", &arguments));
  EXPECT_EQ(arguments, "from tools");
  EXPECT_FALSE(proxy.RunTool(1239));
}

ToolItem Item(const char* name, ToolItem::Kind kind = ToolItem::kFile) {
  ToolItem item;
  item.displayName = name;
  item.kind = kind;
  item.path = name;
  return item;
}

TEST(ToolsListSorting, FoldersFirstThenNamesWithoutCase) {
  const struct {
    std::vector<std::pair<const char*, ToolItem::Kind>> added;
    std::vector<std::string> order;
  } cases[] = {
      {{{"b", ToolItem::kFile}, {"A", ToolItem::kFile}, {"c", ToolItem::kFile}}, {"A", "b", "c"}},
      {{{"zz", ToolItem::kFolder}, {"a", ToolItem::kFile}, {"m", ToolItem::kFolder}},
       {"m", "zz", "a"}},
      {{{"Delta", ToolItem::kFile},
        {"alpha", ToolItem::kFile},
        {"Charlie", ToolItem::kFile},
        {"bravo", ToolItem::kFile}},
       {"alpha", "bravo", "Charlie", "Delta"}},
      // Equal names: the newcomer goes in front of the last of them.
      {{{"x", ToolItem::kFile}, {"Y", ToolItem::kFile}, {"y", ToolItem::kFile}}, {"x", "y", "Y"}},
  };
  for (const auto& c : cases) {
    CToolsList tools;
    for (const auto& [name, kind] : c.added) ASSERT_TRUE(tools.AddItemSorted(Item(name, kind)));
    std::vector<std::string> got;
    for (const ToolItem& item : tools.Items()) got.push_back(item.displayName);
    EXPECT_EQ(got, c.order);
  }
}

}  // namespace
