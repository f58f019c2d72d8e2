#include "DynamicLibrary.h"

#include <dlfcn.h>

namespace pdkos {

CDynamicLibrary::CDynamicLibrary(const char* name)
    : m_module(dlopen(name, RTLD_NOW | RTLD_LOCAL)) {}

CDynamicLibrary::~CDynamicLibrary() {
  if (m_module != nullptr) dlclose(m_module);
}

void* CDynamicLibrary::symbol(const char* name) const {
  if (m_module == nullptr) return nullptr;
  return dlsym(m_module, name);
}

}  // namespace pdkos
