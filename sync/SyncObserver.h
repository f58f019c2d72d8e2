// What a synchronisation run tells its window; called on the run's thread.
#pragma once

namespace tovik {

class CSyncAction;

class CSyncObserver {
 public:
  // True to go on with the next action.
  virtual bool OnActionFailed(CSyncAction* action) = 0;
  // The run ended by an error: a sync::CPDKException code, or 9 for anything else.
  virtual void OnError(int code) = 0;
  // True to go on.
  virtual bool OnProgress(int percent) = 0;
  virtual ~CSyncObserver() = default;
};

}  // namespace tovik
