// SPDX-License-Identifier: MIT
// Resources of the program's own module. Natively they are compiled into the
// executable and registered at start-up; names and types match without
// regard to case, and "#123" names the same resource as MAKEINTRESOURCE(123).
#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "LumoPlatform.h"
#include "lumo_native/EmbeddedResources.h"

using lumo::platform::EmbeddedResource;

namespace {

struct ResourceTable {
  std::mutex lock;
  std::vector<const EmbeddedResource*> entries;
};

// Never destroyed: other static objects call in while the process ends.
ResourceTable& Table() {
  static ResourceTable* table = new ResourceTable;
  return *table;
}

// A name or type as given: either a number (MAKEINTRESOURCE or "#n") or text.
struct Key {
  bool numeric = false;
  uint16_t id = 0;
  const char* text = nullptr;
};

bool ParseKey(LPCSTR value, Key& key) {
  if (!value) return false;
  if (IS_INTRESOURCE(value)) {
    key.numeric = true;
    key.id = uint16_t(reinterpret_cast<uintptr_t>(value));
    return true;
  }
  if (value[0] == '#' && value[1] != '\0') {
    char* end = nullptr;
    unsigned long n = std::strtoul(value + 1, &end, 10);
    if (*end == '\0' && n <= 0xFFFF) {
      key.numeric = true;
      key.id = uint16_t(n);
      return true;
    }
  }
  key.text = value;
  return true;
}

bool Matches(const Key& key, const char* text, uint16_t id) {
  if (key.numeric) return text == nullptr && id == key.id;
  return text != nullptr && strcasecmp(text, key.text) == 0;
}

bool IsOwnModule(HMODULE module) { return module == nullptr || module == GetModuleHandleA(nullptr); }

bool IsRegistered(const EmbeddedResource* resource) {
  ResourceTable& table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  return std::find(table.entries.begin(), table.entries.end(), resource) != table.entries.end();
}

}  // namespace

namespace lumo::platform {

void RegisterEmbeddedResource(const EmbeddedResource* resource) {
  if (!resource) return;
  ResourceTable& table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  table.entries.push_back(resource);
}

void UnregisterEmbeddedResource(const EmbeddedResource* resource) {
  ResourceTable& table = Table();
  std::lock_guard<std::mutex> guard(table.lock);
  table.entries.erase(std::remove(table.entries.begin(), table.entries.end(), resource), table.entries.end());
}

}  // namespace lumo::platform

HRSRC FindResourceA(HMODULE hModule, LPCSTR lpName, LPCSTR lpType) {
  Key name;
  Key type;
  if (!ParseKey(lpName, name) || !ParseKey(lpType, type)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!IsOwnModule(hModule)) {
    SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
    return nullptr;
  }
  bool typeSeen = false;
  {
    ResourceTable& table = Table();
    std::lock_guard<std::mutex> guard(table.lock);
    for (const EmbeddedResource* entry : table.entries) {
      if (!Matches(type, entry->Type, entry->TypeId)) continue;
      typeSeen = true;
      if (Matches(name, entry->Name, entry->NameId))
        return reinterpret_cast<HRSRC>(const_cast<EmbeddedResource*>(entry));
    }
  }
  SetLastError(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
  return nullptr;
}

// The data never moves, so the loaded handle is the record itself and
// locking it hands out the embedded bytes.
HGLOBAL LoadResource(HMODULE hModule, HRSRC hResInfo) {
  auto* entry = reinterpret_cast<const EmbeddedResource*>(hResInfo);
  if (!IsOwnModule(hModule) || !entry || !IsRegistered(entry)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return reinterpret_cast<HGLOBAL>(hResInfo);
}

DWORD SizeofResource(HMODULE hModule, HRSRC hResInfo) {
  auto* entry = reinterpret_cast<const EmbeddedResource*>(hResInfo);
  if (!IsOwnModule(hModule) || !entry || !IsRegistered(entry)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  return DWORD(entry->Size);
}

LPVOID LockResource(HGLOBAL hResData) {
  auto* entry = static_cast<const EmbeddedResource*>(hResData);
  if (!entry || !IsRegistered(entry)) return nullptr;
  return const_cast<unsigned char*>(entry->Data);
}

// Obsolete on Windows too: nothing to free, and the answer is FALSE.
BOOL FreeResource(HGLOBAL) { return FALSE; }
