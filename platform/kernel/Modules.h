// SPDX-License-Identifier: MIT
// The module loader's own record: the modules loaded through it, and the
// redirections and call counts its test seams set and read; and the rules
// the web's built-in modules (web/BuiltInModules.cpp) share with it.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "LumoPlatform.h"

namespace lumo::kernel {

struct LoadedModule {
  std::string path;
  std::string baseLower;
  unsigned count = 0;
};

struct ModuleTable {
  std::mutex lock;
  std::map<void*, LoadedModule> loaded;
  bool hasDirectoryOverride = false;
  std::string directoryOverride;
  // Lower-case requested name -> file name; an empty optional file = missing.
  std::map<std::string, std::pair<bool, std::string>> mappings;
  unsigned loadCalls = 0;
  unsigned freeCalls = 0;
};

// Never destroyed: other static objects call in while the process ends.
ModuleTable& Modules();

// Module names compare in lower case.
std::string Lower(std::string s);

// Windows appends ".dll" to a module name without an extension.
inline std::string WithDllExtension(std::string name) {
  if (name.find('.') == std::string::npos) name += ".dll";
  return name;
}

// A look-up by ordinal (or of no name at all): no module here exports by
// ordinal.
inline bool IsOrdinal(LPCSTR procName) { return reinterpret_cast<uintptr_t>(procName) <= 0xFFFF; }

// GetModuleFileNameA's answer for `name`. Like Windows: a short buffer gets
// a truncated, terminated name and the full buffer size as the result.
inline DWORD CopyModuleFileName(const std::string& name, LPSTR out, DWORD size) {
  if (out == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (name.size() >= size) {
    std::memcpy(out, name.data(), size - 1);
    out[size - 1] = '\0';
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memcpy(out, name.c_str(), name.size() + 1);
  return DWORD(name.size());
}

}  // namespace lumo::kernel
