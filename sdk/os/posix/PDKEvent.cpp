#include "PDKEvent.h"

#include <cerrno>
#include <string>

#include "DebugOutput.h"
#include "EventState.h"
#include "NamedObjectTable.h"
#include "OSErrors.h"

using pdkos::posix::CEventState;
using pdkos::posix::CNamedObjectTable;
using pdkos::posix::ObjectKind;

namespace {
int failWithoutEvent() {
  errno = pdkos::kErrorInvalidHandle;
  return -1;
}
}  // namespace

CPDKEvent::CPDKEvent(bool manualReset, bool initiallySignalled, const char* name) {
  const auto make = [manualReset, initiallySignalled] {
    return std::make_shared<CEventState>(manualReset, initiallySignalled);
  };
  if (name != nullptr && *name != '\0') {
    handle_ = CNamedObjectTable::instance().findOrCreate<CEventState>(name, ObjectKind::kEvent,
                                                                      make, nullptr);
  } else {
    handle_ = make();
  }
  if (!handle_) pdkos::debugOutput(kCreateFailedText);
}

CPDKEvent::~CPDKEvent() = default;

int CPDKEvent::wait(uint32_t milliseconds) {
  return handle_ ? handle_->wait(milliseconds) : failWithoutEvent();
}

int CPDKEvent::set() {
  if (!handle_) return failWithoutEvent();
  handle_->set();
  return 0;
}

int CPDKEvent::reset() {
  if (!handle_) return failWithoutEvent();
  handle_->reset();
  return 0;
}
