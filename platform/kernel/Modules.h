// SPDX-License-Identifier: MIT
// The module loader's own record: the modules loaded through it, and the
// redirections and call counts its test seams set and read.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <utility>

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

}  // namespace lumo::kernel
