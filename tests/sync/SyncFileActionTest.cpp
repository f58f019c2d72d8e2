#include "SyncFileAction.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace tovik;

namespace {

TEST(SyncFileActionTest, AlternativesByProposedKind) {
  struct Case {
    SyncActionKind proposed;
    std::vector<SyncActionKind> alternatives;  // in the order offered
  } cases[] = {
      {CopyToDrive, {Skip, CopyToHost}},     {Skip, {CopyToDrive, CopyToHost}},
      {CopyToHost, {Skip, CopyToDrive}},     {CreateOnDrive, {Skip, DeleteOnHost}},
      {CreateOnHost, {Skip, DeleteOnDrive}}, {DeleteOnDrive, {Skip, CreateOnHost}},
      {DeleteOnHost, {Skip, CreateOnDrive}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.proposed));
    CSyncFileAction action("h", "d", {}, {}, c.proposed, nullptr);
    const SyncActionKind* list = nullptr;
    int count = 0;
    action.GetAlternatives(list, count);
    ASSERT_EQ(count, 2);
    EXPECT_EQ(std::vector<SyncActionKind>(list, list + count), c.alternatives);
    // Every kind outside the candidates is refused; each alternative is taken,
    // and the proposal stays the base of the list.
    for (int k = 0; k <= Skip; ++k) {
      const bool offered =
          std::find(c.alternatives.begin(), c.alternatives.end(), k) != c.alternatives.end();
      CSyncFileAction probe("h", "d", {}, {}, c.proposed, nullptr);
      EXPECT_EQ(probe.SetKind(SyncActionKind(k)), offered) << k;
      EXPECT_EQ(probe.GetKind(), offered ? SyncActionKind(k) : c.proposed);
      if (!offered) continue;
      probe.GetAlternatives(list, count);
      ASSERT_EQ(count, 2);
      EXPECT_NE(std::find(list, list + count, c.proposed), list + count);
    }
  }
}

TEST(SyncFileActionTest, CreateOnDriveRefusesCopyToHost) {
  CSyncFileAction action("h", "d", {}, {}, CreateOnDrive, nullptr);
  EXPECT_FALSE(action.SetKind(CopyToHost));
  EXPECT_FALSE(action.SetKind(CreateOnDrive));
  EXPECT_TRUE(action.SetKind(DeleteOnHost));
  EXPECT_TRUE(action.SetKind(CreateOnDrive));
  EXPECT_EQ(action.GetKind(), CreateOnDrive);
}

TEST(SyncFileActionTest, TimeTextsNeedBothHalves) {
  const SyncFileTime known = SyncFileTime::from(133485408000000000ull + 1);
  CSyncFileAction action("h", "d", known, {known.dwLowDateTime, 0}, Skip, nullptr);
  EXPECT_FALSE(action.GetHostTimeText().empty());
  EXPECT_EQ(action.GetDriveTimeText(), "");
  CSyncFileAction low("h", "d", {0, known.dwHighDateTime}, {}, Skip, nullptr);
  EXPECT_EQ(low.GetHostTimeText(), "");
  EXPECT_EQ(action.GetHostPath(), "h");
  EXPECT_EQ(action.GetDrivePath(), "d");
}

}  // namespace
