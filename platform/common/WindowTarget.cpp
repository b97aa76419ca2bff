// SPDX-License-Identifier: MIT
#include "common/WindowTarget.h"

#include <mutex>
#include <unordered_map>

namespace lumo::platform {

namespace {

struct Registry {
  std::mutex mutex;
  std::unordered_map<HWND, WindowTarget*> targets;
};

// Never destroyed: windows may still unregister from static destructors.
Registry& Targets() {
  static Registry* registry = new Registry;
  return *registry;
}

}  // namespace

void RegisterWindowTarget(HWND window, WindowTarget* target) {
  if (window == nullptr) return;
  Registry& r = Targets();
  std::lock_guard<std::mutex> lock(r.mutex);
  if (target == nullptr)
    r.targets.erase(window);
  else
    r.targets[window] = target;
}

void UnregisterWindowTarget(HWND window) {
  Registry& r = Targets();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.targets.erase(window);
}

WindowTarget* FindWindowTarget(HWND window) {
  if (window == nullptr) return nullptr;
  Registry& r = Targets();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.targets.find(window);
  return it == r.targets.end() ? nullptr : it->second;
}

}  // namespace lumo::platform
