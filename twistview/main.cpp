// SPDX-License-Identifier: MIT
// Program entry. On Windows the program reads no command line; natively it
// answers --version and --help first.
#include "TwistShell.h"

#if defined(_WIN32)
int main() { return TwistViewMain(); }
#else
#include "ProgramArguments.h"

namespace {

// The controls as the README and the manual page give them.
constexpr lumo::platform::ProgramText Text = {
    "twistview",
    "A photograph, tiled without end, turning and zooming about the window centre.",
    "  Left click: bilinear filter on/off (on at start).\n"
    "  Right click: feedback on/off (each frame averaged with the previous output).\n"
    "  Any other key: switch to the other picture.\n"
    "  Escape: quit.\n",
    "the two photographs are in the public domain and under CC0 1.0",
};

}  // namespace

int main(int argc, char** argv) {
  const int Answer = lumo::platform::AnswerArguments(argc, argv, Text, stdout, stderr);
  return Answer == lumo::platform::StartProgram ? TwistViewMain() : Answer;
}
#endif
