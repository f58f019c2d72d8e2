// Compares a host folder tree with a folder tree on the drive, proposes one
// action per file that needs attention and carries the actions out.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "SyncDB.h"
#include "SyncFileAction.h"
#include "SyncFileSystem.h"
#include "SyncObserver.h"
#include "SyncParams.h"
#include "SyncWalk.h"
#include "SyncWorker.h"

namespace tovik {

class CSyncEngine {
 public:
  explicit CSyncEngine(ISyncFileSystem& fs = platformSyncFileSystem());
  // Waits for a run on the worker thread, then writes the database back.
  ~CSyncEngine();
  CSyncEngine(const CSyncEngine&) = delete;
  CSyncEngine& operator=(const CSyncEngine&) = delete;

  void SetParams(const SyncParams& params);
  void SetObserver(CSyncObserver* observer);

  // The link with the drive folder's real drive letter; false (and a zeroed
  // link) without a database or a usable link.
  bool GetLink(SyncLinkRecord& link);
  // Starts the database afresh with a link between the two folders.
  void SetLink(const std::string& hostFolder, const std::string& driveFolder);
  void DeleteDatabase();
  void Reset();
  // The scan; actions and count describe the engine's action list, which it
  // keeps until the next Reset, Prepare or its destruction.
  void Prepare(CSyncAction* const*& actions, int& count);
  // Runs on the calling thread (true) or on a worker thread (false).
  void Start(bool synchronously);

 private:
  void openDatabase();
  std::string databaseFolder() const;
  std::string databaseName() const;
  using ActionList = std::vector<std::unique_ptr<CSyncFileAction>>;

  void followDriveLetter();
  void bothSides(const std::function<void()>& host, const std::function<void()>& drive);
  void walkBothSides();
  void decideBothSides();
  bool present(const std::string& path, const CSyncWalk& side, SyncFileTime* time) const;
  void decide(const std::string& path, const SyncFileTime& time, ActionList& out) const;
  std::string counterpart(const std::string& path) const;
  int compare(const SyncFileTime& a, const SyncFileTime& b) const;
  void propose(const std::string& hostPath, const std::string& drivePath,
               const SyncFileTime& hostTime, const SyncFileTime& driveTime, SyncActionKind kind,
               ActionList& out) const;
  void purge();
  void Run();

  std::unique_ptr<CSyncDB> database_;
  SyncParams params_{};
  ISyncFileSystem& fs_;
  // The found files of each side, with what their listings said.
  CSyncWalk hostWalk_;
  CSyncWalk driveWalk_;
  ActionList actions_;
  std::vector<CSyncAction*> actionView_;  // what Prepare hands out
  std::string hostFolder_;
  std::string driveFolder_;
  int tolerance_ = 2;  // seconds
  CSyncObserver* observer_ = nullptr;
  CSyncWorker worker_;
};

}  // namespace tovik
