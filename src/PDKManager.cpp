#include "PDKManager.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

#include "GUI/Trace.h"

namespace {

CPDKManager* g_manager = nullptr;
unsigned g_references = 0;

// The models the SDK asks about, in the order they are checked.
const struct {
  const char* model;
  bool accepted;
} kKnownModels[] = {
    {"Kelmar USB Drive", true},
    {"Vantrel. Storage Media", false},
    {"Vantrel Plunda", false},
};

long MajorRevision(const char* revision) {
  if (std::strlen(revision) < 3) return 0;
  return std::strtol(revision, nullptr, 10);
}

}  // namespace

CPDKManager* CPDKManager::Acquire() {
  if (g_manager == nullptr) g_manager = new CPDKManager();
  ++g_references;
  return g_manager;
}

unsigned CPDKManager::Release() {
  if (g_references == 0) return 0;
  if (--g_references == 0) {
    delete g_manager;
    g_manager = nullptr;
  }
  return g_references;
}

CPDKManager::~CPDKManager() {
  m_target = nullptr;
  stopListen();
}

bool CPDKManager::startListen(HWND window) {
  try {
    m_target = window;
    if (CDeviceListener::startListen()) return true;
  } catch (...) {
  }
  m_target = nullptr;
  TraceError(__FILE__, __LINE__, "Init fail");
  return false;
}

bool CPDKManager::stopListen() {
  // First, so nothing is posted to a window on its way out.
  m_target = nullptr;
  for (CPDKProxy& slot : m_slots) slot.Detach();
  try {
    CDeviceListener::stopListen();
  } catch (const pdk::CPDKException&) {
  }
  return true;
}

CPDKProxy& CPDKManager::GetProxy(int id) { return InSlotRange(id) ? m_slots[id] : m_empty; }

int CPDKManager::DriveCount() const {
  int count = 0;
  for (const CPDKProxy& slot : m_slots) count += slot.IsValid() ? 1 : 0;
  return count;
}

std::string CPDKManager::SdkVersion() { return PDKSDK_getVersion(); }

void CPDKManager::Post(UINT message, char letter, int id) const {
  const HWND target = m_target;
  if (target != nullptr)
    PostMessageA(target, message, static_cast<WPARAM>(static_cast<unsigned char>(letter)),
                 static_cast<LPARAM>(id));
}

char CPDKManager::LetterOf(const DeviceParams& device) {
  CPDKProxy& proxy = GetProxy(device.id);
  for (int bit = 0; bit < 26; ++bit) {
    const char letter = static_cast<char>('A' + bit);
    if (((device.driveMask >> bit) & 1u) != 0 && proxy.ShowsPublicPartition(letter)) return letter;
  }
  return pdk::lowestLetter(device.driveMask);
}

template <typename Handler>
void CPDKManager::Guarded(const DeviceParams& device, const char* failure, Handler handler) {
  // The letter as far as the handler got with it, for the error message.
  char letter = 0;
  try {
    handler(letter);
  } catch (...) {
    Post(WM_PLUNDA_ERROR, letter, device.id);
    TraceError(__FILE__, __LINE__, failure);
  }
}

void CPDKManager::deviceConnected(const DeviceParams& device) {
  Guarded(device, "deviceConnected fail", [&](char& letter) {
    letter = LetterOf(device);
    if (!std::isalpha(static_cast<unsigned char>(letter))) return;
    letter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    if (MajorRevision(device.revision) <= 1) {
      Post(WM_PLUNDA_UNSUPPORTED, letter, device.id);
      return;
    }
    // A drive beyond the slots cannot be held: it is not taken in.
    if (!InSlotRange(device.id)) {
      TraceError(__FILE__, __LINE__, "error addeding device");
      Post(WM_PLUNDA_ERROR, letter, device.id);
      return;
    }
    CPDKProxy& slot = m_slots[device.id];
    if (!slot.IsValid()) {
      CPDKProxy fresh;
      if (!fresh.Attach(&device)) {
        TraceError(__FILE__, __LINE__, "error addeding device");
        Post(WM_PLUNDA_ERROR, letter, device.id);
        return;
      }
      slot.CopyFrom(fresh);
    }
    Post(WM_PLUNDA_INSERT, letter, device.id);
  });
}

void CPDKManager::deviceDisconnected(const DeviceParams& device) {
  Guarded(device, "deviceDisconnected fail", [&](char& letter) {
    letter = LetterOf(device);
    // Before the slot empties: the handler has only wParam and lParam to go on.
    Post(WM_PLUNDA_REMOVE, letter, device.id);
    if (InSlotRange(device.id)) m_slots[device.id].Detach();
  });
}

void CPDKManager::deviceUpdated(const DeviceParams& device) {
  Guarded(device, "deviceUpdated fail", [&](char& letter) {
    letter = LetterOf(device);
    Post(WM_PLUNDA_CHANGE, letter, device.id);
  });
}

bool CPDKManager::deviceNotRecognized(const DeviceParams& device) {
  try {
    for (const auto& row : kKnownModels) {
      if (std::strstr(row.model, device.vendor) == nullptr ||
          std::strstr(row.model, device.product) == nullptr)
        continue;
      if (!row.accepted) Post(WM_PLUNDA_UNSUPPORTED, 0, -1);
      return row.accepted;
    }
  } catch (...) {
    TraceError(__FILE__, __LINE__, "deviceNotRecognized fail");
  }
  return false;
}
