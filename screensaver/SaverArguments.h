// SPDX-License-Identifier: MIT
// The two command lines a screensaver is started with: Windows' (/s, /p
// HWND, /c) and an X screensaver hack's (-root, -window-id ID, -delay N,
// ...). Plain text in, a decision out, so both are tested natively.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <optional>
#include <string>

// ---- Windows ----

enum class TSaverVerb {
  Settings,  // /c, /c:HWND or no argument
  Run,       // /s
  Preview,   // /p HWND
};

struct TSaverCommand {
  TSaverVerb Verb = TSaverVerb::Settings;
  uintptr_t Window = 0;  // /p's parent, /c's owner (0: none)
};

// The command line after the program's name. "/" or "-", any case, ":" or
// spaces before the number. Empty when it is none of these, or /p lacks its
// window.
std::optional<TSaverCommand> ParseSaverCommand(const char* CommandLine);

// ---- X hacks ----

// An option of the program's own: a switch (Values null) or one word of
// Values ("1|2|both").
struct THackOption {
  const char* Name;  // without dashes
  const char* Values;
  const char* Help;  // one line for --help
};

enum class THackWhere { OwnWindow, Root, WindowId };

struct THackArguments {
  THackWhere Where = THackWhere::OwnWindow;
  unsigned long WindowId = 0;
  uint32_t DelayMicroseconds = 10000;
  bool Fps = false;
  std::map<std::string, std::string> Chosen;  // the program's options given: value, "" for a switch
};

// A window id as daemons write it: hexadecimal with 0x, or decimal; not 0.
std::optional<unsigned long> ParseWindowId(const char* Text);

// Reads argv[1..]: one or two dashes before each name. False after one line
// to Err naming the argument and pointing to "<Program> --help".
bool ParseHackArguments(int argc, const char* const* argv, const char* Program, const THackOption* Options,
                        size_t OptionCount, THackArguments& Out, std::FILE* Err);

// The common options' lines for --help, then the program's.
std::string HackOptionsHelp(const THackOption* Options, size_t OptionCount);
