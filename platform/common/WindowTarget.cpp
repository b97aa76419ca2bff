// SPDX-License-Identifier: MIT
#include "common/WindowTarget.h"

#include "common/HandleRegistry.h"

namespace lumo::platform {

namespace {

// Immortal (HandleRegistry.h): windows may still unregister from static
// destructors.
constinit HandleRegistry<HWND, WindowTarget*> targets;

}  // namespace

void RegisterWindowTarget(HWND window, WindowTarget* target) {
  if (window == nullptr) return;
  if (target == nullptr)
    targets.Take(window);
  else
    targets.Set(window, target);
}

void UnregisterWindowTarget(HWND window) { targets.Take(window); }

WindowTarget* FindWindowTarget(HWND window) { return window == nullptr ? nullptr : targets.Find(window); }

}  // namespace lumo::platform
