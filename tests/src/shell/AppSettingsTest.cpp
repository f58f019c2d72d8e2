#include "AppSettings.h"

#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "ShellTestSupport.h"

namespace {

using shelltest::DebugOutputCapture;
using shelltest::Env;
using shelltest::Exists;
using shelltest::ReadFile;
using shelltest::ScratchFolder;

// The section the run's program file gives (the copy's name without ".exe").
std::string Section() {
  const std::string section = Env("TOVIK_EXPECT_SECTION");
  return section.empty() ? "shell_tests" : section;
}

class AppSettingsTest : public ::testing::Test {
 protected:
  AppSettingsTest() : folder_("tovik-settings-test") {
    CAppSettings::SetSettingsPath(folder_.Path() + "\\Tovik.ini");
  }
  ~AppSettingsTest() override { CAppSettings::SetSettingsPath(""); }
  std::string Ini() const { return folder_.Path() + "\\Tovik.ini"; }
  ScratchFolder folder_;
};

TEST_F(AppSettingsTest, WritesDecimalValuesUnderTheProgramSection) {
  EXPECT_FALSE(CAppSettings::SettingsFileExists());
  CAppSettings settings;
  settings.WriteSetting("StartupLoad", 1);
  settings.WriteSetting("SelectedLanguage", 1033);
  settings.WriteSetting("NoCloseNextTime", -12);
  settings.WriteSettingString("Note", "two words");
  EXPECT_TRUE(CAppSettings::SettingsFileExists());
  EXPECT_EQ(CAppSettings::SectionName(), Section());

  EXPECT_EQ(ReadFile(Ini()), "[" + Section() +
                                 "]\r\nStartupLoad=1\r\nSelectedLanguage=1033\r\n"
                                 "NoCloseNextTime=-12\r\nNote=two words\r\n");
  // The profile API reads back what was written.
  char value[64] = "";
  GetPrivateProfileStringA(Section().c_str(), "SelectedLanguage", "", value, sizeof value,
                           Ini().c_str());
  EXPECT_STREQ(value, "1033");
  EXPECT_EQ(settings.ReadSetting("NoCloseNextTime"), -12);
  EXPECT_EQ(settings.ReadSettingString("Note"), "two words");
}

TEST_F(AppSettingsTest, ReadsTheLeadingDecimalDigits) {
  const struct {
    const char* stored;  // nullptr: the key is absent
    int value;
  } cases[] = {
      {"7abc", 7}, {"12 monkeys", 12}, {"abc", 0},
      {"", 0},     {nullptr, 0},       {"0x10", 0},
      {"010", 10}, {"-3x", -3},        {"2147483647", 2147483647},
      // Beyond 32 bits: the nearer limit.
      {"99999999999", 2147483647},     {"-99999999999", -2147483647 - 1},
  };
  for (const auto& c : cases) {
    WritePrivateProfileStringA(Section().c_str(), "Key", c.stored, Ini().c_str());
    EXPECT_EQ(CAppSettings().ReadSetting("Key"), c.value) << (c.stored ? c.stored : "(absent)");
  }
  WritePrivateProfileStringA("OtherSection", "Elsewhere", "5", Ini().c_str());
  EXPECT_EQ(CAppSettings().ReadSetting("Elsewhere"), 0);
}

TEST_F(AppSettingsTest, CutsAValueLongerThanTheReadBuffer) {
  const std::string longValue = std::string(1500, 'x') + "tail";
  WritePrivateProfileStringA(Section().c_str(), "Long", longValue.c_str(), Ini().c_str());
  WritePrivateProfileStringA(Section().c_str(), "Short", "fits", Ini().c_str());
  DebugOutputCapture capture;
  EXPECT_EQ(CAppSettings().ReadSettingString("Short"), "fits");
  EXPECT_TRUE(DebugOutputCapture::Lines().empty());
  const std::string read = CAppSettings().ReadSettingString("Long");
  EXPECT_EQ(read, longValue.substr(0, CAppSettings::kReadBufferSize - 1));
  EXPECT_EQ(
      DebugOutputCapture::Lines(),
      std::vector<std::string>{"GetPrivateProfileString - worning value larger then buffer."});

  // A value that fills the buffer to its last byte but one fits: no warning.
  const std::string fits(CAppSettings::kReadBufferSize - 1, 'y');
  WritePrivateProfileStringA(Section().c_str(), "Fits", fits.c_str(), Ini().c_str());
  DebugOutputCapture quiet;
  EXPECT_EQ(CAppSettings().ReadSettingString("Fits"), fits);
  EXPECT_TRUE(DebugOutputCapture::Lines().empty());
}

TEST(AppSettingsPath, FirstSettingsObjectTakesTheCurrentFolder) {
  CAppSettings::SetSettingsPath("");
  char current[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof current, current);
  CAppSettings first;
  EXPECT_EQ(CAppSettings::SettingsPath(), std::string(current) + "\\Tovik.ini");
  CAppSettings::SetSettingsPath("C:\\elsewhere\\Tovik.ini");
  CAppSettings second;
  EXPECT_EQ(CAppSettings::SettingsPath(), "C:\\elsewhere\\Tovik.ini");
  CAppSettings::SetSettingsPath("");
}

// The self-copy into the install folder: the application-data folder of the
// test's Wine prefix followed by "\Tovik".
class CopyApplicationTest : public ::testing::Test {
 protected:
  CopyApplicationTest() : source_("tovik-copy-source") {
    install_ = shelltest::Folder(CSIDL_APPDATA) + "\\Tovik";
    RemoveInstall();
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof self);
    program_ = source_.Path() + "\\Tovik.exe";
    CopyFileA(self, program_.c_str(), FALSE);
  }
  ~CopyApplicationTest() override {
    RemoveInstall();
    CAppSettings::SetSettingsPath("");
  }
  void RemoveInstall() {
    const std::string installed = install_ + "\\Tovik.exe";
    SetFileAttributesA(installed.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(installed.c_str());
    RemoveDirectoryA(install_.c_str());
  }
  static DWORD Size(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return data.nFileSizeLow;
  }
  ScratchFolder source_;
  std::string install_;
  std::string program_;
};

TEST_F(CopyApplicationTest, CopiesFromAnotherFolderAndRunsFromTheCopy) {
  ASSERT_FALSE(install_.empty());
  EXPECT_EQ(CAppSettings::InstallFolder(), install_);
  EXPECT_EQ(CAppSettings::CopyApplication(program_), 2);
  const std::string installed = install_ + "\\Tovik.exe";
  ASSERT_TRUE(Exists(installed));
  EXPECT_EQ(Size(installed), Size(program_));
  EXPECT_EQ(CAppSettings::RunningProgramPath(), installed);
  EXPECT_EQ(CAppSettings::SettingsPath(), install_ + "\\Tovik.ini");
}

TEST_F(CopyApplicationTest, StartedFromTheInstallFolderDoesNotCopy) {
  ASSERT_EQ(CAppSettings::CopyApplication(program_), 2);
  const std::string installed = install_ + "\\Tovik.exe";
  EXPECT_EQ(CAppSettings::CopyApplication(installed), 1);
  EXPECT_EQ(CAppSettings::RunningProgramPath(), installed);
  EXPECT_EQ(CAppSettings::SettingsPath(), install_ + "\\Tovik.ini");
}

TEST_F(CopyApplicationTest, OverwritesAReadOnlyInstalledCopy) {
  ASSERT_EQ(CAppSettings::CopyApplication(program_), 2);
  const std::string installed = install_ + "\\Tovik.exe";
  // An older, smaller program marked read-only.
  HANDLE file = CreateFileA(installed.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  ASSERT_TRUE(SetFileAttributesA(installed.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(CAppSettings::CopyApplication(program_), 2);
  EXPECT_EQ(Size(installed), Size(program_));
}

TEST_F(CopyApplicationTest, InstallFolderUnderAnotherLetterCaseKeepsTheProgram) {
  ASSERT_EQ(CAppSettings::CopyApplication(program_), 2);
  const std::string installed = install_ + "\\Tovik.exe";
  std::string lower = installed;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  ASSERT_NE(lower, installed);
  // The folder test is exact, so this is not the install folder by name; yet
  // it is the installed file itself, which must neither fail nor be lost.
  EXPECT_EQ(CAppSettings::CopyApplication(lower), 1);
  EXPECT_EQ(Size(installed), Size(program_));
  EXPECT_EQ(CAppSettings::RunningProgramPath(), lower);
}

TEST_F(CopyApplicationTest, MissingProgramFails) {
  EXPECT_EQ(CAppSettings::CopyApplication(source_.Path() + "\\Missing.exe"), -1);
  EXPECT_EQ(CAppSettings::SettingsPath(), install_ + "\\Tovik.ini");
}

}  // namespace
