// The thread a synchronisation run goes to. The owner joins it before it goes
// away, so a run never outlives the engine it works for.
#pragma once

#include <functional>
#include <memory>

namespace tovik {

class CSyncWorker {
 public:
  CSyncWorker();
  ~CSyncWorker();  // joins
  CSyncWorker(const CSyncWorker&) = delete;
  CSyncWorker& operator=(const CSyncWorker&) = delete;

  // Joins an earlier body, then runs body on a new thread; false when no
  // thread could be started.
  bool start(std::function<void()> body);
  void join();

 private:
  struct Native;
  std::function<void()> body_;
  std::unique_ptr<Native> native_;
};

}  // namespace tovik
