// The drive's "Autorun.inf" carried out for real: programs started through
// the shell leave a marker file, drive icons land in the registry (read here
// and again from the host by "reg query" after the run).
#include "AppOperations.h"

#include <gtest/gtest.h>

#include "DriveTestSupport.h"
#include "WindowsKind.h"

namespace {

using drivetest::CopyMarker;
using drivetest::DriveTest;
using drivetest::MarkerRan;
using drivetest::WriteText;
using shelltest::CheckRecord;
using shelltest::DebugOutputCapture;

// The drive-icon key of R this Windows kind uses.
std::string IconKey() {
  const int kind = GetWindowsKind();
  return std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\") +
         (kind == kWin2000 || kind == kWinME ? "MountPoints\\" : "DriveIcons\\") + "R\\DefaultIcon";
}

std::string IconValue() {
  char data[4096] = "";
  LONG size = sizeof data;
  if (RegQueryValueA(HKEY_CURRENT_USER, IconKey().c_str(), data, &size) != ERROR_SUCCESS) return "";
  return data;
}

class AutorunTest : public DriveTest {
 protected:
  void SetUp() override {
    DriveTest::SetUp();
    RegDeleteKeyA(HKEY_CURRENT_USER, IconKey().c_str());
  }
  static void WriteAutorun(const std::string& lines) {
    ASSERT_TRUE(WriteText("R:\\Autorun.inf", "[Launcher]\r\n" + lines));
  }
};

TEST_F(AutorunTest, WithoutTheFileNothingHappens) {
  EXPECT_FALSE(CAutorun("R:\\").Run());
  WriteText("R:\\autorun.txt", "[Launcher]\r\nicon=x.ico\r\n");
  EXPECT_FALSE(CAutorun("R:\\").Run());
  EXPECT_EQ(IconValue(), "");
}

TEST_F(AutorunTest, OpenStartsTheProgramOnTheDriveOrAsWritten) {
  ASSERT_TRUE(CreateDirectoryA("R:\\bin", nullptr));
  ASSERT_TRUE(CopyMarker("R:\\marker.exe"));
  ASSERT_TRUE(CopyMarker("R:\\bin\\marker.exe"));
  const std::string besideTests = drivetest::FolderOf(drivetest::MarkerProgram());
  DeleteFileA((besideTests + "\\marker-out.txt").c_str());
  const struct {
    std::string value;
    std::string ranIn;  // where the marker program wrote its arguments
    std::string arguments;
  } cases[] = {
      // Before the bar: the program exactly as written; after it: its arguments.
      {"R:\\bin\\marker.exe|alpha beta", "R:\\bin", "alpha beta"},
      // A bare name is the drive's file when the drive has one.
      {"marker.exe", "R:", ""},
      {"bin\\marker.exe", "R:\\bin", ""},
      // Otherwise the name as written.
      {drivetest::MarkerProgram(), besideTests, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    DeleteFileA((c.ranIn + "\\marker-out.txt").c_str());
    WriteAutorun("open=" + c.value + "\r\n");
    ASSERT_TRUE(CAutorun("R:\\").Run());
    std::string arguments;
    ASSERT_TRUE(MarkerRan(c.ranIn, &arguments));
    EXPECT_EQ(arguments, c.arguments);
    DeleteFileA((c.ranIn + "\\marker-out.txt").c_str());
  }
}

TEST_F(AutorunTest, IconValuesSetTheDrivesIconWithTheirIndex) {
  const struct {
    std::string lines;
    std::string value;
  } cases[] = {
      {"icon=tovik.ico,3\r\n", "R:\\tovik.ico,3"},
      {"icon=C:\\icons\\drive.ico\r\n", "C:\\icons\\drive.ico,0"},
      {"defaulticon=pics\\d.ico,12\r\n", "R:\\pics\\d.ico,12"},
      // A comma in front names no index: the whole value is the file.
      {"icon=,5\r\n", "R:\\,5,0"},
      // Both keys: the later one in the order of keys is the one that stays.
      {"defaulticon=b.ico,2\r\nicon=a.ico,1\r\n", "R:\\b.ico,2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lines);
    WriteAutorun(c.lines);
    ASSERT_TRUE(CAutorun("R:\\").Run());
    EXPECT_EQ(IconValue(), c.value);
  }
}

TEST_F(AutorunTest, AnOverLongValueIsCutWithAWarning) {
  const std::string name(1100, 'x');
  WriteAutorun("shell\\verb=" + name + "\r\nicon=" + name + ".ico,1\r\n");
  DebugOutputCapture capture;
  ASSERT_TRUE(CAutorun("R:\\").Run());
  const std::string warning = "CAutorun::ReadLine - worning value larger then buffer.\n";
  size_t warnings = 0;
  for (const std::string& line : DebugOutputCapture::Lines()) warnings += line == warning;
  EXPECT_EQ(warnings, 2u);
  // The icon's file is what the buffer held: 1023 bytes of its name.
  EXPECT_EQ(IconValue(), "R:\\" + name.substr(0, 1023) + ",0");

  const std::string fits(1023, 'y');
  WriteAutorun("icon=" + fits + "\r\n");
  DebugOutputCapture quiet;
  ASSERT_TRUE(CAutorun("R:\\").Run());
  for (const std::string& line : DebugOutputCapture::Lines()) EXPECT_NE(line, warning);
  EXPECT_EQ(IconValue(), "R:\\" + fits + ",0");
}

TEST_F(AutorunTest, TheProxyRunsTheAutorunOfItsDrive) {
  emu::CEmulatedDrive& drive = MakeDrive(drivetest::DriveConfig("0F3B27230001"));
  const int id = PlugInserted(drive);
  ASSERT_GE(id, 0);
  CPDKProxy empty;
  EXPECT_FALSE(empty.RunAutorun());
  EXPECT_FALSE(manager->GetProxy(id).RunAutorun());
  WriteAutorun("icon=tovik.ico,7\r\n");
  EXPECT_TRUE(manager->GetProxy(id).RunAutorun());
  EXPECT_EQ(IconValue(), "R:\\tovik.ico,7");
  // The last drive icon of the run, for the host's own look at the registry.
  CheckRecord::Value("HKCU\\" + IconKey(), "", "R:\\tovik.ico,7");
}

}  // namespace
