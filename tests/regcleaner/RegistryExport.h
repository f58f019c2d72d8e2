// HKEY_LOCAL_MACHINE\SYSTEM as the system's own registry editor exports it
// ("regedit /E"), reduced to what the tests compare: the key paths and the
// values of each key, with paths in lower case as the registry ignores case.
#pragma once

#include <set>
#include <string>

struct RegistryExport {
  std::set<std::string> keys;
  // "key|name=data" of every value.
  std::set<std::string> values;

  static RegistryExport take();

  // Keys here that are gone from `after`.
  std::set<std::string> removedKeys(const RegistryExport& after) const;
  // "key|name" of the values gone from keys that are still there in `after`.
  std::set<std::string> removedValues(const RegistryExport& after) const;
  // Keys and values of `after` that are new or changed.
  std::set<std::string> added(const RegistryExport& after) const;
};

// Lower-cased "HKEY_LOCAL_MACHINE\path" of each path.
std::set<std::string> exportNames(const std::set<std::string>& paths);
