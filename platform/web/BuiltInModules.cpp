// SPDX-License-Identifier: MIT
// Modules on the web: a page loads no libraries of its own at run time, so
// the modules a program asks for by name are linked into it, and
// LoadLibraryA finds them in this table (the name without its folder and
// without regard to case, ".dll" added to a bare name), GetProcAddress in
// each module's list of entries. The one such module is the picture codec,
// GdiPlus.dll, with GDI+'s flat entries.
#include <emscripten.h>
#include <strings.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "GdiPlusFlat.h"
#include "LumoPlatform.h"
#include "kernel/Modules.h"

// The codec's entries, renamed where they are compiled (see CMakeLists.txt).
#define LUMO_WEB_DECLARE(Name, Result, Parameters) extern "C" Result WINAPI LumoCodec_##Name Parameters;
LUMO_GDIPLUS_ENTRIES(LUMO_WEB_DECLARE, LUMO_WEB_DECLARE)
#undef LUMO_WEB_DECLARE

namespace {

struct Entry {
  const char* name;
  FARPROC address;
};

#define LUMO_WEB_ENTRY(Name, Result, Parameters) {#Name, reinterpret_cast<FARPROC>(&LumoCodec_##Name)},
const Entry kGdiPlusEntries[] = {LUMO_GDIPLUS_ENTRIES(LUMO_WEB_ENTRY, LUMO_WEB_ENTRY)};
#undef LUMO_WEB_ENTRY

struct Module {
  const char* name;
  const Entry* entries;
  size_t count;
  unsigned loads;
};

Module modules[] = {{"GdiPlus.dll", kGdiPlusEntries, std::size(kGdiPlusEntries), 0}};

// The program itself: its handle only has to differ from every module's.
char mainProgram;

Module* ModuleOf(HMODULE handle) {
  for (Module& m : modules)
    if (reinterpret_cast<HMODULE>(&m) == handle) return &m;
  return nullptr;
}

// The name a request means: no folder, ".dll" after a bare name.
std::string BaseName(const char* requested) {
  std::string name(requested);
  const size_t slash = name.find_last_of("/\\");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  return lumo::kernel::WithDllExtension(name);
}

Module* ModuleNamed(const char* requested) {
  const std::string name = BaseName(requested);
  for (Module& m : modules)
    if (strcasecmp(m.name, name.c_str()) == 0) return &m;
  return nullptr;
}

// clang-format off
EM_JS(int, LumoProgramName, (char* out, int capacity), {
  var name = typeof thisProgram == "string" ? thisProgram : "this.program";
  return stringToUTF8(name, out, capacity);
});
// clang-format on

}  // namespace

HMODULE LoadLibraryA(LPCSTR lpLibFileName) {
  if (lpLibFileName == nullptr || *lpLibFileName == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  Module* module = ModuleNamed(lpLibFileName);
  if (module == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  ++module->loads;
  return reinterpret_cast<HMODULE>(module);
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  Module* module = ModuleOf(hModule);
  if (module == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // No module here exports by ordinal.
  if (lumo::kernel::IsOrdinal(lpProcName)) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  for (size_t i = 0; i < module->count; ++i)
    if (std::strcmp(module->entries[i].name, lpProcName) == 0) return module->entries[i].address;
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

BOOL FreeLibrary(HMODULE hLibModule) {
  Module* module = ModuleOf(hLibModule);
  if (module == nullptr || module->loads == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  --module->loads;
  return TRUE;
}

HMODULE GetModuleHandleA(LPCSTR lpModuleName) {
  if (lpModuleName == nullptr) return reinterpret_cast<HMODULE>(&mainProgram);
  Module* module = ModuleNamed(lpModuleName);
  if (module != nullptr && module->loads > 0) return reinterpret_cast<HMODULE>(module);
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  char name[512];
  if (hModule == nullptr || hModule == reinterpret_cast<HMODULE>(&mainProgram)) {
    LumoProgramName(name, sizeof name);
  } else if (Module* module = ModuleOf(hModule); module != nullptr && module->loads > 0) {
    std::snprintf(name, sizeof name, "%s", module->name);
  } else {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  return lumo::kernel::CopyModuleFileName(name, lpFilename, nSize);
}
