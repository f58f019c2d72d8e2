#include "AutorunText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(AutorunText, OpenTakesTheProgramBeforeTheFirstBarOrTriesTheDriveFirst) {
  const struct {
    const char* value;
    const char* onDrive;
    const char* asWritten;
    const char* parameters;
  } cases[] = {
      {"R:\\bin\\marker.exe|alpha beta", "", "R:\\bin\\marker.exe", "alpha beta"},
      {"tool.exe|a|b", "", "tool.exe", "a|b"},
      {"|only", "", "", "only"},
      {"tool.exe|", "", "tool.exe", ""},
      {"marker.exe", "R:\\marker.exe", "marker.exe", ""},
      {"bin\\marker.exe", "R:\\bin\\marker.exe", "bin\\marker.exe", ""},
  };
  for (const auto& c : cases) {
    const CAutorunText::Launch launch = CAutorunText::ParseOpen("R:\\", c.value);
    EXPECT_EQ(launch.onDrive, c.onDrive) << c.value;
    EXPECT_EQ(launch.asWritten, c.asWritten) << c.value;
    EXPECT_EQ(launch.parameters, c.parameters) << c.value;
  }
}

TEST(AutorunText, IconIsAFileInTheRootOrWithItsDriveAndAnIndexAfterTheComma) {
  const struct {
    const char* value;
    const char* file;
    unsigned index;
  } cases[] = {
      {"tovik.ico,3", "R:\\tovik.ico", 3},
      {"C:\\icons\\drive.ico", "C:\\icons\\drive.ico", 0},
      {"pics\\d.ico,12", "R:\\pics\\d.ico", 12},
      // A comma in front names no index: the whole value is the file.
      {",5", "R:\\,5", 0},
      {"a.ico,2,7", "R:\\a.ico", 2},
      {"a.ico,x", "R:\\a.ico", 0},
      {"a.ico, 4 ", "R:\\a.ico", 4},
      {"a.ico,-1", "R:\\a.ico", 4294967295u},
      // An index beyond 32 bits is the largest one, on every platform.
      {"a.ico,99999999999", "R:\\a.ico", 2147483647u},
      {"d:", "d:", 0},
      {"x", "R:\\x", 0},
      {"", "R:\\", 0},
  };
  for (const auto& c : cases) {
    const CAutorunText::Icon icon = CAutorunText::ParseIcon("R:\\", c.value);
    EXPECT_EQ(icon.file, c.file) << c.value;
    EXPECT_EQ(icon.index, c.index) << c.value;
  }
}

}  // namespace
