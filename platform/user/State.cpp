// SPDX-License-Identifier: MIT
// The shared tables of the window half and the lookups into them.
#include "user/State.h"

namespace lumo::user {

State& GetState() {
  // Never destroyed: windows may still be looked up from exit handlers.
  static State* state = new State;
  return *state;
}

WindowPtr LookupWindow(HWND window) {
  if (window == nullptr) return nullptr;
  State& s = GetState();
  std::lock_guard<std::mutex> lock(s.mu);
  auto it = s.windows.find(window);
  return it == s.windows.end() ? nullptr : it->second;
}

std::shared_ptr<Queue> QueueOf(std::thread::id thread) {
  State& s = GetState();
  auto& q = s.queues[thread];
  if (!q) q = std::make_shared<Queue>();
  return q;
}

void WakeAll() {
  State& s = GetState();
  std::lock_guard<std::mutex> lock(s.mu);
  for (auto& [thread, q] : s.queues) q->wake.notify_all();
}

}  // namespace lumo::user
