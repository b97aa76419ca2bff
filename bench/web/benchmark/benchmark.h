// SPDX-License-Identifier: MIT
// The part of Google Benchmark's interface our benchmarks use, for the
// WebAssembly build, where the library does not exist: the same sources then
// time the same work in a browser. BenchMain.cpp runs what is registered and
// prints Google Benchmark's JSON, median aggregates included, so one report
// script reads both.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace benchmark {

struct Counter {
  enum Flags { kDefaults = 0, kIsIterationInvariantRate = 1 };
  double Value = 0;
  Flags Flag = kDefaults;
  Counter() = default;
  Counter(double V, Flags F = kDefaults) : Value(V), Flag(F) {}  // NOLINT: implicit as in the library
};

class State {
 public:
  State(int64_t Iterations, std::vector<int64_t> Arguments) : MaxIterations(Iterations), Args(std::move(Arguments)) {}

  // The loop body's value; the attribute keeps `for (auto _ : State)` quiet.
  struct __attribute__((unused)) Value {};
  class Iterator {
   public:
    Iterator(State* Owner, int64_t Left) : Owner(Owner), Left(Left) {}
    Value operator*() const { return {}; }
    Iterator& operator++() {
      --Left;
      return *this;
    }
    // The clock stops when the loop ends.
    bool operator!=(const Iterator&) {
      if (Left > 0) {
        return true;
      }
      Owner->Stop();
      return false;
    }

   private:
    State* Owner;
    int64_t Left;
  };
  Iterator begin() {
    Start = std::chrono::steady_clock::now();
    Done = 0;
    return Iterator(this, Skipped ? 0 : MaxIterations);
  }
  Iterator end() { return Iterator(this, 0); }

  void SkipWithError(const char* Message) {
    Skipped = true;
    Error = Message;
  }
  int64_t iterations() const { return Done; }
  int64_t range(std::size_t Index = 0) const { return Index < Args.size() ? Args[Index] : 0; }
  void SetBytesProcessed(int64_t Bytes) { BytesProcessed = Bytes; }

  std::map<std::string, Counter> counters;

  // What the runner reads afterwards.
  double Seconds = 0;
  int64_t Done = 0;
  bool Skipped = false;
  std::string Error;
  int64_t BytesProcessed = 0;

 private:
  void Stop() {
    if (Done == 0 && !Skipped) {
      Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
      Done = MaxIterations;
    }
  }
  int64_t MaxIterations;
  std::vector<int64_t> Args;
  std::chrono::steady_clock::time_point Start;
};

// A registered case: its name, its body and the argument lists it runs with.
class Benchmark {
 public:
  Benchmark(std::string Name, std::function<void(State&)> Body) : Name(std::move(Name)), Body(std::move(Body)) {}
  Benchmark* ArgName(const std::string& Argument) {
    ArgumentName = Argument;
    return this;
  }
  Benchmark* Arg(int64_t Value) {
    Arguments.push_back(Value);
    return this;
  }

  std::string Name;
  std::function<void(State&)> Body;
  std::string ArgumentName;
  std::vector<int64_t> Arguments;
};

Benchmark* RegisterBenchmark(const char* Name, std::function<void(State&)> Body);

template <class T>
inline void DoNotOptimize(T&& Value) {
  asm volatile("" : : "r"(&Value) : "memory");
}
inline void ClobberMemory() { asm volatile("" : : : "memory"); }

}  // namespace benchmark

#define LUMO_BENCH_CONCAT2(A, B) A##B
#define LUMO_BENCH_CONCAT(A, B) LUMO_BENCH_CONCAT2(A, B)
#define BENCHMARK(Function)                                                                  \
  [[maybe_unused]] static ::benchmark::Benchmark* LUMO_BENCH_CONCAT(Registered_, __LINE__) = \
      ::benchmark::RegisterBenchmark(#Function, Function)
