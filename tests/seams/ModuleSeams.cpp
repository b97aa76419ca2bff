// SPDX-License-Identifier: MIT
// Test seams of the native module loader (see ModuleSeams.h).
#include "seams/ModuleSeams.h"

#include "kernel/Modules.h"

using lumo::kernel::Lower;
using lumo::kernel::Modules;
using lumo::kernel::ModuleTable;

namespace lumo::test {

void SetModuleSearchDirectory(const char* directory) {
  ModuleTable& table = Modules();
  std::lock_guard<std::mutex> guard(table.lock);
  table.hasDirectoryOverride = directory != nullptr;
  table.directoryOverride = directory ? directory : "";
}

void MapModuleName(const char* requested, const char* fileName) {
  if (!requested) return;
  ModuleTable& table = Modules();
  std::lock_guard<std::mutex> guard(table.lock);
  table.mappings[Lower(requested)] = {fileName != nullptr, fileName ? fileName : ""};
}

void ClearModuleNameMappings() {
  ModuleTable& table = Modules();
  std::lock_guard<std::mutex> guard(table.lock);
  table.mappings.clear();
}

unsigned LoadLibraryCallCount() {
  ModuleTable& table = Modules();
  std::lock_guard<std::mutex> guard(table.lock);
  return table.loadCalls;
}

unsigned FreeLibraryCallCount() {
  ModuleTable& table = Modules();
  std::lock_guard<std::mutex> guard(table.lock);
  return table.freeCalls;
}

void ResetModuleCallCounts() {
  ModuleTable& table = Modules();
  std::lock_guard<std::mutex> guard(table.lock);
  table.loadCalls = 0;
  table.freeCalls = 0;
}

}  // namespace lumo::test
