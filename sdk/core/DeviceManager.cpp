#include "DeviceManager.h"

#include <cstring>

#include "ConnectionSingleton.h"
#include "PDKErrors.h"
#include "PDKImpl.h"
#include "PDKTrace.h"

namespace {

bool isFree(const CPDKImpl& slot) {
  return slot.status() == pdk::kNotConnected || slot.status() == pdk::kNotAuthenticated;
}

template <size_t N>
bool sameText(const char (&a)[N], const char (&b)[N]) {
  return std::strncmp(a, b, N) == 0;
}

}  // namespace

CDeviceManager::CDeviceManager() = default;
CDeviceManager::~CDeviceManager() = default;

int CDeviceManager::addDevice(DeviceParams& p) {
  if (p.serial[0] != '\0') {
    for (int id = 0; id < kSlotCount; ++id) {
      CPDKImpl* s = m_slots[id].get();
      if (s == nullptr || s->status() == pdk::kNotConnected || !sameText(s->params().serial, p.serial))
        continue;
      const uint32_t held = s->params().driveMask;
      if (held == p.driveMask) return -1;
      // A letter in common means the drive was mounted afresh: its new letters
      // replace the old ones. Otherwise the drive shows another volume.
      const uint32_t mask = (held & p.driveMask) != 0 ? p.driveMask : (held | p.driveMask);
      DeviceParams merged = s->params();
      merged.driveMask = mask;
      s->setParams(merged);
      p.status = pdk::kParamsChanged;
      p.driveMask = mask;
      return id;
    }
  }
  for (int id = 0; id < kSlotCount; ++id) {
    if (m_slots[id] == nullptr)
      m_slots[id] = std::make_unique<CPDKImpl>(&CConnectionSingleton::instance());
    if (!isFree(*m_slots[id])) continue;
    p.id = id;
    m_slots[id]->setParams(p, id);
    return id;
  }
  PDKTrace("CDeviceManager::addDevice: all %d slots in use, drive %s not added\n", kSlotCount,
           p.serial);
  return -1;
}

CPDKImpl* CDeviceManager::removeDevice(const DeviceParams& p) {
  for (auto& s : m_slots) {
    if (s == nullptr || s->status() != pdk::kOk || (s->params().driveMask & p.driveMask) == 0)
      continue;
    s->setStatus(pdk::kNotConnected);
    return s.get();
  }
  return nullptr;
}

CPDKImpl* CDeviceManager::slot(int id) const {
  if (id < 0 || id >= kSlotCount) return nullptr;
  return m_slots[id].get();
}

CPDKImpl* CDeviceManager::findByLetter(char letter) const {
  const uint32_t bit = pdk::letterBit(letter);
  if (bit == 0) return nullptr;
  for (const auto& s : m_slots) {
    // A free slot (8 or 9) keeps the letters of the drive that left it; a new
    // drive on the same letter must be found instead.
    if (s == nullptr || s->status() == pdk::kNotConnected || s->status() == pdk::kNotAuthenticated)
      continue;
    if ((s->params().driveMask & bit) != 0) return s.get();
  }
  return nullptr;
}

CPDKImpl* CDeviceManager::findUnrecognised(const DeviceParams& p) const {
  for (const auto& s : m_slots) {
    if (s == nullptr || s->status() != pdk::kNotAuthenticated) continue;
    const DeviceParams& held = s->params();
    if (sameText(held.vendor, p.vendor) && sameText(held.product, p.product) &&
        sameText(held.serial, p.serial))
      return s.get();
  }
  return nullptr;
}
