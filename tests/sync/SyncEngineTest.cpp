#include "SyncEngine.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>

#include "FaultyFileSystem.h"
#include "SyncText.h"
#include "SyncTree.h"

using synctest::kBaseTime;
using synctest::kSecond;
using synctest::SyncTree;
using tovik::CSyncAction;
using tovik::CSyncEngine;
using tovik::SyncActionKind;

namespace tovik {
namespace {

// Records what a run reports; answers as told.
class Recorder : public tovik::CSyncObserver {
 public:
  bool OnActionFailed(CSyncAction* action) override {
    std::lock_guard<std::mutex> lock(mutex_);
    failed.push_back(action->GetHostPath());
    return goOnAfterFailure;
  }
  void OnError(int code) override {
    std::lock_guard<std::mutex> lock(mutex_);
    errors.push_back(code);
    done_ = true;
    cv_.notify_all();
  }
  bool OnProgress(int percent) override {
    std::lock_guard<std::mutex> lock(mutex_);
    progress.push_back(percent);
    if (percent == 100) {
      done_ = true;
      cv_.notify_all();
    }
    return int(progress.size()) < stopAfter;
  }
  bool waitDone() {
    std::unique_lock<std::mutex> lock(mutex_);
    return cv_.wait_for(lock, std::chrono::seconds(30), [this] { return done_; });
  }

  std::vector<std::string> failed;
  std::vector<int> errors;
  std::vector<int> progress;
  bool goOnAfterFailure = true;
  int stopAfter = 1000;

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;
};

class SyncEngineTest : public ::testing::Test {
 protected:
  SyncEngineTest() {
    std::memset(&params_, 0, sizeof(params_));
    std::strcpy(params_.name, "TestDrive");
    std::strcpy(params_.databaseFolder, tree_.databaseFolder().c_str());
    params_.driveLetters[0] = 'X';  // a volume of the drive that is not used here
    params_.driveLetters[1] = tree_.driveLetter();
    engine_ = std::make_unique<CSyncEngine>(fs_);
    engine_->SetParams(params_);
    engine_->SetObserver(&recorder_);
  }

  std::string host(const std::string& name) const { return tree_.host() + name; }
  std::string drive(const std::string& name) const { return tree_.drive() + name; }

  void link() { engine_->SetLink(tree_.host(), tree_.drive()); }

  // The proposals by file name relative to the host folder.
  std::map<std::string, SyncActionKind> prepare() {
    CSyncAction* const* actions = nullptr;
    int count = -1;
    engine_->Prepare(actions, count);
    std::map<std::string, SyncActionKind> out;
    for (int i = 0; i < count; ++i) {
      const std::string path = actions[i]->GetHostPath();
      EXPECT_EQ(path.compare(0, tree_.host().size(), tree_.host()), 0) << path;
      EXPECT_TRUE(out.emplace(path.substr(tree_.host().size()), actions[i]->GetKind()).second);
    }
    actions_.assign(actions, actions + count);
    return out;
  }

  void run() { engine_->Start(true); }

  // A pair synchronised once: created on the host, copied to the drive.
  void syncedPair(const std::string& name, uint64_t time) {
    SyncTree::write(host(name), "one", time);
    ASSERT_EQ(prepare()[name], tovik::CreateOnDrive);
    run();
    ASSERT_TRUE(SyncTree::exists(drive(name)));
    recorder_.progress.clear();
  }

  // Reopens the database file written by the engine.
  std::unique_ptr<tovik::CSyncDB> reopen() {
    engine_.reset();
    return sync::Open(tree_.databaseFolder(), "TestDrive", true);
  }

