// SPDX-License-Identifier: MIT
// The layer's handle-to-object registries (window targets, SDL windows,
// global memory blocks, open files): one map behind one lock each.
//
// A registry is deliberately immortal. Handles are also released on the way
// out of the process: by a program's static objects' destructors, by atexit
// handlers, by the library's own static objects, in an order nobody
// controls. A registry with a destructor of its own could be gone before
// them. So a registry holds only an atomic pointer: constant-initialised
// (declare it `constinit` at namespace scope, and it works before any
// constructor has run) and trivially destructible (it still works after
// every destructor has run). Its map is made on first use and never freed;
// it stays reachable to the end, so leak checkers do not count it. A lost
// display ends the process with _exit(), which runs no destructors at all.
#pragma once

#include <atomic>
#include <mutex>
#include <type_traits>
#include <unordered_map>
#include <utility>

namespace lumo::platform {

template <class Key, class Value>
class HandleRegistry {
 public:
  using Map = std::unordered_map<Key, Value>;

  constexpr HandleRegistry() = default;
  HandleRegistry(const HandleRegistry&) = delete;
  HandleRegistry& operator=(const HandleRegistry&) = delete;

  // Files value under key, replacing what was there.
  void Set(Key key, Value value) {
    Locked([&](Map& map) { map.insert_or_assign(key, std::move(value)); });
  }

  // The value under key; Value{} when there is none.
  Value Find(Key key) {
    return Locked([&](Map& map) {
      auto it = map.find(key);
      return it == map.end() ? Value{} : it->second;
    });
  }

  // Removes the entry under key and answers its value; Value{} when there
  // was none.
  Value Take(Key key) {
    return Locked([&](Map& map) {
      auto it = map.find(key);
      if (it == map.end()) return Value{};
      Value value = std::move(it->second);
      map.erase(it);
      return value;
    });
  }

  // Runs use(map) under the lock, for what must happen in one step (look an
  // entry up, change it, file it under a new key). `use` must not call the
  // registry again.
  template <class Use>
  decltype(auto) Locked(Use&& use) {
    State& state = Get();
    std::lock_guard<std::mutex> lock(state.mutex);
    return std::forward<Use>(use)(state.map);
  }

 private:
  struct State {
    std::mutex mutex;
    Map map;
  };

  State& Get() {
    State* state = state_.load(std::memory_order_acquire);
    if (state != nullptr) return *state;
    auto* made = new State;
    if (state_.compare_exchange_strong(state, made, std::memory_order_acq_rel)) return *made;
    delete made;  // another thread made it first; `state` now holds that one
    return *state;
  }

  std::atomic<State*> state_{nullptr};
};

// What makes a registry safe on every exit path.
static_assert(std::is_trivially_destructible_v<HandleRegistry<int, int*>>);

}  // namespace lumo::platform
