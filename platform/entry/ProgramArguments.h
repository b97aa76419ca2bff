// SPDX-License-Identifier: MIT
// The native programs' answer to their command line: --version and --help
// are answered and the program exits; anything else is refused. Not part of
// the Win32 surface: the Windows programs read no command line.
#pragma once

#include <cstdio>

namespace lumo::platform {

struct ProgramText {
  const char* Name;          // the program's name, as typed
  const char* Summary;       // one line: what the program shows
  const char* Controls;      // lines of "  Control: action", continuation lines indented further
  const char* Notice;        // a line added to the licence line of --version, or null
  const char* SaverOptions;  // lines of the screensaver hack's options for --help, or null
};

// What AnswerArguments returns when the program is to start.
inline constexpr int StartProgram = -1;

// Answers the arguments after argv[0]: none starts the program
// (StartProgram); "--version" or "--help" alone prints to Out and returns 0
// (1 when Out cannot be written); anything else prints one line to Err and
// returns 2.
int AnswerArguments(int argc, const char* const* argv, const ProgramText& Text, std::FILE* Out, std::FILE* Err);

}  // namespace lumo::platform
