#include "SyncText.h"

#include <gtest/gtest.h>

namespace tovik {
namespace {

TEST(SyncTextTest, FieldsStayInsideTheirUnits) {
  char16_t field[kSyncPathUnits];
  for (char16_t& c : field) c = u'A';
  // A damaged record without a NUL yields the whole field and no more.
  EXPECT_EQ(FieldToPath(field, kSyncPathUnits), std::string(kSyncPathUnits, 'A'));

  EXPECT_TRUE(PathToField(std::string(kSyncPathUnits - 1, 'x'), field, kSyncPathUnits));
  EXPECT_EQ(field[kSyncPathUnits - 1], 0);
  EXPECT_EQ(FieldToPath(field, kSyncPathUnits), std::string(kSyncPathUnits - 1, 'x'));

  EXPECT_FALSE(PathToField(std::string(kSyncPathUnits, 'x'), field, kSyncPathUnits));
  for (char16_t c : field) ASSERT_EQ(c, 0);
  EXPECT_EQ(FieldToPath(field, kSyncPathUnits), "");
}

TEST(SyncTextTest, UnpairedSurrogatesBecomeQuestionMarks) {
  struct Case {
    std::u16string field;
    const char* text;
  } cases[] = {
      {u"C:\\a\xD800.txt", "C:\\a?.txt"},
      {u"\xDFFFz", "?z"},
      {u"C:\\plain", "C:\\plain"},
  };
  for (const Case& c : cases) {
    char16_t field[kSyncPathUnits] = {};
    c.field.copy(field, c.field.size());
    EXPECT_EQ(FieldToPath(field, kSyncPathUnits), c.text);
  }
}

}  // namespace
}  // namespace tovik
