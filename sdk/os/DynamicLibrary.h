// A library loaded at run time, freed when this object goes.
#pragma once

namespace pdkos {

class CDynamicLibrary {
 public:
  explicit CDynamicLibrary(const char* name);
  ~CDynamicLibrary();
  CDynamicLibrary(const CDynamicLibrary&) = delete;
  CDynamicLibrary& operator=(const CDynamicLibrary&) = delete;

  bool loaded() const { return m_module != nullptr; }
  // The address of an exported function, or nullptr.
  void* symbol(const char* name) const;

 private:
  void* m_module;
};

}  // namespace pdkos
