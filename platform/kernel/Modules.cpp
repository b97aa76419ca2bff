// SPDX-License-Identifier: MIT
// Modules: LoadLibraryA looks for a bare file name beside the executable,
// then in the installed layout's private folder ../lib/lumo relative to it
// (never in the current directory), without regard to case (as a Windows
// file system would), and binds it with the host's dynamic loader. Handles
// are the loader's own handles, so GetProcAddress is a plain symbol look-up.
#include "kernel/Modules.h"

#include <dirent.h>
#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "LumoPlatform.h"

namespace lumo::kernel {

ModuleTable& Modules() {
  static ModuleTable* table = new ModuleTable;
  return *table;
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return s;
}

}  // namespace lumo::kernel

using namespace lumo::kernel;

namespace {

std::string ExecutablePath() {
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0) return {};
  return std::string(buffer, size_t(n));
}

// Bare module names: beside the executable (the build tree and Windows-like
// layouts), then the private folder of an installed prefix.
std::vector<std::string> ModuleSearchDirectories() {
  std::string exe = ExecutablePath();
  size_t slash = exe.rfind('/');
  // Without the executable's own path there is nowhere safe to look: never
  // fall back to the current directory.
  if (slash == std::string::npos) return {};
  std::string own = exe.substr(0, slash);
  return {own, own + "/../lib/lumo"};
}

// The entry of `directory` whose name equals `name` without regard to case;
// an exact match wins over a case-folded one.
bool FindInDirectory(const std::string& directory, const std::string& name, std::string& found) {
  DIR* dir = opendir(directory.c_str());
  if (!dir) return false;
  bool ok = false;
  while (dirent* entry = readdir(dir)) {
    if (std::strcmp(entry->d_name, name.c_str()) == 0) {
      found = directory + "/" + entry->d_name;
      ok = true;
      break;
    }
    if (!ok && strcasecmp(entry->d_name, name.c_str()) == 0) {
      found = directory + "/" + entry->d_name;
      ok = true;
    }
  }
  closedir(dir);
  return ok;
}

#if defined(__x86_64__)
constexpr int kMachine = EM_X86_64;
#elif defined(__i386__)
constexpr int kMachine = EM_386;
#elif defined(__aarch64__)
constexpr int kMachine = EM_AARCH64;
#else
constexpr int kMachine = -1;  // any machine: left to the loader
#endif

// Whether `path` is a shared object of this machine whose file holds every
// byte its program headers ask to map. The host's loader maps a truncated
// file as it is and then faults on the missing pages, taking the whole
// process with it.
bool IsCompleteModule(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info;
  ElfW(Ehdr) header;
  bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && pread(fd, &header, sizeof(header), 0) == sizeof(header);
  const uint64_t size = ok ? uint64_t(info.st_size) : 0;
  ok = ok && std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0 &&
       header.e_ident[EI_CLASS] == (__ELF_NATIVE_CLASS == 64 ? ELFCLASS64 : ELFCLASS32) && header.e_type == ET_DYN &&
       (kMachine < 0 || header.e_machine == kMachine) && header.e_phentsize == sizeof(ElfW(Phdr)) &&
       header.e_phnum > 0 && uint64_t(header.e_phoff) + uint64_t(header.e_phnum) * sizeof(ElfW(Phdr)) <= size;
  if (ok) {
    std::vector<ElfW(Phdr)> segments(header.e_phnum);
    const size_t bytes = segments.size() * sizeof(ElfW(Phdr));
    ok = pread(fd, segments.data(), bytes, off_t(header.e_phoff)) == ssize_t(bytes);
    for (size_t i = 0; ok && i < segments.size(); ++i) {
      const ElfW(Phdr)& segment = segments[i];
      if (segment.p_type == PT_LOAD || segment.p_type == PT_DYNAMIC) {
        ok = segment.p_offset <= size && segment.p_filesz <= size - segment.p_offset;
      }
    }
  }
  close(fd);
  return ok;
}

