#include "PDKThread.h"

#include "PDKClock.h"

namespace {
// The worker whose body runs on the current thread, so stop() can tell it is
// being called from inside its own body.
thread_local const CPDKThread* tCurrentBody = nullptr;
}  // namespace

namespace pdkos::detail {

void threadMain(CPDKThread& thread) {
  tCurrentBody = &thread;
  thread.started_.set();
  thread.begun_.set();
  thread.run();
  // Reset before finishing: a start() that follows a completed stop() must not
  // find the started event still signalled and take the thread for running.
  thread.started_.reset();
  tCurrentBody = nullptr;
  thread.finished_.store(true);  // from here on the object may be destroyed
}

}  // namespace pdkos::detail

CPDKThread::CPDKThread(uint32_t periodMs) : period_(periodMs) {}

CPDKThread::~CPDKThread() { closeNative(); }

void CPDKThread::start() {
  if (started_.wait(0) == 0) return;  // the body is running
  // The body may have left its loop without its thread having returned yet.
  waitForPrevious();
  // The run flag is raised here rather than by the body: a stop() that comes
  // straight after start() would otherwise find it clear, return at once and
  // leave a body behind that raises the flag afterwards and never ends.
  run_.store(true);
  finished_.store(false);
  if (!launch()) {
    run_.store(false);
    finished_.store(true);
    return;
  }
  begun_.wait(CPDKEvent::kInfinite);
}

void CPDKThread::stop() {
  run_.store(false);
  if (tCurrentBody == this) return;  // waiting here would wait for ourselves
  // Also waits for a body that cleared the flag itself but has not yet ended:
  // the caller may be about to destroy what that body still uses.
  while (!finished_.load()) pdkos::sleep(period_);
}

bool CPDKThread::isRunning() const { return run_.load(); }

bool CPDKThread::runFlag() const { return run_.load(); }

void CPDKThread::setRunFlag(bool on) { run_.store(on); }

uint32_t CPDKThread::period() const { return period_; }
