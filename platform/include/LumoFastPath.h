// SPDX-License-Identifier: MIT
// One shape for every fast path. A family of kernels (the average blend row,
// the smoke passes, the rotating zoom, the palette expansion) is one table of
// forms, widest first, its plain form last. LumoChosen picks the first form
// the processor runs, once per family, skipping every level the environment
// turns off (LUMO_DISABLE, see the README), so the real programs can be run
// at any level for testing.
//
// The levels are named alike in every family; a form that needs several
// extensions stands under the widest of them:
//
//   avx512  AVX-512F (the palette form also needs BW and VBMI)
//   avx2    AVX2
//   sse41   SSE4.1
//   sse2    SSE2
//   simd128 WebAssembly's 128-bit vectors (a build with -msimd128)
//   neon    AdvSIMD, part of every aarch64 processor (an aarch64 build)
//   mmx     MMX
//   plain   no extension; the last form of a family is always available and
//           can never be turned off
//
// The families and their levels:
//
//   average row        avx512 avx2 sse2 simd128 neon mmx   graphics/kernels/LumoBlendWide.h
//                      plain
//   smoke passes       avx2 sse2 simd128 neon plain        fumes/FumesFast.h
//   rotating zoom      avx512 (with AVX2) avx2 sse2        twistview/TwistRenderFast.h
//                      simd128 neon plain (the scalar runs)
//   palette expansion  avx512 (VBMI) sse41 simd128 neon    platform/gdi/PaletteRows.h
//                      plain (eight at once)
//
// Each family keeps its table, plain forms and shared parts in one file and
// each instruction set's forms in a file of their own, named after the level
// (TwistRenderSse2.cpp, FumesNeon.cpp, ...).
//
// When levels are turned off, each family says once on standard error which
// form it took, so a test run shows that the switch reached the program. In
// the browser the page's address sets LUMO_DISABLE
// (program.html?disable=simd128) and standard error is the page's console.
//
// Header only, on no other part of the system: graphics, the programs and
// the platform layer all choose through it.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>

template <class TFunction>
struct TLumoForm {
  const char* Level;
  bool (*Available)();
  TFunction Function;
};

// The availability of a family's plain form.
inline bool LumoAlways() { return true; }

// Whether this is an x86 build: its wider forms are compiled in, and the
// processor check decides at run time whether they run.
#ifndef LUMO_X86
#if defined(__i386__) || defined(__x86_64__)
#define LUMO_X86 1
#else
#define LUMO_X86 0
#endif
#endif

// Whether this build runs WebAssembly's 128-bit vectors: a property of the
// build, not of the processor (an engine without them refuses the whole
// module), so the simd128 forms are there exactly when it is compiled in.
#if defined(__wasm_simd128__)
#define LUMO_SIMD128 1
#else
#define LUMO_SIMD128 0
#endif
inline bool LumoHasSIMD128() { return LUMO_SIMD128 != 0; }

// Whether this build runs AdvSIMD: on aarch64 it is part of the base
// architecture, so, as simd128, the neon forms are there exactly when the
// build is for aarch64. (32-bit ARM's NEON lacks the four-register tables
// the forms use, and stays plain.)
#if defined(__aarch64__) && defined(__ARM_NEON)
#define LUMO_NEON 1
#else
#define LUMO_NEON 0
#endif
inline bool LumoHasNEON() { return LUMO_NEON != 0; }

// Whether Level is one of the names in List (separated by spaces, tabs or
// commas; names compared exactly).
constexpr bool LumoLevelListed(std::string_view List, std::string_view Level) {
  constexpr std::string_view Separators = " \t,";
  std::size_t At = 0;
  while (At < List.size()) {
    const std::size_t Start = List.find_first_not_of(Separators, At);
    if (Start == std::string_view::npos) {
      break;
    }
    std::size_t End = List.find_first_of(Separators, Start);
    if (End == std::string_view::npos) {
      End = List.size();
    }
    if (List.substr(Start, End - Start) == Level) {
      return true;
    }
    At = End;
  }
  return false;
}

// Whether every form stands under one of the level names above, in order
// from wide to plain, and the last form is the plain one.
template <class TFunction, std::size_t N>
constexpr bool LumoWellFormed(const TLumoForm<TFunction> (&Forms)[N]) {
  constexpr std::string_view Levels[] = {"avx512", "avx2", "sse41", "sse2", "simd128", "neon", "mmx", "plain"};
  std::size_t Next = 0;
  for (const TLumoForm<TFunction>& Form : Forms) {
    while (Next < std::size(Levels) && Levels[Next] != Form.Level) {
      ++Next;
    }
    if (Next == std::size(Levels)) {
      return false;
    }
  }
  return std::string_view(Forms[N - 1].Level) == "plain";
}

// The first form of Forms that is available and whose level Disabled does not
// name; the last form when none is.
template <class TFunction, std::size_t N>
constexpr const TLumoForm<TFunction>& LumoChoose(const TLumoForm<TFunction> (&Forms)[N], std::string_view Disabled) {
  static_assert(N >= 1, "a family needs at least its plain form");
  for (std::size_t I = 0; I + 1 < N; ++I) {
    if (!LumoLevelListed(Disabled, Forms[I].Level) && Forms[I].Available()) {
      return Forms[I];
    }
  }
  return Forms[N - 1];
}

// LUMO_DISABLE as it was when first asked for (copied: the environment may
// change under a pointer into it).
inline const std::string& LumoDisabledLevels() {
  static const std::string Levels = [] {
    const char* Value = std::getenv("LUMO_DISABLE");
    return std::string(Value != nullptr ? Value : "");
  }();
  return Levels;
}

// The form of the family Forms this process runs: chosen on the first call
// (thread-safe), after the processor record is filled, then kept. Family
// names the family in the one report line.
template <const auto& Forms>
const auto& LumoChosen(const char* Family) {
  static_assert(LumoWellFormed(Forms), "a family's levels go from wide to plain and end with the plain form");
  static const auto& Form = [Family]() -> const auto& {
    const std::string& Disabled = LumoDisabledLevels();
    const auto& Chosen = LumoChoose(Forms, Disabled);
    if (!Disabled.empty()) {
      std::fprintf(stderr, "lumo: %s: %s form (LUMO_DISABLE=\"%s\")\n", Family, Chosen.Level, Disabled.c_str());
    }
    return Chosen;
  }
  ();
  return Form;
}
