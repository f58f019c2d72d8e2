#include "PDKMutex.h"

#include <cerrno>
#include <string>

#include "NamedMutexState.h"
#include "NamedObjectTable.h"
#include "OSErrors.h"

using pdkos::posix::CNamedMutexState;
using pdkos::posix::CNamedObjectTable;
using pdkos::posix::ObjectKind;

CPDKMutex::CPDKMutex(bool createNow) {
  if (createNow) create(nullptr, false);
}

CPDKMutex::~CPDKMutex() {
  if (!created_ || closed_) return;
  handle_.reset();
  closed_ = true;
}

int CPDKMutex::create(const char* name, bool initialOwner) {
  if (created_) return 0;
  const std::string key = name != nullptr ? name : kDefaultName;
  bool isNew = true;
  std::shared_ptr<CNamedMutexState> state;
  if (key.empty()) {
    state = CNamedMutexState::open(key);  // an empty name is no name: a mutex of its own
  } else {
    state = CNamedObjectTable::instance().findOrCreate<CNamedMutexState>(
        key, ObjectKind::kMutex, [&key] { return CNamedMutexState::open(key); }, &isNew);
  }
  if (!state) return -1;
  // Initial ownership goes only to the creator. Another process using the
  // name can be seen only through its flock, so a mutex that another process
  // merely has open without owning it still counts as new here.
  if (initialOwner && isNew) state->tryLock();
  handle_ = std::move(state);
  created_ = true;
  return 0;
}

int CPDKMutex::lock() {
  if (!handle_) {
    errno = pdkos::kErrorInvalidHandle;
    return -1;
  }
  return handle_->lock();
}

int CPDKMutex::unlock() {
  if (!handle_) {
    errno = pdkos::kErrorInvalidHandle;
    return -1;
  }
  return handle_->unlock();
}
