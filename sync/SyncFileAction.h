// An action on one file pair: what the scan proposed, what the user chose, and
// how carrying it out changes the two folders and the database.
#pragma once

#include <string>

#include "SyncAction.h"
#include "SyncDB.h"
#include "SyncFileSystem.h"
#include "SyncRecords.h"

namespace tovik {

class CSyncFileAction : public CSyncAction {
 public:
  CSyncFileAction(const std::string& hostPath, const std::string& drivePath,
                  const SyncFileTime& hostTime, const SyncFileTime& driveTime, SyncActionKind kind,
                  CSyncDB* database);

  std::string GetHostPath() const override { return hostPath_; }
  std::string GetDrivePath() const override { return drivePath_; }
  std::string GetHostTimeText() const override;
  std::string GetDriveTimeText() const override;
  SyncActionKind GetKind() const override { return kind_; }
  bool SetKind(SyncActionKind kind) override;
  void GetAlternatives(const SyncActionKind*& list, int& count) override;

  // Carries the action out and, when that succeeded, brings the database up to
  // date; the result is the action's success alone.
  bool Execute(ISyncFileSystem& fs);

  const SyncFileTime& hostTime() const { return hostTime_; }
  const SyncFileTime& driveTime() const { return driveTime_; }

 private:
  int computeAlternatives();
  void recordPair(const std::string& key, const SyncFileTime& time);

  std::string hostPath_;
  std::string drivePath_;
  SyncFileTime hostTime_;
  SyncFileTime driveTime_;
  SyncActionKind kind_;
  int proposed_ = -1;  // fixed to the kind current when alternatives are first asked for
  CSyncDB* database_;
  SyncActionKind alternatives_[3] = {Skip, Skip, Skip};
};

}  // namespace tovik
