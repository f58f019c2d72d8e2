#include "HotplugWindowCloser.h"

#include <atomic>

namespace pdkos {

namespace {
std::atomic<bool> g_built{false};
}  // namespace

CHotplugWindowCloser& CHotplugWindowCloser::instance() {
  static CHotplugWindowCloser closer;
  g_built.store(true);
  return closer;
}

bool CHotplugWindowCloser::built() { return g_built.load(); }

}  // namespace pdkos
