#include "DiskUtils.h"

#include <cctype>
#include <utility>
#include <vector>

#include "DevicePort.h"
#include "OSKind.h"
#include "PDKCriticalSection.h"
#include "PDKLockGuard.h"
#include "PDKTrace.h"

namespace {

constexpr size_t kDirectoryLength = 256;

// Handles a destructor leaves open live here until the process ends: their
// objects are never destroyed, because destroying one would close it.
void keepOpenForProcessLifetime(std::unique_ptr<CDeviceHandle> handle) {
  static CPDKCriticalSection lock;
  static auto* kept = new std::vector<std::unique_ptr<CDeviceHandle>>();
  CPDKLockGuard guard(&lock);
  kept->push_back(std::move(handle));
}

}  // namespace

CDiskUtils::CDiskUtils(IConnection& connection, bool releaseOnDestroy,
                       pdkos::ICurrentDirectory& directory)
    : m_connection(connection), m_directory(directory), m_releaseOnDestroy(releaseOnDestroy) {}

// Saved directories are dropped without moving back: the process may already
// be elsewhere by now.
CDiskUtils::~CDiskUtils() {
  for (Slot& slot : m_slots) {
    if (!slot.handle) continue;
    if (m_releaseOnDestroy) {
      unlockHandle(slot.handle.get());
      slot.handle.reset();
    } else {
      keepOpenForProcessLifetime(std::move(slot.handle));
    }
  }
}

int CDiskUtils::slotIndex(char letter) { return letter >= 'A' && letter < 'Z' ? letter - 'A' : -1; }

bool CDiskUtils::ntFamily() {
  const int kind = GetOSKind();
  return kind >= pdk::kOSWinNT4 && kind <= pdk::kOSWinXP;
}

bool CDiskUtils::sendVolumeCode(CDeviceHandle& handle, uint32_t code) {
  uint32_t returned = 0;
  return pdk::devicePort().control(handle.handle(), code, nullptr, 0, nullptr, 0, &returned);
}

bool CDiskUtils::valid(const Slot& slot) {
  return slot.handle && (slot.handle->isOpen() || !slot.hadOsHandle);
}

void CDiskUtils::restoreDirectory(Slot& slot) {
  if (!slot.savedDirectory) return;
  m_directory.set(slot.savedDirectory->c_str());
  slot.savedDirectory.reset();
}

// Gives up the letter's handle (closing it) and returns to the directory the
// lock moved the process away from.
void CDiskUtils::leaveVolume(Slot& slot) {
  slot.handle.reset();
  slot.hadOsHandle = false;
  restoreDirectory(slot);
}

CDeviceHandle* CDiskUtils::openAndLockVolume(char letter, const DeviceParams& params) {
  const int index = slotIndex(letter);
  if (index < 0) return nullptr;
  Slot& slot = m_slots[size_t(index)];

  if (!valid(slot)) {
    leaveVolume(slot);
    // Windows refuses to lock a volume the process's own current directory
    // lies on, so the process steps onto the Windows directory meanwhile.
    char current[kDirectoryLength] = {};
    char windows[kDirectoryLength] = {};
    if (m_directory.get(current, sizeof current) &&
        m_directory.windowsDirectory(windows, sizeof windows) &&
        std::toupper(static_cast<unsigned char>(current[0])) == letter &&
        m_directory.set(windows)) {
      slot.savedDirectory = std::string(current);
    }

    slot.handle = std::make_unique<CDeviceHandle>(letter);
    if (slot.handle->open(m_connection) != pdk::kOk) {
      leaveVolume(slot);
      return nullptr;
    }
    slot.hadOsHandle = slot.handle->isOpen();

    if (ntFamily() && !sendVolumeCode(*slot.handle, kFsctlLockVolume)) {
      leaveVolume(slot);
      PDKTrace("ERROR CDiskUtils:unable to lock volume %c\n", letter);
      return nullptr;
    }
  }

  // The handle carries the drive's record, but keeps the path it was opened on.
  DeviceParams attached = params;
  pdk::setText(attached.path, slot.handle->params().path);
  slot.handle->params() = attached;
  return slot.handle.get();
}

CDeviceHandle* CDiskUtils::openAndLockAll(const DeviceParams& params) {
  CDeviceHandle* last = nullptr;
  for (int bit = 0; bit < 32; ++bit) {
    if (params.driveMask & (1u << bit)) last = openAndLockVolume(char('A' + bit), params);
  }
  return last;
}

bool CDiskUtils::dismountVolume(char letter) {
  const int index = slotIndex(letter);
  if (index < 0) return false;
  Slot& slot = m_slots[size_t(index)];

  const bool openedHere = !valid(slot);
  if (openedHere && !openAndLockVolume(letter, DeviceParams::forLetter(letter))) return false;
  const bool ok = !ntFamily() || sendVolumeCode(*slot.handle, kFsctlDismountVolume);
  if (openedHere) unlockVolume(letter);
  return ok;
}

bool CDiskUtils::dismountAll(const DeviceParams& params) {
  for (int bit = 0; bit < 32; ++bit) {
    if ((params.driveMask & (1u << bit)) && !dismountVolume(char('A' + bit))) return false;
  }
  return true;
}

bool CDiskUtils::unlockVolume(char letter) {
  const int index = slotIndex(letter);
  if (index < 0) return false;
  Slot& slot = m_slots[size_t(index)];
  if (!slot.handle) return false;

  const bool ok = valid(slot) && (!ntFamily() || sendVolumeCode(*slot.handle, kFsctlUnlockVolume));
  leaveVolume(slot);
  return ok;
}

bool CDiskUtils::unlockAll(const DeviceParams& params) {
  bool all = true;
  for (int bit = 0; bit < 32; ++bit) {
    if ((params.driveMask & (1u << bit)) && !unlockVolume(char('A' + bit))) all = false;
  }
  return all;
}

bool CDiskUtils::unlockHandle(CDeviceHandle* handle) {
  if (handle == nullptr || !handle->isOpen() || !ntFamily()) return true;
  return sendVolumeCode(*handle, kFsctlUnlockVolume);
}
