// SPDX-License-Identifier: MIT
// Runs the registered benchmarks as Google Benchmark's own main would, with
// the flags our report script passes (--benchmark_filter, a regular
// expression; --benchmark_repetitions; --benchmark_min_time in seconds), and
// prints the results as its JSON, each repetition and the median of each
// case, after a run of each that is not counted. Between runs it gives the
// browser a turn, so the page stays alive.
#include <emscripten.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "benchmark/benchmark.h"

namespace benchmark {

namespace {

std::vector<std::unique_ptr<Benchmark>>& Registry() {
  static std::vector<std::unique_ptr<Benchmark>> Cases;
  return Cases;
}

struct TOptions {
  std::string Filter = ".";
  int Repetitions = 1;
  double MinTime = 0.5;
};

TOptions ReadOptions(int argc, char** argv) {
  TOptions Options;
  for (int I = 1; I < argc; ++I) {
    const std::string Arg = argv[I];
    auto Value = [&Arg](const char* Flag) -> const char* {
      const std::string Prefix = std::string(Flag) + "=";
      return Arg.rfind(Prefix, 0) == 0 ? Arg.c_str() + Prefix.size() : nullptr;
    };
    if (const char* V = Value("--benchmark_filter")) {
      Options.Filter = V;
    } else if (const char* V = Value("--benchmark_repetitions")) {
      Options.Repetitions = std::max(1, std::atoi(V));
    } else if (const char* V = Value("--benchmark_min_time")) {
      Options.MinTime = std::max(0.001, std::atof(V));
    }
  }
  return Options;
}

// One measurement as Google Benchmark's JSON gives it.
struct TRun {
  std::string Name;
  int64_t Iterations = 0;
  double Nanoseconds = 0;
  std::map<std::string, double> Counters;
};

std::string Quoted(const std::string& Text) {
  std::string Out = "\"";
  for (char C : Text) {
    if (C == '"' || C == '\\') {
      Out += '\\';
    }
    Out += C;
  }
  return Out + "\"";
}

void Print(const TRun& Run, const char* Type, const char* Aggregate, bool& First) {
  std::printf("%s\n    {\"name\": %s, \"run_name\": %s, \"run_type\": \"%s\"", First ? "" : ",",
              Quoted(Run.Name + (*Aggregate ? std::string("_") + Aggregate : "")).c_str(), Quoted(Run.Name).c_str(),
              Type);
  if (*Aggregate) {
    std::printf(", \"aggregate_name\": \"%s\"", Aggregate);
  }
  std::printf(", \"iterations\": %lld, \"real_time\": %.6g, \"cpu_time\": %.6g, \"time_unit\": \"ns\"",
              static_cast<long long>(Run.Iterations), Run.Nanoseconds, Run.Nanoseconds);
  for (const auto& [Name, Value] : Run.Counters) {
    std::printf(", %s: %.9g", Quoted(Name).c_str(), Value);
  }
  std::printf("}");
  First = false;
}

// Times Body with as many iterations as fill MinTime, found as the library
// finds them: growing from one until a run lasts long enough.
bool Measure(const Benchmark& Case, const std::vector<int64_t>& Args, double MinTime, TRun& Run) {
  int64_t Iterations = 1;
  for (;;) {
    State S(Iterations, Args);
    Case.Body(S);
    if (S.Skipped) {
      std::fprintf(stderr, "%s: skipped: %s\n", Run.Name.c_str(), S.Error.c_str());
      return false;
    }
    if (S.Seconds >= MinTime || Iterations >= 1000000000) {
      Run.Iterations = S.Done;
      Run.Nanoseconds = S.Seconds * 1e9 / static_cast<double>(S.Done);
      for (const auto& [Name, C] : S.counters) {
        Run.Counters[Name] = C.Flag == Counter::kIsIterationInvariantRate ? C.Value / (S.Seconds / S.Done) : C.Value;
      }
      return true;
    }
    const double Wanted = S.Seconds > 0 ? MinTime * 1.4 / S.Seconds * Iterations : Iterations * 10.0;
    Iterations = std::clamp<int64_t>(static_cast<int64_t>(std::ceil(Wanted)), Iterations + 1, Iterations * 10);
  }
}

}  // namespace

Benchmark* RegisterBenchmark(const char* Name, std::function<void(State&)> Body) {
  Registry().push_back(std::make_unique<Benchmark>(Name, std::move(Body)));
  return Registry().back().get();
}

}  // namespace benchmark

int main(int argc, char** argv) {
  using namespace benchmark;
  const TOptions Options = ReadOptions(argc, argv);
  const std::regex Filter(Options.Filter);
  std::printf("{\n  \"context\": {\"library_build_type\": \"release\", \"executable\": %s},\n  \"benchmarks\": [",
              Quoted(argc > 0 ? argv[0] : "").c_str());
  bool First = true;
  for (const auto& Case : Registry()) {
    std::vector<std::vector<int64_t>> ArgumentLists;
    if (Case->Arguments.empty()) {
      ArgumentLists.push_back({});
    }
    for (int64_t Value : Case->Arguments) {
      ArgumentLists.push_back({Value});
    }
    for (const auto& Args : ArgumentLists) {
      std::string Name = Case->Name;
      if (!Args.empty()) {
        Name += "/" + (Case->ArgumentName.empty() ? "" : Case->ArgumentName + ":") + std::to_string(Args[0]);
      }
      if (!std::regex_search(Name, Filter)) {
        continue;
      }
      // One run first, not counted: the engine compiles hot code again, better,
      // while it runs (WebAssembly's tiers), and the case's first run would
      // time some of the first compilation.
      TRun WarmUp;
      WarmUp.Name = Name;
      if (!Measure(*Case, Args, Options.MinTime, WarmUp)) {
        continue;
      }
      std::vector<TRun> Runs;
      for (int R = 0; R < Options.Repetitions; ++R) {
        TRun Run;
        Run.Name = Name;
        if (!Measure(*Case, Args, Options.MinTime, Run)) {
          break;
        }
        Print(Run, "iteration", "", First);
        Runs.push_back(Run);
        // A turn for the browser between runs.
        emscripten_sleep(0);
      }
      if (Runs.size() > 1) {
        std::sort(Runs.begin(), Runs.end(), [](const TRun& A, const TRun& B) { return A.Nanoseconds < B.Nanoseconds; });
        TRun Median = Runs[Runs.size() / 2];
        if (Runs.size() % 2 == 0) {
          Median.Nanoseconds = (Runs[Runs.size() / 2 - 1].Nanoseconds + Median.Nanoseconds) / 2;
        }
        Print(Median, "aggregate", "median", First);
      }
    }
  }
  std::printf("\n  ]\n}\n");
  std::fflush(stdout);
  return 0;
}
