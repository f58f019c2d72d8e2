#include <gtest/gtest.h>

#include <string>

#include "PDKErrors.h"
#include "PDKException.h"
#include "PDKTrace.h"
#include "TraceCapture.h"

namespace {

TEST(ErrorStringTest, CodesHaveTheirFixedTexts) {
  const std::pair<int, const char*> cases[] = {
      {0, "Ok"},
      {3, "Connection to device failed"},
      {6, "Error in swap between Lun's"},
      {9, "SDK can't authentication a device"},
      {11, "Device status is 'not ready'"},
      {15, "Device version don't support the specific command"},
      {19, "According to device information - device too big to format"},
      {24, "'PDKInit' method called more then once"},
      {25, "'PDKInit' method not called"},
      {27, "Incorrected parameters to method"},
      {28, "SDK can't handle the drive letter"},
      {29, "No error string found"},
      {-1, "No error string found"},
      {1 << 30, "No error string found"},
  };
  for (const auto& c : cases) EXPECT_STREQ(PDKSDK_getErrorString(c.first), c.second) << c.first;
}

TEST(PDKExceptionTest, KeepsAtMost127CharactersOfItsText) {
  const std::string longText(300, 'x');
  const pdk::CPDKException e(25, longText.c_str());
  EXPECT_EQ(e.code, 25);
  EXPECT_EQ(std::string(e.message), std::string(127, 'x'));
  EXPECT_STREQ(pdk::CPDKException(1).message, "");
}

TEST(PDKTraceTest, FormatsAndCutsAt255Characters) {
  TraceCapture trace;
  PDKTrace("id %d, %s\n", 7, "done");
  const std::string longText(400, 'y');
  PDKTrace("%s", longText.c_str());
  const auto lines = trace.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "id 7, done\n");
  EXPECT_EQ(lines[1], std::string(255, 'y'));
}

}  // namespace
