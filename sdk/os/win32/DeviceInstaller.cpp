#include "DeviceInstaller.h"

#include <windows.h>

#include "DynamicLibrary.h"

namespace pdkos {

namespace {

// The few declarations of the device-installation API the SDK needs; the
// library is looked up at run time, so no import library is linked.
constexpr DWORD kDigcfPresent = 0x00000002;
constexpr DWORD kDigcfAllClasses = 0x00000004;
constexpr DWORD kSpdrpDeviceDesc = 0x00000000;
constexpr DWORD kSpdrpDriver = 0x00000009;
constexpr DWORD kCrSuccess = 0;
constexpr DWORD kPropertyBufferSize = 512;
constexpr ULONG kVetoNameLength = 260;

struct DevInfoData {
  DWORD cbSize;
  GUID classGuid;
  DWORD devInst;
  ULONG_PTR reserved;
};

using GetClassDevsFn = HANDLE(WINAPI*)(const GUID*, const char*, HWND, DWORD);
using EnumDeviceInfoFn = BOOL(WINAPI*)(HANDLE, DWORD, DevInfoData*);
using GetRegistryPropertyFn = BOOL(WINAPI*)(HANDLE, DevInfoData*, DWORD, DWORD*, BYTE*, DWORD,
                                            DWORD*);
using DestroyListFn = BOOL(WINAPI*)(HANDLE);
using RequestEjectFn = DWORD(WINAPI*)(DWORD, int*, char*, ULONG, ULONG);

template <typename Fn>
Fn lookUp(const CDynamicLibrary& library, const char* name) {
  return reinterpret_cast<Fn>(library.symbol(name));
}

}  // namespace

struct CDeviceInstaller::Library {
  CDynamicLibrary library{"setupapi.dll"};
  GetClassDevsFn getClassDevs = lookUp<GetClassDevsFn>(library, "SetupDiGetClassDevsA");
  EnumDeviceInfoFn enumDeviceInfo = lookUp<EnumDeviceInfoFn>(library, "SetupDiEnumDeviceInfo");
  GetRegistryPropertyFn getProperty =
      lookUp<GetRegistryPropertyFn>(library, "SetupDiGetDeviceRegistryPropertyA");
  DestroyListFn destroyList = lookUp<DestroyListFn>(library, "SetupDiDestroyDeviceInfoList");
  RequestEjectFn requestEject = lookUp<RequestEjectFn>(library, "CM_Request_Device_EjectA");
};

struct CDeviceInstaller::Enumeration::State {
  explicit State(const Library& l) : library(l) {}
  const Library& library;
  HANDLE set = INVALID_HANDLE_VALUE;
  DevInfoData device{};
  bool selected = false;
};

CDeviceInstaller::CDeviceInstaller() : m_library(std::make_unique<Library>()) {}

CDeviceInstaller::~CDeviceInstaller() = default;

bool CDeviceInstaller::available() const {
  return m_library->getClassDevs != nullptr && m_library->enumDeviceInfo != nullptr &&
         m_library->getProperty != nullptr;
}

CDeviceInstaller::Enumeration::Enumeration(const CDeviceInstaller& installer)
    : m_state(std::make_unique<State>(*installer.m_library)) {
  if (installer.available())
    m_state->set =
        m_state->library.getClassDevs(nullptr, nullptr, nullptr, kDigcfPresent | kDigcfAllClasses);
}

CDeviceInstaller::Enumeration::~Enumeration() {
  if (valid() && m_state->library.destroyList != nullptr)
    m_state->library.destroyList(m_state->set);
}

bool CDeviceInstaller::Enumeration::valid() const {
  return m_state->set != INVALID_HANDLE_VALUE && m_state->set != nullptr;
}

bool CDeviceInstaller::Enumeration::selectDevice(uint32_t index) {
  m_state->selected = false;
  if (!valid()) return false;
  m_state->device = DevInfoData{};
  m_state->device.cbSize = sizeof(DevInfoData);
  m_state->selected =
      m_state->library.enumDeviceInfo(m_state->set, index, &m_state->device) != FALSE;
  return m_state->selected;
}

bool CDeviceInstaller::Enumeration::property(Property which, std::string* value) const {
  if (!m_state->selected || value == nullptr) return false;
  BYTE buffer[kPropertyBufferSize + 1] = {};
  DWORD type = 0;
  const DWORD code = which == Property::kDescription ? kSpdrpDeviceDesc : kSpdrpDriver;
  if (!m_state->library.getProperty(m_state->set, &m_state->device, code, &type, buffer,
                                    kPropertyBufferSize, nullptr))
    return false;
  // The extra byte keeps a text that filled the buffer terminated.
  *value = reinterpret_cast<const char*>(buffer);
  return true;
}

bool CDeviceInstaller::Enumeration::requestEject() const {
  if (!m_state->selected || m_state->library.requestEject == nullptr) return false;
  int vetoType = 0;
  char vetoName[kVetoNameLength] = {};
  return m_state->library.requestEject(m_state->device.devInst, &vetoType, vetoName,
                                       kVetoNameLength, 0) == kCrSuccess;
}

}  // namespace pdkos
