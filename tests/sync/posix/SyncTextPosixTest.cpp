#include <gtest/gtest.h>

#include "SyncText.h"

namespace tovik {
namespace {

// Native names are bytes; UTF-8 becomes UTF-16 and anything else survives the
// round trip through a record.
TEST(SyncTextPosixTest, NativeNamesRoundTrip) {
  struct Case {
    std::string path;
    std::u16string field;
  } cases[] = {
      {"E:\\caf\xC3\xA9", u"E:\\caf\u00E9"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"bad\xFF\xC3", u"bad\xDCFF\xDCC3"},
  };
  for (const Case& c : cases) {
    char16_t field[kSyncPathUnits];
    ASSERT_TRUE(PathToField(c.path, field, kSyncPathUnits));
    EXPECT_EQ(std::u16string(field), c.field);
    EXPECT_EQ(FieldToPath(field, kSyncPathUnits), c.path);
  }
}

}  // namespace
}  // namespace tovik
