#include "SyncEngine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>

#include "DebugOutput.h"
#include "FaultyFileSystem.h"
#include "SyncText.h"
#include "SyncTree.h"
#include "TestClock.h"

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
    if (clock != nullptr) clock->advance(msPerAction);
    progress.push_back(percent);
    if (percent == 100) {
      done_ = true;
      cv_.notify_all();
    }
    const bool goOn = int(progress.size()) < stopAfter;
    if (!goOn && onStop) onStop();
    return goOn;
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
  std::function<void()> onStop;  // called as the answer stops the run
  // Run time passes only as the actions are done.
  pdkos::CTestClock* clock = nullptr;
  uint32_t msPerAction = 0;

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool done_ = false;
};

class SyncEngineTest : public ::testing::Test {
 protected:
  explicit SyncEngineTest(bool movableDrive = false) : tree_(movableDrive) {
    pdkos::setClock(&clock_);
    recorder_.clock = &clock_;
    std::memset(&params_, 0, sizeof(params_));
    std::strcpy(params_.name, "TestDrive");
    std::strcpy(params_.databaseFolder, tree_.databaseFolder().c_str());
    params_.driveLetters[0] = 'X';  // a volume of the drive that is not used here
    params_.driveLetters[1] = tree_.driveLetter();
    engine_ = std::make_unique<CSyncEngine>(fs_);
    engine_->SetParams(params_);
    engine_->SetObserver(&recorder_);
  }
  ~SyncEngineTest() override {
    engine_.reset();
    pdkos::setClock(nullptr);
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

  pdkos::CTestClock clock_;
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
  recorder_.msPerAction = 1000;  // the write after the first action is due
  run();
  // Reported once, though the write at the end fails as well.
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

// The drive is pulled out and comes back under another letter: the records,
// written with the old one, follow the link's volume to the new one.
class DriveLetterTest : public SyncEngineTest {
 protected:
  DriveLetterTest() : SyncEngineTest(true) {}
};

TEST_F(DriveLetterTest, ADriveBackUnderAnotherLetterKeepsItsPairs) {
  link();
  for (const char* name : {"a.txt", "b.txt", "sub\\c.txt"}) {
    SyncTree::write(host(name), name, kBaseTime);
  }
  ASSERT_EQ(prepare().size(), 3u);
  run();
  const char oldLetter = tree_.driveLetter();
  engine_.reset();  // the database as the old letter left it

  const std::string movedDrive = tree_.moveDrive();
  ASSERT_NE(movedDrive[0], oldLetter);
  params_.driveLetters[1] = movedDrive[0];
  engine_ = std::make_unique<CSyncEngine>(fs_);
  engine_->SetParams(params_);
  engine_->SetObserver(&recorder_);
  EXPECT_TRUE(prepare().empty());

  SyncTree::write(host("sub\\c.txt"), "edited", kBaseTime + 60 * kSecond);
  EXPECT_EQ(prepare(), (std::map<std::string, SyncActionKind>{{"sub\\c.txt", tovik::CopyToDrive}}));
  ASSERT_EQ(actions_.size(), 1u);
  EXPECT_EQ(actions_[0]->GetDrivePath(), movedDrive + "sub\\c.txt");
  run();
  EXPECT_TRUE(recorder_.failed.empty());
  EXPECT_EQ(SyncTree::read(movedDrive + "sub\\c.txt"), "edited");
  EXPECT_TRUE(prepare().empty());

  // Every record is on the new letter now.
  auto db = reopen();
  std::vector<std::string> drivePaths;
  tovik::SyncFileRecord r;
  for (int64_t at = db->FirstEntry(r); at >= 0; at = db->NextEntry(at, r)) {
    drivePaths.push_back(tovik::FieldToPath(r.drivePath, tovik::kSyncPathUnits));
  }
  std::sort(drivePaths.begin(), drivePaths.end());
  EXPECT_EQ(drivePaths, (std::vector<std::string>{movedDrive + "a.txt", movedDrive + "b.txt",
                                                  movedDrive + "sub\\c.txt"}));
}

// A folder of the link that is gone (renamed, or on the safe partition after a
// logout) or cannot be listed stops the scan before it proposes anything.
TEST_F(SyncEngineTest, AMissingOrUnlistableLinkFolderIsCode5) {
  link();
  syncedPair("a.txt", kBaseTime);
  syncedPair("sub\\b.txt", kBaseTime);
  const std::string hostFolder = tree_.host().substr(0, tree_.host().size() - 1);
  const std::string driveFolder = tree_.drive().substr(0, tree_.drive().size() - 1);
  struct Case {
    const char* what;
    std::function<void()> arrange, undo;
  } cases[] = {
      {"host folder renamed", [&] { SyncTree::rename(hostFolder, hostFolder + "2"); },
       [&] { SyncTree::rename(hostFolder + "2", hostFolder); }},
      {"drive folder gone", [&] { SyncTree::rename(driveFolder, driveFolder + "2"); },
       [&] { SyncTree::rename(driveFolder + "2", driveFolder); }},
      {"host folder unreadable", [&] { fs_.unreadable = {tree_.host()}; },
       [&] { fs_.unreadable.clear(); }},
      {"drive folder unreadable", [&] { fs_.unreadable = {tree_.drive()}; },
       [&] { fs_.unreadable.clear(); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.arrange();
    CSyncAction* const* actions = nullptr;
    int count = -1;
    try {
      engine_->Prepare(actions, count);
      ADD_FAILURE() << "proposed " << count << " actions";
    } catch (const sync::CPDKException& e) {
      EXPECT_EQ(e.code, 5);
      EXPECT_STREQ(e.message, "Path does not exist");
    }
    c.undo();
    EXPECT_TRUE(prepare().empty());
  }
}

// A subfolder that cannot be listed is not taken for empty: nothing recorded
// inside it is deleted on the other side, nor is its record dropped.
TEST_F(SyncEngineTest, AnUnlistableSubfolderIsNotTakenForEmpty) {
  link();
  syncedPair("top.txt", kBaseTime);
  syncedPair("sub\\kept.txt", kBaseTime);
  syncedPair("sub\\gone.txt", kBaseTime);
  struct Case {
    bool hostUnreadable;
    std::string goneOn;         // where gone.txt was deleted by the user
    SyncActionKind afterwards;  // what its deletion becomes once readable again
    uint64_t edited;            // a new time for top.txt
  } cases[] = {
      {true, "drive", tovik::DeleteOnHost, kBaseTime + 60 * kSecond},
      {false, "host", tovik::DeleteOnDrive, kBaseTime + 120 * kSecond},
  };
  std::vector<std::string> trace;
  std::mutex traceLock;
  pdkos::setDebugOutputHook([&](const char* text) {
    std::lock_guard<std::mutex> lock(traceLock);
    trace.emplace_back(text);
  });
  for (const Case& c : cases) {
    SCOPED_TRACE(c.goneOn);
    const std::string unreadable = (c.hostUnreadable ? tree_.host() : tree_.drive()) + "sub\\";
    SyncTree::remove((c.hostUnreadable ? tree_.drive() : tree_.host()) + "sub\\gone.txt");
    fs_.unreadable = {unreadable};
    trace.clear();
    SyncTree::write(host("top.txt"), "edited", c.edited);
    EXPECT_EQ(prepare(), (std::map<std::string, SyncActionKind>{{"top.txt", tovik::CopyToDrive}}));
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_EQ(trace[0].find("ERROR"), trace[0].find(") : ") + 4) << trace[0];
    EXPECT_NE(trace[0].find(unreadable), std::string::npos) << trace[0];
    run();
    fs_.unreadable.clear();
    EXPECT_EQ(prepare(), (std::map<std::string, SyncActionKind>{{"sub\\gone.txt", c.afterwards}}));
    // Put back for the next case: the pair synchronised again.
    ASSERT_TRUE(actions_[0]->SetKind(c.afterwards == tovik::DeleteOnHost ? tovik::CreateOnDrive
                                                                         : tovik::CreateOnHost));
    run();
    EXPECT_TRUE(prepare().empty());
  }
  pdkos::setDebugOutputHook({});
  EXPECT_TRUE(recorder_.failed.empty());
}

// Another program writes the destination between the scan and the run.
TEST_F(SyncEngineTest, ACreateNeverOverwritesAFileThatAppearedAfterTheScan) {
  link();
  struct Case {
    std::string name;
    bool onHost;  // where the file to copy is
    SyncActionKind proposed;
  } cases[] = {{"to-drive.txt", true, tovik::CreateOnDrive},
               {"to-host.txt", false, tovik::CreateOnHost}};
  for (const Case& c : cases) {
    SyncTree::write(c.onHost ? host(c.name) : drive(c.name), "source", kBaseTime);
  }
  const auto proposals = prepare();
  for (const Case& c : cases) EXPECT_EQ(proposals.at(c.name), c.proposed) << c.name;
  for (const Case& c : cases) {
    SyncTree::write(c.onHost ? drive(c.name) : host(c.name), "theirs", kBaseTime + 9 * kSecond);
  }
  run();
  std::sort(recorder_.failed.begin(), recorder_.failed.end());
  EXPECT_EQ(recorder_.failed,
            (std::vector<std::string>{host("to-drive.txt"), host("to-host.txt")}));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(SyncTree::read(c.onHost ? drive(c.name) : host(c.name)), "theirs");
    EXPECT_EQ(SyncTree::read(c.onHost ? host(c.name) : drive(c.name)), "source");
  }
  // Unrecorded pairs on both sides: the user picks a direction.
  EXPECT_EQ(prepare(), (std::map<std::string, SyncActionKind>{{"to-drive.txt", tovik::Skip},
                                                              {"to-host.txt", tovik::Skip}}));
}

// The database is written when the run ends and, on the way, at most about
// once a second of run time, not after every action; a file that takes long to
// write is written less often still.
TEST_F(SyncEngineTest, TheDatabaseIsWrittenAtTheEndAndAboutOnceASecond) {
  struct Case {
    uint32_t msPerAction, msPerWrite;
    int writes;
  } cases[] = {{0, 0, 1}, {400, 0, 2}, {1000, 0, 5}, {1000, 200, 3}};
  fs_.clock = &clock_;
  link();
  int round = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.msPerAction) + " ms an action, " + std::to_string(c.msPerWrite) +
                 " ms a write");
    std::vector<std::string> names;
    for (int i = 0; i < 5; ++i) names.push_back(std::to_string(round) + "-" + std::to_string(i));
    ++round;
    for (const std::string& name : names) SyncTree::write(host(name), "x", kBaseTime);
    ASSERT_EQ(prepare().size(), names.size());
    recorder_.msPerAction = c.msPerAction;
    fs_.msPerWrite = c.msPerWrite;
    const int before = fs_.writes;
    run();
    EXPECT_EQ(fs_.writes - before, c.writes);
    // What the file holds now, with the engine still alive.
    auto db = sync::Open(tree_.databaseFolder(), "TestDrive", true);
    tovik::SyncFileRecord r;
    for (const std::string& name : names) EXPECT_TRUE(db->GetEntry(host(name), r)) << name;
  }
}

