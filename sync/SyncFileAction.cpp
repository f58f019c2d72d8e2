#include "SyncFileAction.h"

#include "SyncText.h"

namespace tovik {

namespace {

// The folder part of a path: up to its last "\" or, without one, its last "/".
std::string folderOf(const std::string& path) {
  size_t at = path.find_last_of('\\');
  if (at == std::string::npos) at = path.find_last_of('/');
  return at == std::string::npos ? std::string() : path.substr(0, at);
}

// Creates folder with every missing parent, outermost first; a folder created
// here takes the attributes of source.
bool ensureFolder(ISyncFileSystem& fs, const std::string& folder, const std::string& source) {
  if (folder.empty() || fs.pathExists(folder)) return true;
  std::vector<std::string> missing;
  for (std::string at = folder; !at.empty() && !fs.pathExists(at); at = folderOf(at)) {
    missing.push_back(at);
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    if (!fs.makeFolder(*it)) return false;
  }
  const uint32_t attributes = fs.attributes(source);
  if (attributes != kAttrInvalid) fs.setAttributes(folder, attributes & ~kAttrDirectory);
  return true;
}

// Folders inside it do not count.
bool holdsFiles(ISyncFileSystem& fs, const std::string& folder) {
  std::vector<SyncFolderEntry> entries;
  if (!fs.listFolder(folder + "\\", entries)) return true;  // unknown: keep the folder
  for (const SyncFolderEntry& e : entries) {
    if ((e.attributes & kAttrDirectory) == 0) return true;
  }
  return false;
}

// Deletes victim; its folder goes too when the other side's folder is gone and
// nothing but folders is left in it.
bool deleteSide(ISyncFileSystem& fs, const std::string& victim, const std::string& other) {
  fs.setAttributes(victim, kAttrNormal);
  bool ok = fs.removeFile(victim);
  const std::string folder = folderOf(victim);
  if (!folder.empty() && !fs.pathExists(folderOf(other)) && !holdsFiles(fs, folder)) {
    ok = fs.removeFolder(folder) && ok;
  }
  return ok;
}

}  // namespace

CSyncFileAction::CSyncFileAction(const std::string& hostPath, const std::string& drivePath,
                                 const SyncFileTime& hostTime, const SyncFileTime& driveTime,
                                 SyncActionKind kind, CSyncDB* database)
    : hostPath_(hostPath),
      drivePath_(drivePath),
      hostTime_(hostTime),
      driveTime_(driveTime),
      kind_(kind),
      database_(database) {}

std::string CSyncFileAction::GetHostTimeText() const { return LocalTimeText(hostTime_); }

std::string CSyncFileAction::GetDriveTimeText() const { return LocalTimeText(driveTime_); }

int CSyncFileAction::computeAlternatives() {
  if (proposed_ < 0) proposed_ = kind_;
  switch (proposed_) {
    case CopyToHost:
      alternatives_[0] = CopyToHost, alternatives_[1] = CopyToDrive;
      break;
    case CreateOnDrive:
      alternatives_[0] = CreateOnDrive, alternatives_[1] = DeleteOnHost;
      break;
    case CreateOnHost:
      alternatives_[0] = CreateOnHost, alternatives_[1] = DeleteOnDrive;
      break;
    case DeleteOnDrive:
      alternatives_[0] = DeleteOnDrive, alternatives_[1] = CreateOnHost;
      break;
    case DeleteOnHost:
      alternatives_[0] = DeleteOnHost, alternatives_[1] = CreateOnDrive;
      break;
    default:  // CopyToDrive and Skip
      alternatives_[0] = CopyToDrive, alternatives_[1] = CopyToHost;
      break;
  }
  alternatives_[2] = Skip;
  int count = 3;
  for (int i = 0; i < count; ++i) {
    if (alternatives_[i] == kind_) {
      alternatives_[i] = alternatives_[count - 1];
      --count;
      break;
    }
  }
  return count;
}

void CSyncFileAction::GetAlternatives(const SyncActionKind*& list, int& count) {
  count = computeAlternatives();
  list = alternatives_;
}

bool CSyncFileAction::SetKind(SyncActionKind kind) {
  const int count = computeAlternatives();
  for (int i = 0; i < count; ++i) {
    if (alternatives_[i] == kind) {
      kind_ = kind;
      return true;
    }
  }
  return false;
}

// The pair's record after a copy: the record found by key is overwritten, or
// one is added when the pair had none (a pair the scan left at Skip, or a
// creation chosen over a deletion). Without that, a copy the user chose would
// never be recorded and the pair would come back as Skip at every scan.
void CSyncFileAction::recordPair(const std::string& key, const SyncFileTime& time) {
  if (database_ == nullptr) return;
  SyncFileRecord record;
  if (!PathToField(hostPath_, record.hostPath, kSyncPathUnits) ||
      !PathToField(drivePath_, record.drivePath, kSyncPathUnits)) {
    return;  // a path too long for the record: the pair stays unrecorded
  }
  record.time = time;
  if (!database_->UpdateEntry(key, record)) database_->AddEntry(record);
}

bool CSyncFileAction::Execute(ISyncFileSystem& fs) {
  bool ok = false;
  switch (kind_) {
    case CopyToDrive:
      fs.setAttributes(drivePath_, kAttrNormal);
      ok = fs.copyFile(hostPath_, drivePath_, false);
      if (ok) recordPair(hostPath_, hostTime_);
      break;
    case CopyToHost:
      fs.setAttributes(hostPath_, kAttrNormal);
      ok = fs.copyFile(drivePath_, hostPath_, false);
      if (ok) recordPair(drivePath_, driveTime_);
      break;
    // A create never overwrites: a file that appeared after the scan (another
    // program wrote it) fails the action, and the user decides.
    case CreateOnDrive:
      ok = ensureFolder(fs, folderOf(drivePath_), folderOf(hostPath_)) &&
           fs.copyFile(hostPath_, drivePath_, true);
      if (ok) recordPair(hostPath_, hostTime_);
      break;
    case CreateOnHost:
      ok = ensureFolder(fs, folderOf(hostPath_), folderOf(drivePath_)) &&
           fs.copyFile(drivePath_, hostPath_, true);
      if (ok) recordPair(drivePath_, driveTime_);
      break;
    case DeleteOnDrive:
      ok = deleteSide(fs, drivePath_, hostPath_);
      if (ok && database_ != nullptr) database_->RemoveEntry(drivePath_);
      break;
    case DeleteOnHost:
      ok = deleteSide(fs, hostPath_, drivePath_);
      if (ok && database_ != nullptr) database_->RemoveEntry(hostPath_);
      break;
    case Skip:
      ok = true;
      break;
  }
  return ok;
}

}  // namespace tovik
