#include "WinExplorer.h"

#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include "ShellTestSupport.h"
#include "StringLoader.h"
#include "WindowsKind.h"
#include "res/strings.h"

namespace {

using shelltest::CheckRecord;
using shelltest::Exists;
using shelltest::ExpectedKind;
using shelltest::Folder;

const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The HKCU value `name` of `key`: its type and text (type 0 when absent).
std::pair<DWORD, std::string> Value(const std::string& key, const char* name) {
  HKEY h = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS)
    return {0, ""};
  char data[1024] = "";
  DWORD size = sizeof data - 1;
  DWORD type = 0;
  const LONG result =
      RegQueryValueExA(h, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(h);
  if (result != ERROR_SUCCESS) return {0, ""};
  return {type, std::string(data, size).c_str()};
}

bool KeyExists(const std::string& key) {
  HKEY h = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
  RegCloseKey(h);
  return true;
}

// The letter's key and its one subkey.
void DeleteLetterKey(const std::string& key) {
  RegDeleteKeyA(HKEY_CURRENT_USER, (key + "\\DefaultIcon").c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
}

std::string SelfPath() {
  char self[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, self, sizeof self);
  return self;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('\\')); }

TEST(WinExplorer, SpecialFolders) {
  const struct {
    int kind;
    std::string folder;
  } cases[] = {
      {CSIDL_STARTUP, Folder(CSIDL_STARTUP)},
      {CSIDL_SENDTO, Folder(CSIDL_SENDTO)},
      {CSIDL_DESKTOPDIRECTORY, Folder(CSIDL_DESKTOPDIRECTORY)},
      {CSIDL_APPDATA, Folder(CSIDL_APPDATA)},
      {CSIDL_PERSONAL, Folder(CSIDL_PERSONAL)},
      {257, Folder(CSIDL_PROGRAMS) + "\\Ortavel"},
      {4096, Folder(CSIDL_APPDATA) + "\\Microsoft\\Internet Explorer\\Quick Launch"},
      {0, ""},
      {3, ""},  // a shell folder the program does not use
      {258, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(CWinExplorer::GetSpecialFolder(c.kind), c.folder) << c.kind;
}

TEST(WinExplorer, CreatesAFolderWithItsParents) {
  shelltest::ScratchFolder scratch("tovik-folders");
  const std::string deep = scratch.Path() + "\\a\\b\\c";
  EXPECT_TRUE(CWinExplorer::CreateFolderWithParents(deep));
  EXPECT_TRUE(Exists(deep));
  EXPECT_TRUE(CWinExplorer::CreateFolderWithParents(deep));  // already there
  const std::string file = scratch.Path() + "\\plain";
  CloseHandle(CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  EXPECT_FALSE(CWinExplorer::CreateFolderWithParents(file));
  EXPECT_FALSE(CWinExplorer::CreateFolderWithParents(file + "\\below"));
}

// The shortcuts the install wizard writes: Desktop and program group, and the
// uninstall shortcut in the group.
TEST(WinExplorer, ProgramShortcutsOnTheDesktopAndInTheProgramGroup) {
  const std::string program = SelfPath();
  const std::string description =
      CStringLoader::LoadString(IDS_SHORTCUT_DESCRIPTION, CStringLoader::kEnglish);
  ASSERT_EQ(description, "Tovik Control Panel - Manage and Personalize your Tovik Drive");
  const std::string uninstall =
      CStringLoader::LoadString(IDS_UNINSTALL_DESCRIPTION, CStringLoader::kEnglish);
  ASSERT_EQ(uninstall, "Uninstall Ovrin");
  const std::string group = CWinExplorer::GetSpecialFolder(257);
  ASSERT_TRUE(CWinExplorer::CreateFolderWithParents(group));

  const struct {
    int kind;
    const char* name;
    const char* arguments;
    std::string description;
    int icon;
  } shortcuts[] = {
      {CSIDL_DESKTOPDIRECTORY, "Tovik Control Panel.lnk", "", description, 0},
      {257, "Tovik Control Panel.lnk", "", description, 0},
      {257, "Uninstall Tovik Control Panel.lnk", "/UNINSTALL", uninstall, 1},
  };
  for (const auto& s : shortcuts) {
    const std::string file = CWinExplorer::GetSpecialFolder(s.kind) + "\\" + s.name;
    DeleteFileA(file.c_str());
    EXPECT_FALSE(CWinExplorer::ShortcutExists(s.kind, std::string("\\") + s.name));
    ASSERT_TRUE(
        CWinExplorer::CreateShortcut(s.kind, program, s.name, s.description, s.arguments, s.icon))
        << file;
    EXPECT_TRUE(CWinExplorer::ShortcutExists(s.kind, std::string("\\") + s.name)) << file;
    CheckRecord::Shortcut(file, program, s.arguments, s.description, FolderOf(program),
                          program + "," + std::to_string(s.icon));
  }
  for (const auto& s : shortcuts) {
    EXPECT_TRUE(CWinExplorer::DeleteShortcut(s.kind, s.name));
    EXPECT_FALSE(CWinExplorer::ShortcutExists(s.kind, std::string("\\") + s.name));
    EXPECT_FALSE(CWinExplorer::DeleteShortcut(s.kind, s.name));  // nothing left to delete
  }
  RemoveDirectoryA(group.c_str());
  // A kind without a folder gives no shortcut.
  EXPECT_FALSE(CWinExplorer::CreateShortcut(3, program, "x.lnk", "", "", 0));
  EXPECT_FALSE(CWinExplorer::DeleteShortcut(3, "x.lnk"));
  EXPECT_FALSE(CWinExplorer::ShortcutExists(3, "\\x.lnk"));
}

TEST(WinExplorer, SendToShortcutOfADriveLetter) {
  CStringLoader::SetCurrentLanguage(CStringLoader::kEnglish);
  const std::string file = Folder(CSIDL_SENDTO) + "\\Tovik Drive Drive - E.lnk";
  EXPECT_EQ(CWinExplorer::SendToShortcutName('E'), "Tovik Drive Drive - E.lnk");
  ASSERT_TRUE(CWinExplorer::CreateSendToShortcut('E'));
  EXPECT_TRUE(Exists(file));
  CheckRecord::Shortcut(file, "E:\\", "", "", "E:", "E:\\,0");
  EXPECT_TRUE(CWinExplorer::DeleteSendToShortcut('E'));
  EXPECT_FALSE(Exists(file));
  // The name follows the language in effect.
  CStringLoader::SetCurrentLanguage(1031);
  EXPECT_EQ(CWinExplorer::SendToShortcutName('F'), "Tovik Drive Laufwerk - F.lnk");
  CStringLoader::SetCurrentLanguage(CStringLoader::kEnglish);
}

// The start-up entry of each Windows kind; the entry of the last step is
// left for the registry check after the run.
TEST(WinExplorer, StartupEntryOfTheRunningKind) {
  const int kind = ExpectedKind();
  if (kind < 0) GTEST_SKIP() << "the run names no Windows kind";
  const std::string program = SelfPath();
  const std::string startup = Folder(CSIDL_STARTUP) + "\\Tovik Control Panel.lnk";
  // No entry from an earlier run of another kind.
  DeleteFileA(startup.c_str());
  HKEY run = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
    RegDeleteValueA(run, "Tovik");
    RegCloseKey(run);
  }

  const bool registryKind = kind == kWin2000 || kind == kWinXP || kind == kWinME;
  EXPECT_EQ(CWinExplorer::AddStartupEntry(program), registryKind);
  if (registryKind) {
    EXPECT_EQ(Value(kRunKey, "Tovik"), std::make_pair(DWORD{REG_SZ}, program));
    EXPECT_FALSE(Exists(startup));
    EXPECT_TRUE(CWinExplorer::RemoveStartupEntry());
    EXPECT_EQ(Value(kRunKey, "Tovik").first, 0u);
    EXPECT_FALSE(CWinExplorer::RemoveStartupEntry());  // no value left to delete

    // A path longer than the entry's 256 bytes is cut, not overrun.
    const std::string longPath = "C:\\" + std::string(300, 'p') + "\\Tovik.exe";
    EXPECT_TRUE(CWinExplorer::AddStartupEntry(longPath));
    EXPECT_EQ(Value(kRunKey, "Tovik").second, longPath.substr(0, 255));

    EXPECT_TRUE(CWinExplorer::AddStartupEntry(program));
    CheckRecord::Value(std::string("HKCU\\") + kRunKey, "Tovik", program);
  } else if (kind == kWin98SE) {
    EXPECT_EQ(Value(kRunKey, "Tovik").first, 0u);
    ASSERT_TRUE(Exists(startup));
    CheckRecord::Shortcut(startup, program, "", "", FolderOf(program), program + ",0");
    EXPECT_FALSE(CWinExplorer::RemoveStartupEntry());
    EXPECT_FALSE(Exists(startup));
    CheckRecord::NoValue(std::string("HKCU\\") + kRunKey, "Tovik");
  } else {
    EXPECT_EQ(Value(kRunKey, "Tovik").first, 0u);
    EXPECT_FALSE(Exists(startup));
    EXPECT_FALSE(CWinExplorer::RemoveStartupEntry());
    CheckRecord::NoValue(std::string("HKCU\\") + kRunKey, "Tovik");
  }
}

TEST(WinExplorer, DriveIconKeyOfTheRunningKind) {
  const int kind = ExpectedKind();
  if (kind < 0) GTEST_SKIP() << "the run names no Windows kind";
  const std::string explorer = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
  const bool mountPoints = kind == kWin2000 || kind == kWinME;
  const std::string used = explorer + (mountPoints ? "MountPoints\\" : "DriveIcons\\");
  const std::string unused = explorer + (mountPoints ? "DriveIcons\\" : "MountPoints\\");
  const struct {
    char letter;
    const char* file;
    unsigned index;
    const char* value;
  } cases[] = {
      {'E', "C:\\Icons\\drive.ico", 2, "C:\\Icons\\drive.ico,2"},
      // Only the low 16 bits of the index count.
      {'G', "E:\\My Profile\\icon.ico", 0x10005, "E:\\My Profile\\icon.ico,5"},
  };
  for (const auto& c : cases) {
    DeleteLetterKey(explorer + "MountPoints\\" + c.letter);
    DeleteLetterKey(explorer + "DriveIcons\\" + c.letter);
    EXPECT_TRUE(CWinExplorer::SetDriveIcon(c.letter, c.file, c.index));
    const std::string key = used + c.letter + "\\DefaultIcon";
    EXPECT_EQ(Value(key, nullptr), std::make_pair(DWORD{REG_SZ}, std::string(c.value))) << key;
    EXPECT_FALSE(KeyExists(unused + c.letter)) << unused << c.letter;
    CheckRecord::Value("HKCU\\" + key, "", c.value);
  }
}

}  // namespace