// Whatever action a run is cut off after, before or without its database being
// written, the next scan proposes nothing that deletes or overwrites a file on
// account of what the run did: an unrecorded pair is Skip, a stale record time
// is Skip, a recorded pair gone on both sides is purged. The actions not done
// are proposed again as they were.
TEST(SyncCutRunTest, ARunCutAnywhereLeavesNothingDestructiveToPropose) {
  pdkos::CTestClock clock;
  pdkos::setClock(&clock);
  for (const uint32_t msPerAction : {0u, 600u}) {
    for (int cut = 0;; ++cut) {
      SCOPED_TRACE("cut after action " + std::to_string(cut) + ", " + std::to_string(msPerAction) +
                   " ms an action");
      SyncTree tree;
      synctest::FaultyFileSystem fs;
      tovik::SyncParams params;
      std::memset(&params, 0, sizeof(params));
      std::strcpy(params.name, "Cut");
      std::strcpy(params.databaseFolder, tree.databaseFolder().c_str());
      params.driveLetters[0] = tree.driveLetter();
      const auto scan = [&](CSyncEngine& engine) {
        CSyncAction* const* actions = nullptr;
        int count = 0;
        engine.Prepare(actions, count);
        std::vector<std::pair<std::string, SyncActionKind>> out;
        for (int i = 0; i < count; ++i) {
          out.emplace_back(actions[i]->GetHostPath().substr(tree.host().size()),
                           actions[i]->GetKind());
        }
        return out;
      };
      const auto h = [&](const char* name) { return tree.host() + name; };
      const auto d = [&](const char* name) { return tree.drive() + name; };
      {
        CSyncEngine engine(fs);
        engine.SetParams(params);
        engine.SetLink(tree.host(), tree.drive());
        for (const char* name : {"to-drive", "to-host", "del-host", "del-drive", "both"}) {
          SyncTree::write(h(name), name, kBaseTime);
        }
        scan(engine);
        engine.Start(true);
      }
      SyncTree::write(h("new-host"), "n", kBaseTime);
      SyncTree::write(d("new-drive"), "n", kBaseTime);
      SyncTree::setTime(h("to-drive"), kBaseTime + 10 * kSecond);
      SyncTree::setTime(d("to-host"), kBaseTime + 10 * kSecond);
      SyncTree::remove(d("del-host"));
      SyncTree::remove(h("del-drive"));
      SyncTree::setTime(h("both"), kBaseTime + 10 * kSecond);
      SyncTree::setTime(d("both"), kBaseTime + 20 * kSecond);

      std::vector<std::pair<std::string, SyncActionKind>> planned;
      {
        Recorder recorder;
        recorder.clock = &clock;
        recorder.msPerAction = msPerAction;
        recorder.stopAfter = cut;
        CSyncEngine engine(fs);
        engine.SetParams(params);
        engine.SetObserver(&recorder);
        planned = scan(engine);
        // One action of every kind.
        std::vector<int> kinds;
        for (const auto& p : planned) kinds.push_back(int(p.second));
        std::sort(kinds.begin(), kinds.end());
        ASSERT_EQ(kinds, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
        // From the cut on, the database file stays as it was.
        recorder.onStop = [&fs] { fs.dropWrites = true; };
        if (cut == 0) {
          fs.dropWrites = true;
        } else {
          engine.Start(true);
        }
      }
      fs.dropWrites = false;
      CSyncEngine engine(fs);
      engine.SetParams(params);
      std::map<std::string, SyncActionKind> next;
      for (const auto& p : scan(engine)) next.emplace(p.first, p.second);
      for (size_t i = 0; i < planned.size(); ++i) {
        const std::string& name = planned[i].first;
        const auto found = next.find(name);
        if (int(i) < cut) {
          EXPECT_TRUE(found == next.end() || found->second == tovik::Skip)
              << name << " done, then proposed as " << int(found->second);
        } else {
          ASSERT_NE(found, next.end()) << name << " not done, and not proposed again";
          EXPECT_EQ(found->second, planned[i].second) << name;
        }
      }
      if (cut == int(planned.size())) break;
    }
  }
  pdkos::setClock(nullptr);
}

}  // namespace
}  // namespace tovik
