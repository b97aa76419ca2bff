// SPDX-License-Identifier: MIT
// Which backend the process runs on, chosen once.
#include "user/Backend.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace lumo::user {

namespace {

std::atomic<const Backend*> chosen{nullptr};
std::atomic<bool> settled{false};

const Backend& FromEnvironment() {
  const char* env = std::getenv("LUMO_HEADLESS");
  bool headless = env != nullptr && *env != '\0' && std::strcmp(env, "0") != 0;
#if defined(__EMSCRIPTEN__)
  const Backend& windowSystem = kWebBackend;
#else
  const Backend& windowSystem = kSdlBackend;
#endif
  return headless ? kHeadlessBackend : windowSystem;
}

}  // namespace

const Backend& ActiveBackend() {
  const Backend* backend = chosen.load(std::memory_order_acquire);
  if (backend != nullptr) return *backend;
  const Backend* mine = &FromEnvironment();
  // Whoever chose first wins, so every caller sees the same backend.
  return chosen.compare_exchange_strong(backend, mine, std::memory_order_acq_rel) ? *mine : *backend;
}

void ChooseBackend(const Backend& backend) {
  if (!settled.load()) chosen.store(&backend, std::memory_order_release);
}

const Backend& StartBackend() {
  settled.store(true);
  const Backend& backend = ActiveBackend();
  backend.start();
  return backend;
}

void PumpEvents() { ActiveBackend().pump(false); }

void PumpWhileModal() { ActiveBackend().pump(true); }

unsigned long NativeWindowOf(HWND window) { return window == nullptr ? 0 : ActiveBackend().nativeWindow(window); }

}  // namespace lumo::user
