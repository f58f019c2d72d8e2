#include "DynamicLibrary.h"

#include <windows.h>

namespace pdkos {

CDynamicLibrary::CDynamicLibrary(const char* name) : m_module(LoadLibraryA(name)) {}

CDynamicLibrary::~CDynamicLibrary() {
  if (m_module != nullptr) FreeLibrary(static_cast<HMODULE>(m_module));
}

void* CDynamicLibrary::symbol(const char* name) const {
  if (m_module == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(m_module), name));
}

}  // namespace pdkos