  SyncTree tree_;
  synctest::FaultyFileSystem fs_;
  tovik::SyncParams params_;
  Recorder recorder_;
  std::unique_ptr<CSyncEngine> engine_;
  std::vector<CSyncAction*> actions_;
};

TEST_F(SyncEngineTest, FirstSynchronisation) {
  link();
  SyncTree::write(host("a.txt"), "host a", kBaseTime);
  SyncTree::write(drive("b.txt"), "drive b", kBaseTime + 5 * kSecond);
  SyncTree::write(host("c.txt"), "host c", kBaseTime);
  SyncTree::write(drive("c.txt"), "drive c", kBaseTime + 100 * kSecond);
  SyncTree::write(host("sub\\d.txt"), "host d", kBaseTime);

  const std::map<std::string, SyncActionKind> expected = {{"a.txt", tovik::CreateOnDrive},
                                                          {"b.txt", tovik::CreateOnHost},
                                                          {"c.txt", tovik::Skip},
                                                          {"sub\\d.txt", tovik::CreateOnDrive}};
  EXPECT_EQ(prepare(), expected);
  for (CSyncAction* a : actions_) {
    if (a->GetKind() == tovik::CreateOnDrive) {
      EXPECT_EQ(a->GetDriveTimeText(), "");
    }
    if (a->GetKind() == tovik::CreateOnHost) {
      EXPECT_NE(a->GetDriveTimeText(), "");
    }
  }

  run();
  EXPECT_EQ(SyncTree::read(drive("a.txt")), "host a");
  EXPECT_EQ(SyncTree::read(host("b.txt")), "drive b");
  EXPECT_EQ(SyncTree::read(drive("sub\\d.txt")), "host d");
  EXPECT_EQ(SyncTree::read(drive("c.txt")), "drive c");
  // Copies keep the source's time, so the pairs are equal at the next scan;
  // the skipped pair stays without a record and is proposed again.
  EXPECT_EQ(SyncTree::time(host("b.txt")), kBaseTime + 5 * kSecond);
  EXPECT_EQ(prepare(), (std::map<std::string, SyncActionKind>{{"c.txt", tovik::Skip}}));
  EXPECT_TRUE(recorder_.failed.empty());
  EXPECT_TRUE(recorder_.errors.empty());

  auto db = reopen();
  tovik::SyncFileRecord r;
  ASSERT_TRUE(db->GetEntry(host("b.txt"), r));
  EXPECT_EQ(tovik::FieldToPath(r.drivePath, tovik::kSyncPathUnits), drive("b.txt"));
  EXPECT_EQ(r.time.value(), kBaseTime + 5 * kSecond);
  EXPECT_FALSE(db->GetEntry(host("c.txt"), r));
}

TEST_F(SyncEngineTest, ChangesAfterASynchronisation) {
  struct Case {
    int64_t hostShift, driveShift;  // seconds after the recorded time
    int expected;                   // a kind, or -1 for nothing
  } cases[] = {
      {10, 0, tovik::CopyToDrive},
      {0, 10, tovik::CopyToHost},
      {10, 20, tovik::Skip},
      {10, 10, tovik::Skip},
      {2, 0, -1},
      {3, 0, tovik::CopyToDrive},
      {0, 2, -1},
      {0, 3, tovik::CopyToHost},
      {-10, 0, tovik::Skip},
  };
  link();
  for (const Case& c : cases) SyncTree::write(host(std::to_string(&c - cases)), "v1", kBaseTime);
  prepare();
  run();
  for (const Case& c : cases) {
    const std::string name = std::to_string(&c - cases);
    SyncTree::setTime(host(name), kBaseTime + uint64_t(c.hostShift * int64_t(kSecond)));
    SyncTree::setTime(drive(name), kBaseTime + uint64_t(c.driveShift * int64_t(kSecond)));
  }
  const auto proposals = prepare();
  for (const Case& c : cases) {
    const std::string name = std::to_string(&c - cases);
    SCOPED_TRACE("host +" + std::to_string(c.hostShift) + " s, drive +" +
                 std::to_string(c.driveShift) + " s");
    const auto found = proposals.find(name);
    EXPECT_EQ(found == proposals.end() ? -1 : int(found->second), c.expected);
  }
}

TEST_F(SyncEngineTest, CopiesBothWaysAndRecordsTheSourceTime) {
  link();
  syncedPair("h.txt", kBaseTime);
  SyncTree::write(drive("d.txt"), "one", kBaseTime);
  prepare();
  run();
  SyncTree::write(host("h.txt"), "host two", kBaseTime + 60 * kSecond);
  SyncTree::write(drive("d.txt"), "drive two", kBaseTime + 90 * kSecond);
  EXPECT_EQ(prepare(), (std::map<std::string, SyncActionKind>{{"d.txt", tovik::CopyToHost},
                                                              {"h.txt", tovik::CopyToDrive}}));
  run();
  EXPECT_EQ(SyncTree::read(drive("h.txt")), "host two");
  EXPECT_EQ(SyncTree::read(host("d.txt")), "drive two");
  EXPECT_TRUE(prepare().empty());
}

TEST_F(SyncEngineTest, ACopyChosenForAnUnrecordedPairIsRecorded) {
  link();
  SyncTree::write(host("c.txt"), "host", kBaseTime + 50 * kSecond);
  SyncTree::write(drive("c.txt"), "drive", kBaseTime);
  ASSERT_EQ(prepare()["c.txt"], tovik::Skip);
  ASSERT_TRUE(actions_[0]->SetKind(tovik::CopyToDrive));
  run();
  EXPECT_EQ(SyncTree::read(drive("c.txt")), "host");
  EXPECT_TRUE(prepare().empty());
}

TEST_F(SyncEngineTest, DeletionsOnEitherSide) {
  link();
  syncedPair("gone-on-drive.txt", kBaseTime);
  syncedPair("sub\\gone-on-host.txt", kBaseTime);
  SyncTree::remove(drive("gone-on-drive.txt"));
  SyncTree::remove(host("sub"));
  EXPECT_EQ(prepare(), (std::map<std::string, SyncActionKind>{
                           {"gone-on-drive.txt", tovik::DeleteOnHost},
                           {"sub\\gone-on-host.txt", tovik::DeleteOnDrive}}));
  run();
  EXPECT_FALSE(SyncTree::exists(host("gone-on-drive.txt")));
  EXPECT_FALSE(SyncTree::exists(drive("sub\\gone-on-host.txt")));
  // The host folder is gone and nothing is left in the drive's: it goes too.
  EXPECT_FALSE(SyncTree::exists(drive("sub")));
  EXPECT_TRUE(recorder_.failed.empty());
  EXPECT_TRUE(prepare().empty());
  auto db = reopen();
  tovik::SyncFileRecord r;
  EXPECT_EQ(db->FirstEntry(r), -1);
}

TEST_F(SyncEngineTest, APairGoneOnBothSidesIsPurged) {
  link();
  syncedPair("a.txt", kBaseTime);
  syncedPair("b.txt", kBaseTime);
  SyncTree::remove(host("a.txt"));
  SyncTree::remove(drive("a.txt"));
  EXPECT_TRUE(prepare().empty());
  auto db = reopen();
  tovik::SyncFileRecord r;
  EXPECT_FALSE(db->GetEntry(host("a.txt"), r));
  EXPECT_TRUE(db->GetEntry(host("b.txt"), r));
}

TEST_F(SyncEngineTest, FlagsLeaveOutHiddenSystemFilesAndSubfolders) {
  struct Case {
    uint32_t flags;
    std::vector<std::string> listed;
  } cases[] = {
      {0, {".both", ".hidden", "plain", "sub\\inner"}},
      {0x10, {".hidden", "plain", "sub\\inner"}},
      {0x100, {".both", "plain", "sub\\inner"}},
      {0x110, {"plain", "sub\\inner"}},
      {0x1, {".both", ".hidden", "plain"}},
  };
  // Hidden by their names natively, by attribute on Windows.
  for (const char* name : {".both", ".hidden", "plain", "sub\\inner"}) {
    SyncTree::write(host(name), "x", kBaseTime);
  }
  ASSERT_TRUE(fs_.setAttributes(host(".both"), tovik::kAttrHidden | tovik::kAttrSystem));
  ASSERT_TRUE(fs_.setAttributes(host(".hidden"), tovik::kAttrHidden));
  ASSERT_EQ(fs_.attributes(host(".both")) & 0x6, 0x6u);
  ASSERT_EQ(fs_.attributes(host(".hidden")) & 0x6, 0x2u);
  link();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    params_.flags = c.flags;
    engine_->SetParams(params_);
    std::vector<std::string> listed;
    for (const auto& p : prepare()) listed.push_back(p.first);
    EXPECT_EQ(listed, c.listed);
  }
}

TEST_F(SyncEngineTest, LinkErrors) {
  struct Case {
    const char* what;
    std::string hostFolder, driveFolder;
    bool withName;
    int code;
    const char* message;
  } cases[] = {
      {"host missing", host("none\\"), tree_.drive(), true, 5, "Path does not exist"},
      {"drive missing", tree_.host(), drive("none\\"), true, 5, "Path does not exist"},
      {"no parameters", tree_.host(), tree_.drive(), false, 8, "Sync engine parameters not set"},
      {"host on the drive", tree_.drive(), tree_.drive(), true, 7,
       "Host path cannot exist on Plunda"},
      {"drive folder elsewhere", tree_.host(), tree_.host(), true, 6,
       "Path does not exist on Plunda"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    tovik::SyncParams p = params_;
    if (!c.withName) p.name[0] = '\0';
    CSyncEngine engine(fs_);
    engine.SetParams(p);
    try {
      engine.SetLink(c.hostFolder, c.driveFolder);
      ADD_FAILURE() << "no error";
    } catch (const sync::CPDKException& e) {
      EXPECT_EQ(e.code, c.code);
      EXPECT_STREQ(e.message, c.message);
    }
    EXPECT_FALSE(sync::Exists(tree_.databaseFolder(), "TestDrive"));
  }
}

TEST_F(SyncEngineTest, PrepareNeedsADatabaseWithALink) {
  tovik::SyncLinkRecord l;
  EXPECT_FALSE(engine_->GetLink(l));
  CSyncAction* const* actions = nullptr;
  int count = 0;
  try {
    engine_->Prepare(actions, count);
    ADD_FAILURE();
  } catch (const sync::CPDKException& e) {
    EXPECT_EQ(e.code, 0);
    EXPECT_STREQ(e.message, "Database Error");
  }
  sync::Open(tree_.databaseFolder(), "TestDrive", false);
  CSyncEngine engine(fs_);
  engine.SetParams(params_);
  EXPECT_FALSE(engine.GetLink(l));
  try {
    engine.Prepare(actions, count);
    ADD_FAILURE();
  } catch (const sync::CPDKException& e) {
    EXPECT_EQ(e.code, 3);
    EXPECT_STREQ(e.message, "No synchronization settings found");
  }
}

TEST_F(SyncEngineTest, TheLinkFollowsTheDrivesVolumePosition) {
  link();
  engine_.reset();
  {
    auto db = sync::Open(tree_.databaseFolder(), "TestDrive", true);
    tovik::SyncLinkRecord stored;
    ASSERT_TRUE(db->GetLink(stored));
    EXPECT_EQ(tovik::FieldToPath(stored.driveFolder, tovik::kSyncPathUnits),
              "1" + tree_.drive().substr(1));
    EXPECT_EQ(tovik::FieldToPath(stored.hostFolder, tovik::kSyncPathUnits), tree_.host());
  }
  struct Case {
    const char letters[8];
    bool found;
    char letter;
  } cases[] = {
      {{'Q', 'R'}, true, 'R'},  // the volume got another letter
      {{'Q'}, false, 0},        // the drive has fewer volumes now
  };
  for (const Case& c : cases) {
    tovik::SyncParams p = params_;
    std::memcpy(p.driveLetters, c.letters, 8);
    CSyncEngine engine(fs_);
    engine.SetParams(p);
    tovik::SyncLinkRecord l;
    EXPECT_EQ(engine.GetLink(l), c.found);
    EXPECT_EQ(char(l.driveFolder[0]), c.letter);
    if (c.found) {
      EXPECT_EQ(tovik::FieldToPath(l.driveFolder, tovik::kSyncPathUnits),
                std::string(1, c.letter) + tree_.drive().substr(1));
    }
  }
}

TEST_F(SyncEngineTest, ProgressAndObserverAnswers) {
  link();
  for (const char* name : {"1", "2", "3", "4"}) SyncTree::write(host(name), "x", kBaseTime);
  ASSERT_EQ(prepare().size(), 4u);
  run();
  EXPECT_EQ(recorder_.progress, (std::vector<int>{25, 50, 75, 100}));

  // A false answer to progress ends the run after that action.
  for (const char* name : {"5", "6", "7"}) SyncTree::write(host(name), "x", kBaseTime);
  ASSERT_EQ(prepare().size(), 3u);
  recorder_.progress.clear();
  recorder_.stopAfter = 1;
  run();
  EXPECT_EQ(recorder_.progress, (std::vector<int>{33}));
  EXPECT_EQ(prepare().size(), 2u);
}

TEST_F(SyncEngineTest, AFailedActionIsReportedAndLeavesTheDatabase) {
  link();
  SyncTree::write(host("a"), "x", kBaseTime);
  SyncTree::write(host("sub\\b"), "x", kBaseTime);
  // A file where the drive needs the folder "sub".
  SyncTree::write(drive("sub"), "blocker", kBaseTime);
  const auto proposals = prepare();
  ASSERT_EQ(proposals.at("sub\\b"), tovik::CreateOnDrive);
  recorder_.goOnAfterFailure = false;
  run();
  ASSERT_EQ(recorder_.failed.size(), 1u);
  EXPECT_EQ(recorder_.failed[0], host("sub\\b"));
  auto db = reopen();
  tovik::SyncFileRecord r;
  EXPECT_FALSE(db->GetEntry(host("sub\\b"), r));
}

TEST_F(SyncEngineTest, AFailedCopyGoesOnWhenTheObserverSaysSo) {
  link();
  for (const char* name : {"a", "b"}) SyncTree::write(host(name), "x", kBaseTime);
  prepare();
  fs_.failCopy = true;
  run();
  EXPECT_EQ(recorder_.failed.size(), 2u);
  EXPECT_EQ(recorder_.progress, (std::vector<int>{50, 100}));
  fs_.failCopy = false;
  EXPECT_EQ(prepare().size(), 2u);
}

TEST_F(SyncEngineTest, AFailedFlushEndsTheRunWithItsCode) {
  link();
  for (const char* name : {"a", "b"}) SyncTree::write(host(name), "x", kBaseTime);
  prepare();
  fs_.failReplace = true;
  run();
  EXPECT_EQ(recorder_.errors, (std::vector<int>{0}));
  EXPECT_EQ(recorder_.progress, (std::vector<int>{50}));
  fs_.failReplace = false;
}

TEST_F(SyncEngineTest, SkipsLeaveTheDatabaseFileAlone) {
  link();
  for (const char* name : {"a", "b"}) {
    SyncTree::write(host(name), "x", kBaseTime);
    SyncTree::write(drive(name), "y", kBaseTime);
  }
  ASSERT_EQ(prepare().size(), 2u);
  fs_.failReplace = true;  // any write of the database would end the run
  run();
  EXPECT_TRUE(recorder_.errors.empty());
  EXPECT_EQ(recorder_.progress, (std::vector<int>{50, 100}));
  fs_.failReplace = false;
}

TEST_F(SyncEngineTest, CreatedFoldersTakeTheSourceFoldersAttributes) {
  link();
  SyncTree::write(host("sys\\deep\\f.txt"), "x", kBaseTime);
  ASSERT_TRUE(fs_.setAttributes(host("sys\\deep"), tovik::kAttrSystem));
  prepare();
  run();
  EXPECT_EQ(SyncTree::read(drive("sys\\deep\\f.txt")), "x");
  EXPECT_NE(fs_.attributes(drive("sys\\deep")) & tovik::kAttrSystem, 0u);
  EXPECT_EQ(fs_.attributes(drive("sys")) & tovik::kAttrSystem, 0u);
}

TEST_F(SyncEngineTest, RunsOnAWorkerThread) {
  link();
  for (const char* name : {"a", "b", "c"}) SyncTree::write(host(name), name, kBaseTime);
  prepare();
  engine_->Start(false);
  ASSERT_TRUE(recorder_.waitDone());
  engine_.reset();  // waits for the worker's last flush
  EXPECT_EQ(recorder_.progress, (std::vector<int>{33, 66, 100}));
  for (const char* name : {"a", "b", "c"}) EXPECT_EQ(SyncTree::read(drive(name)), name);
  auto db = sync::Open(tree_.databaseFolder(), "TestDrive", true);
  tovik::SyncFileRecord r;
  EXPECT_TRUE(db->GetEntry(drive("c"), r));
}

TEST_F(SyncEngineTest, DeleteDatabaseDoesNotComeBack) {
  link();
  engine_->DeleteDatabase();
  engine_.reset();
  EXPECT_FALSE(sync::Exists(tree_.databaseFolder(), "TestDrive"));
}

}  // namespace
}  // namespace tovik
