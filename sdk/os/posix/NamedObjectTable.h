#pragma once

#include <cerrno>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "OSErrors.h"

namespace pdkos::posix {

enum class ObjectKind { kMutex, kEvent };

// The process's named mutexes and events. As with Windows kernel objects the
// kinds share one name space, and a name lives while some object holds it.
class CNamedObjectTable {
 public:
  static CNamedObjectTable& instance();

  // Returns the live object of that name, or a new one from make() (which
  // returns null with errno set when it fails). *created tells which. Null
  // with errno = kErrorInvalidHandle when the name belongs to another kind.
  template <class T, class Make>
  std::shared_ptr<T> findOrCreate(const std::string& name, ObjectKind kind, Make make,
                                  bool* created) {
    if (created != nullptr) *created = false;
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = entries_.find(name);
    if (found != entries_.end()) {
      if (std::shared_ptr<void> live = found->second.object.lock()) {
        if (found->second.kind != kind) {
          errno = kErrorInvalidHandle;
          return nullptr;
        }
        return std::static_pointer_cast<T>(live);
      }
    }
    std::shared_ptr<T> object = make();
    if (!object) return nullptr;
    pruneExpired();
    entries_[name] = Entry{kind, object};
    if (created != nullptr) *created = true;
    return object;
  }

 private:
  struct Entry {
    ObjectKind kind;
    std::weak_ptr<void> object;
  };

  CNamedObjectTable() = default;
  void pruneExpired();

  std::mutex mutex_;
  std::map<std::string, Entry> entries_;
};

}  // namespace pdkos::posix
