#include "NamedObjectTable.h"

namespace pdkos::posix {

CNamedObjectTable& CNamedObjectTable::instance() {
  // Never destroyed: objects torn down at exit may still look names up.
  static CNamedObjectTable* const table = new CNamedObjectTable();
  return *table;
}

void CNamedObjectTable::pruneExpired() {
  for (auto it = entries_.begin(); it != entries_.end();) {
    it = it->second.object.expired() ? entries_.erase(it) : std::next(it);
  }
}

}  // namespace pdkos::posix
