#include "HotplugWindowCloser.h"

namespace pdkos {

CHotplugWindowCloser::CHotplugWindowCloser() : m_caption(kEnglishCaption) {}

// No system warning windows exist here, so there is never anything to close.
bool CHotplugWindowCloser::close() { return false; }

}  // namespace pdkos
