// SPDX-License-Identifier: MIT
// The native programs as X screensaver hacks: where to draw from the
// arguments and the environment, SIGTERM and SIGINT as the end of the run.
#pragma once

#include "Saver.h"
#include "SaverArguments.h"

struct THackProgram {
  const char* Name;
  const THackOption* Options;
  size_t OptionCount;
  // Reads the parsed arguments into the effect's settings; returns the effect.
  const TSaverEffect& (*Configure)(const THackArguments& Arguments);
};

// Whether the arguments ask for the screensaver shell rather than the
// program shell or --help/--version.
bool WantsHack(int argc, const char* const* argv);

// Parses, finds the window, runs the effect; the process's exit status.
int RunHack(int argc, const char* const* argv, const THackProgram& Program);
