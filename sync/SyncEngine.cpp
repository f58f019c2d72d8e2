#include "SyncEngine.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <exception>
#include <functional>

#include "PDKClock.h"
#include "SyncText.h"

namespace tovik {

namespace {

[[noreturn]] void fail(int32_t code, const char* text) { throw sync::CPDKException(code, text); }

// A fixed field of the parameter block as text, bounded by the field.
template <size_t N>
std::string fieldText(const char (&field)[N]) {
  size_t n = 0;
  while (n < N && field[n] != '\0') ++n;
  return std::string(field, n);
}

bool sameLetter(char a, char b) {
  return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
}

int64_t wholeSeconds(const SyncFileTime& t) { return int64_t(t.value() / 10000000ull); }

// How often a run writes the database back at the most. Once per action, a
// first synchronisation rewrites a file that grows by a record per file, once
// per file. A large file waits longer, so that writing it takes a tenth of the
// run at the most. A run cut short loses that much of its bookkeeping, and
// what it loses only makes the next scan propose Skip (see Run).
constexpr uint32_t kWriteIntervalMs = 1000;
constexpr uint32_t kRunPerWriteTime = 10;

bool endsWithSeparator(const std::string& folder) {
  return !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
}

}  // namespace

CSyncEngine::CSyncEngine(ISyncFileSystem& fs) : fs_(fs), hostWalk_(fs), driveWalk_(fs) {}

CSyncEngine::~CSyncEngine() {
  worker_.join();
  actionView_.clear();
  actions_.clear();
  database_.reset();
}

void CSyncEngine::SetParams(const SyncParams& params) { params_ = params; }

void CSyncEngine::SetObserver(CSyncObserver* observer) { observer_ = observer; }

std::string CSyncEngine::databaseFolder() const { return fieldText(params_.databaseFolder); }

std::string CSyncEngine::databaseName() const { return fieldText(params_.name); }

void CSyncEngine::openDatabase() {
  if (database_) return;
  try {
    database_ = sync::Open(databaseFolder(), databaseName(), true, fs_);
  } catch (...) {
    fail(sync::kDatabaseError, "Database Error");
  }
}

bool CSyncEngine::GetLink(SyncLinkRecord& link) {
  link = SyncLinkRecord();
  if (!database_ && !sync::Exists(databaseFolder(), databaseName(), fs_)) return false;
  openDatabase();
  SyncLinkRecord stored;
  if (!database_->GetLink(stored)) return false;
  // The drive folder starts with the position of its letter among the drive's
  // volumes. A position that is no volume of the drive (only a damaged file
  // has one) leaves the pair without a usable link.
  unsigned position = 0;
  size_t digits = 0;
  while (digits < kSyncPathUnits && stored.driveFolder[digits] >= u'0' &&
         stored.driveFolder[digits] <= u'9' && position < 8) {
    position = position * 10 + unsigned(stored.driveFolder[digits] - u'0');
    ++digits;
  }
  if (digits == 0 || position >= 8 || params_.driveLetters[position] == '\0') return false;
  link = stored;
  link.driveFolder[0] = char16_t(static_cast<unsigned char>(params_.driveLetters[position]));
  return true;
}

void CSyncEngine::SetLink(const std::string& hostFolder, const std::string& driveFolder) {
  if (!fs_.access(hostFolder) || !fs_.access(driveFolder)) {
    fail(sync::kPathMissing, "Path does not exist");
  }
  if (params_.name[0] == '\0') fail(sync::kParamsNotSet, "Sync engine parameters not set");
  int position = -1;
  for (int i = 0; i < 8; ++i) {
    const char letter = params_.driveLetters[i];
    if (letter == '\0') continue;
    if (sameLetter(hostFolder[0], letter)) {
      fail(sync::kHostOnDrive, "Host path cannot exist on Plunda");
    }
    if (position < 0 && sameLetter(driveFolder[0], letter)) position = i;
  }
  if (position < 0) fail(sync::kNotOnDrive, "Path does not exist on Plunda");

  std::string stored = driveFolder;
  stored[0] = char('0' + position);
  SyncLinkRecord link;
  // A folder longer than a Windows path can be is no folder the pair can use.
  if (!PathToField(hostFolder, link.hostFolder, kSyncPathUnits) ||
      !PathToField(stored, link.driveFolder, kSyncPathUnits)) {
    fail(sync::kPathMissing, "Path does not exist");
  }
  if (!database_) {
    try {
      database_ = sync::Open(databaseFolder(), databaseName(), false, fs_);
    } catch (...) {
      fail(sync::kDatabaseError, "Database Error");
    }
  }
  database_->Clear();
  database_->AddLink(link);
  database_->Flush();
}

// The open database goes as well: written back on the engine's destruction, it
// would bring the deleted file back.
void CSyncEngine::DeleteDatabase() {
  Reset();
  database_.reset();
  sync::Delete(databaseFolder(), databaseName(), fs_);
}

void CSyncEngine::Reset() {
  actionView_.clear();
  actions_.clear();
  hostWalk_.Clear();
  driveWalk_.Clear();
  hostFolder_.clear();
  driveFolder_.clear();
}

void CSyncEngine::Prepare(CSyncAction* const*& actions, int& count) {
  Reset();
  openDatabase();
  SyncLinkRecord link;
  if (!GetLink(link)) fail(sync::kNoLink, "No synchronization settings found");
  hostFolder_ = FieldToPath(link.hostFolder, kSyncPathUnits);
  driveFolder_ = FieldToPath(link.driveFolder, kSyncPathUnits);
  followDriveLetter();
  walkBothSides();
  decideBothSides();
  purge();

  actions = actionView_.empty() ? nullptr : actionView_.data();
  count = int(actionView_.size());
}

// The records keep the drive letter they were written with, the link the
// position of the drive folder's volume. When the volume comes back under
// another letter, the records move with it; left behind, every recorded pair
// would look deleted on the drive, and a copy would go to whatever device has
// the old letter now. The rewrite is written with the database's next write.
void CSyncEngine::followDriveLetter() {
  if (driveFolder_.size() < 2) return;
  const char letter = driveFolder_[0];
  std::vector<SyncFileRecord> moved;
  SyncFileRecord record;
  for (int64_t at = database_->FirstEntry(record); at >= 0; at = database_->NextEntry(at, record)) {
    // Most records are on the letter already; those are not converted at all.
    if (record.drivePath[0] == char16_t(static_cast<unsigned char>(letter))) continue;
    std::string drivePath = FieldToPath(record.drivePath, kSyncPathUnits);
    if (drivePath.size() < driveFolder_.size() ||
        drivePath.compare(1, driveFolder_.size() - 1, driveFolder_, 1, std::string::npos) != 0) {
      continue;  // not inside the drive folder
    }
    drivePath[0] = letter;
    if (PathToField(drivePath, record.drivePath, kSyncPathUnits)) moved.push_back(record);
  }
  for (const SyncFileRecord& r : moved) {
    database_->UpdateEntry(FieldToPath(r.hostPath, kSyncPathUnits), r);
  }
}

// Runs drive on a thread of its own while host runs on this one; a failure of
// either comes out here once both are done.
void CSyncEngine::bothSides(const std::function<void()>& host, const std::function<void()>& drive) {
  std::exception_ptr driveFailure;
  const auto guardedDrive = [&] {
    try {
      drive();
    } catch (...) {
      driveFailure = std::current_exception();
    }
  };
  CSyncWorker driveWorker;
  const bool parallel = driveWorker.start(guardedDrive);
  try {
    host();
  } catch (...) {
    driveWorker.join();
    throw;
  }
  if (parallel) {
    driveWorker.join();
  } else {
    guardedDrive();
  }
  if (driveFailure) std::rethrow_exception(driveFailure);
}

// Both folders must be there and listable: a side that lists nothing would have
// every recorded file of the other side proposed for deletion. The two walks
// share nothing and go side by side.
void CSyncEngine::walkBothSides() {
  if (!endsWithSeparator(hostFolder_) || !endsWithSeparator(driveFolder_)) {
    fail(sync::kBadFolder, "");
  }
  const uint32_t flags = params_.flags;
  bool hostListed = false;
  bool driveListed = false;
  bothSides([&] { hostListed = hostWalk_.Walk(hostFolder_, flags); },
            [&] { driveListed = driveWalk_.Walk(driveFolder_, flags); });
  if (!hostListed || !driveListed) fail(sync::kPathMissing, "Path does not exist");
}

// Deciding reads the walks and the database and changes neither, so the two
// sides are decided side by side; the drive's proposals follow the host's, as
// when the one is decided after the other.
void CSyncEngine::decideBothSides() {
  ActionList driveActions;
  const auto decideAll = [this](const CSyncWalk& walk, ActionList& out) {
    std::string path;
    for (size_t i = 0; i < walk.FileCount(); ++i) {
      const SyncFileTime& time = walk.File(i, path);
      decide(path, time, out);
    }
  };
  bothSides([&] { decideAll(hostWalk_, actions_); }, [&] { decideAll(driveWalk_, driveActions); });
  for (auto& action : driveActions) actions_.push_back(std::move(action));
  for (const auto& action : actions_) actionView_.push_back(action.get());
}

std::string CSyncEngine::counterpart(const std::string& path) const {
  if (path.find(hostFolder_) != std::string::npos) {
    return driveFolder_ + path.substr(std::min(hostFolder_.size(), path.size()));
  }
  if (path.find(driveFolder_) != std::string::npos) {
    return hostFolder_ + path.substr(std::min(driveFolder_.size(), path.size()));
  }
  return std::string();
}

int CSyncEngine::compare(const SyncFileTime& a, const SyncFileTime& b) const {
  const int64_t sa = wholeSeconds(a);
  const int64_t sb = wholeSeconds(b);
  if (sa - sb > tolerance_) return 1;
  if (sb - sa > tolerance_) return -1;
  return 0;
}

void CSyncEngine::propose(const std::string& hostPath, const std::string& drivePath,
                          const SyncFileTime& hostTime, const SyncFileTime& driveTime,
                          SyncActionKind kind, ActionList& out) const {
  out.push_back(std::make_unique<CSyncFileAction>(hostPath, drivePath, hostTime, driveTime, kind,
                                                  database_.get()));
}

// Whether path exists, and its last-write time when asked for. What the walk
// of its side listed answers without a question to the file system; anything
// else (another spelling of a name, a place outside the walked folders) goes
// to the file system.
bool CSyncEngine::present(const std::string& path, const CSyncWalk& side,
                          SyncFileTime* time) const {
  if (const SyncFileTime* listed = side.Listed(path)) {
    if (time != nullptr) *time = *listed;
    return true;
  }
  if (!fs_.pathExists(path)) return false;
  if (time != nullptr) fs_.lastWriteTime(path, *time);
  return true;
}

void CSyncEngine::decide(const std::string& path, const SyncFileTime& time, ActionList& out) const {
  const bool hostSide = path.find(hostFolder_) != std::string::npos;
  const CSyncWalk& otherSide = hostSide ? driveWalk_ : hostWalk_;
  const SyncFileTime unknown;

  SyncFileRecord record;
  if (!database_->GetEntry(path, record)) {
    const std::string other = counterpart(path);
    SyncFileTime driveTime;
    if (present(other, otherSide, hostSide ? &driveTime : nullptr)) {
      if (!hostSide) return;  // the host walk has proposed for the pair
      propose(path, other, time, driveTime, Skip, out);
    } else if (hostSide) {
      propose(path, other, time, unknown, CreateOnDrive, out);
    } else {
      propose(other, path, unknown, time, CreateOnHost, out);
    }
    return;
  }

  // The other side's path first: most pairs need no more of the record.
  const std::string otherPath =
      FieldToPath(hostSide ? record.drivePath : record.hostPath, kSyncPathUnits);
  const auto thisPath = [&] {
    return FieldToPath(hostSide ? record.hostPath : record.drivePath, kSyncPathUnits);
  };
  SyncFileTime driveTime;
  if (!present(otherPath, otherSide, hostSide ? &driveTime : nullptr)) {
    // Not seen inside a folder that could not be listed is not gone.
    if (otherSide.BelowUnlisted(otherPath)) return;
    if (hostSide) {
      propose(thisPath(), otherPath, time, unknown, DeleteOnHost, out);
    } else {
      propose(otherPath, thisPath(), unknown, time, DeleteOnDrive, out);
    }
    return;
  }
  if (!hostSide) return;

  const int hostVsDrive = compare(time, driveTime);
  const int hostVsStored = compare(time, record.time);
  if (hostVsDrive == 0 && hostVsStored == 0) return;
  SyncActionKind kind = Skip;
  if (hostVsDrive < 0 && hostVsStored == 0) {
    kind = CopyToHost;
  } else if (hostVsDrive > 0 && compare(driveTime, record.time) == 0) {
    kind = CopyToDrive;
  }
  propose(thisPath(), otherPath, time, driveTime, kind, out);
}

void CSyncEngine::purge() {
  std::vector<std::string> gone;
  SyncFileRecord record;
  for (int64_t at = database_->FirstEntry(record); at >= 0; at = database_->NextEntry(at, record)) {
    const std::string hostPath = FieldToPath(record.hostPath, kSyncPathUnits);
    if (present(hostPath, hostWalk_, nullptr)) continue;
    const std::string drivePath = FieldToPath(record.drivePath, kSyncPathUnits);
    if (present(drivePath, driveWalk_, nullptr)) continue;
    // Unseen inside an unlisted folder, the pair may well be there.
    if (hostWalk_.BelowUnlisted(hostPath) || driveWalk_.BelowUnlisted(drivePath)) continue;
    gone.push_back(hostPath);
  }
  for (const std::string& path : gone) database_->RemoveEntry(path);
}

void CSyncEngine::Start(bool synchronously) {
  if (synchronously) {
    Run();
    return;
  }
  if (!worker_.start([this] { Run(); }) && observer_ != nullptr) {
    observer_->OnError(sync::kRunFailed);
  }
}

// The database is written about once a second and whenever the run ends. The
// file thus lags behind the folders, never the other way round: a pair copied
// or created but not yet recorded comes back as Skip (equal times against a
// stale record, or a pair without a record), a pair deleted but still recorded
// is purged by the next scan. Nothing of what the run did is undone.
void CSyncEngine::Run() {
  int error = -1;
  try {
    uint32_t written = pdkos::tickCount();
    uint32_t interval = kWriteIntervalMs;
    const size_t n = actions_.size();
    for (size_t i = 0; i < n; ++i) {
      CSyncFileAction* action = actions_[i].get();
      if (!action->Execute(fs_) && observer_ != nullptr && !observer_->OnActionFailed(action)) {
        break;
      }
      const int percent = int(double(i + 1) / double(n) * 100.0);
      if (observer_ != nullptr && !observer_->OnProgress(percent)) break;
      if (database_ && database_->changed() && pdkos::tickCount() - written >= interval) {
        const uint32_t began = pdkos::tickCount();
        database_->Flush();
        written = pdkos::tickCount();
        interval = std::max(kWriteIntervalMs, kRunPerWriteTime * (written - began));
      }
    }
  } catch (const sync::CPDKException& e) {
    error = e.code;
  } catch (...) {
    error = sync::kRunFailed;
  }
  // An unchanged image (only skips, failed actions) is not written again.
  try {
    if (database_ && database_->changed()) database_->Flush();
  } catch (const sync::CPDKException& e) {
    if (error < 0) error = e.code;
  }
  if (error >= 0 && observer_ != nullptr) observer_->OnError(error);
}

}  // namespace tovik