void* MainProgramHandle() {
  static void* handle = dlopen(nullptr, RTLD_NOW);
  return handle;
}

}  // namespace

HMODULE LoadLibraryA(LPCSTR lpLibFileName) {
  ModuleTable& table = Modules();
  std::unique_lock<std::mutex> guard(table.lock);
  ++table.loadCalls;
  if (!lpLibFileName || !*lpLibFileName) {
    guard.unlock();
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string requested(lpLibFileName);
  std::replace(requested.begin(), requested.end(), '\\', '/');
  std::vector<std::string> directories;
  std::string name;
  size_t slash = requested.rfind('/');
  if (slash != std::string::npos) {
    directories.push_back(slash == 0 ? std::string("/") : requested.substr(0, slash));
    name = requested.substr(slash + 1);
  } else if (table.hasDirectoryOverride) {
    directories.push_back(table.directoryOverride);
    name = requested;
  } else {
    directories = ModuleSearchDirectories();
    name = requested;
  }
  name = WithDllExtension(name);
  auto mapped = table.mappings.find(Lower(name));
  if (mapped != table.mappings.end()) {
    if (!mapped->second.first) {
      guard.unlock();
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
    name = mapped->second.second;
  }
  std::string path;
  bool found = false;
  for (const std::string& directory : directories) {
    if ((found = FindInDirectory(directory, name, path))) break;
  }
  if (!found) {
    guard.unlock();
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (!IsCompleteModule(path)) {
    guard.unlock();
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return nullptr;
  }
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    guard.unlock();
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  LoadedModule& module = table.loaded[handle];
  module.path = path;
  module.baseLower = Lower(path.substr(path.rfind('/') + 1));
  ++module.count;
  return reinterpret_cast<HMODULE>(handle);
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  if (!hModule) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // Look-ups by ordinal have no meaning for the host's loader.
  if (IsOrdinal(lpProcName)) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  dlerror();
  void* symbol = dlsym(reinterpret_cast<void*>(hModule), lpProcName);
  if (!symbol) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(symbol));
}

BOOL FreeLibrary(HMODULE hLibModule) {
  ModuleTable& table = Modules();
  std::unique_lock<std::mutex> guard(table.lock);
  ++table.freeCalls;
  void* handle = reinterpret_cast<void*>(hLibModule);
  auto it = table.loaded.find(handle);
  if (!handle || it == table.loaded.end()) {
    guard.unlock();
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (--it->second.count == 0) table.loaded.erase(it);
  dlclose(handle);
  return TRUE;
}

HMODULE GetModuleHandleA(LPCSTR lpModuleName) {
  if (!lpModuleName) return reinterpret_cast<HMODULE>(MainProgramHandle());
  std::string name = Lower(lpModuleName);
  std::replace(name.begin(), name.end(), '\\', '/');
  if (name.find('/') != std::string::npos) name = name.substr(name.rfind('/') + 1);
  std::string exe = ExecutablePath();
  std::string exeBase = Lower(exe.substr(exe.rfind('/') + 1));
  if (name == exeBase || name + ".exe" == exeBase || name == exeBase + ".exe")
    return reinterpret_cast<HMODULE>(MainProgramHandle());
  if (name.find('.') == std::string::npos) name += ".dll";
  ModuleTable& table = Modules();
  std::lock_guard<std::mutex> guard(table.lock);
  for (auto& [handle, module] : table.loaded) {
    if (module.baseLower == name) return reinterpret_cast<HMODULE>(handle);
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize) {
  std::string path;
  void* handle = reinterpret_cast<void*>(hModule);
  if (!handle || handle == MainProgramHandle()) {
    path = ExecutablePath();
  } else {
    ModuleTable& table = Modules();
    std::lock_guard<std::mutex> guard(table.lock);
    auto it = table.loaded.find(handle);
    if (it != table.loaded.end()) path = it->second.path;
  }
  if (path.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  return CopyModuleFileName(path, lpFilename, nSize);
}
