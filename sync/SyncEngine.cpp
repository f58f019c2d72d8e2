#include "SyncEngine.h"

#include <algorithm>
#include <cctype>
#include <cstring>

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

}  // namespace

CSyncEngine::CSyncEngine(ISyncFileSystem& fs) : fs_(fs) {}

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
  files_.clear();
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

  walk(hostFolder_);
  for (const std::string& path : files_) decide(path);
  files_.clear();
  walk(driveFolder_);
  for (const std::string& path : files_) decide(path);
  purge();

  actions = actionView_.empty() ? nullptr : actionView_.data();
  count = int(actionView_.size());
}

void CSyncEngine::walk(const std::string& folder) {
  if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) fail(sync::kBadFolder, "");
  std::vector<SyncFolderEntry> entries;
  if (!fs_.listFolder(folder, entries)) return;
  const uint32_t flags = params_.flags;
  for (const SyncFolderEntry& e : entries) {
    if ((e.attributes & kAttrDirectory) != 0) {
      if (e.name == "." || e.name == "..") continue;
      if ((flags & kSyncNoSubfolders) == 0) walk(folder + e.name + "\\");
      continue;
    }
    const bool hidden = (e.attributes & kAttrHidden) != 0;
    const bool system = (e.attributes & kAttrSystem) != 0;
    if (hidden && system && (flags & kSyncSkipHiddenSystem) != 0) continue;
    if (hidden && !system && (flags & kSyncSkipHidden) != 0) continue;
    files_.push_back(folder + e.name);
  }
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
                          SyncActionKind kind) {
  actions_.push_back(std::make_unique<CSyncFileAction>(hostPath, drivePath, hostTime, driveTime,
                                                       kind, database_.get()));
  actionView_.push_back(actions_.back().get());
}

void CSyncEngine::decide(const std::string& path) {
  const bool hostSide = path.find(hostFolder_) != std::string::npos;
  SyncFileTime time;
  fs_.lastWriteTime(path, time);
  const SyncFileTime unknown;

  SyncFileRecord record;
  if (!database_->GetEntry(path, record)) {
    const std::string other = counterpart(path);
    if (fs_.pathExists(other)) {
      if (!hostSide) return;  // the host walk has proposed for the pair
      SyncFileTime driveTime;
      fs_.lastWriteTime(other, driveTime);
      propose(path, other, time, driveTime, Skip);
    } else if (hostSide) {
      propose(path, other, time, unknown, CreateOnDrive);
    } else {
      propose(other, path, unknown, time, CreateOnHost);
    }
    return;
  }

  const std::string hostPath = FieldToPath(record.hostPath, kSyncPathUnits);
  const std::string drivePath = FieldToPath(record.drivePath, kSyncPathUnits);
  if (!fs_.pathExists(hostSide ? drivePath : hostPath)) {
    if (hostSide) {
      propose(hostPath, drivePath, time, unknown, DeleteOnHost);
    } else {
      propose(hostPath, drivePath, unknown, time, DeleteOnDrive);
    }
    return;
  }
  if (!hostSide) return;

  SyncFileTime driveTime;
  fs_.lastWriteTime(drivePath, driveTime);
  const int hostVsDrive = compare(time, driveTime);
  const int hostVsStored = compare(time, record.time);
  if (hostVsDrive == 0 && hostVsStored == 0) return;
  SyncActionKind kind = Skip;
  if (hostVsDrive < 0 && hostVsStored == 0) {
    kind = CopyToHost;
  } else if (hostVsDrive > 0 && compare(driveTime, record.time) == 0) {
    kind = CopyToDrive;
  }
  propose(hostPath, drivePath, time, driveTime, kind);
}

void CSyncEngine::purge() {
  std::vector<std::string> gone;
  SyncFileRecord record;
  for (int64_t at = database_->FirstEntry(record); at >= 0; at = database_->NextEntry(at, record)) {
    const std::string hostPath = FieldToPath(record.hostPath, kSyncPathUnits);
    if (!fs_.pathExists(hostPath) &&
        !fs_.pathExists(FieldToPath(record.drivePath, kSyncPathUnits))) {
      gone.push_back(hostPath);
    }
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

void CSyncEngine::Run() {
  try {
    const size_t n = actions_.size();
    for (size_t i = 0; i < n; ++i) {
      CSyncFileAction* action = actions_[i].get();
      if (!action->Execute(fs_) && observer_ != nullptr && !observer_->OnActionFailed(action)) {
        return;
      }
      const int percent = int(double(i + 1) / double(n) * 100.0);
      if (observer_ != nullptr && !observer_->OnProgress(percent)) return;
      // An unchanged image (a skipped pair, a failed action) would only be
      // written again byte for byte; a long run of skips would rewrite a large
      // file once per pair.
      if (database_ && database_->changed()) database_->Flush();
    }
  } catch (const sync::CPDKException& e) {
    if (observer_ != nullptr) observer_->OnError(e.code);
  } catch (...) {
    if (observer_ != nullptr) observer_->OnError(sync::kRunFailed);
  }
}

}  // namespace tovik
