// One proposed synchronisation step, as the sync window sees it.
#pragma once

#include <cstdint>
#include <string>

namespace tovik {

enum SyncActionKind : int32_t {
  CopyToDrive = 0,    // "Replace"
  CopyToHost = 1,     // "Replace"
  CreateOnDrive = 2,  // "Create"
  CreateOnHost = 3,   // "Create"
  DeleteOnDrive = 4,  // "Delete"
  DeleteOnHost = 5,   // "Delete"
  Skip = 6,           // "Skip"
};

class CSyncAction {
 public:
  virtual std::string GetHostPath() const = 0;
  virtual std::string GetDrivePath() const = 0;
  virtual std::string GetHostTimeText() const = 0;
  virtual std::string GetDriveTimeText() const = 0;
  virtual SyncActionKind GetKind() const = 0;
  // Accepted only for one of the alternatives.
  virtual bool SetKind(SyncActionKind kind) = 0;
  // The kinds the user may switch to; list stays valid while the action lives.
  virtual void GetAlternatives(const SyncActionKind*& list, int& count) = 0;
  virtual ~CSyncAction() = default;
};

}  // namespace tovik
