// SPDX-License-Identifier: MIT
// Program entry. On Windows the program reads no command line; natively it
// answers --version and --help first, and runs as a screensaver hack with the
// hack's options.
#include "TwistShell.h"

#if defined(_WIN32)
int main() { return TwistViewMain(); }
#else
#include <iterator>
#include <string>

#include "ProgramArguments.h"
// The page runs no screensaver.
#if !defined(__EMSCRIPTEN__)
#include "Hack.h"
#include "TwistSaver.h"
#endif

namespace {

#if !defined(__EMSCRIPTEN__)
constexpr THackOption Options[] = {
    {"picture", "1|2|both", "the picture; both: the other one every 30 seconds (default 1)"},
    {"no-filter", nullptr, "without the bilinear filter"},
    {"feedback", nullptr, "each frame averaged with the previous output"},
};

const TSaverEffect& Configure(const THackArguments& Arguments) {
  const auto Picture = Arguments.Chosen.find("picture");
  const std::string Chosen = Picture == Arguments.Chosen.end() ? "1" : Picture->second;
  TwistSaverSettings.Picture = Chosen == "both" ? 0 : Chosen == "2" ? 2 : 1;
  TwistSaverSettings.Filter = Arguments.Chosen.count("no-filter") == 0;
  TwistSaverSettings.Feedback = Arguments.Chosen.count("feedback") != 0;
  TwistSaverSettings.Fps = Arguments.Fps;
  return TwistSaverEffect;
}
#endif

// The controls as the README and the manual page give them.
lumo::platform::ProgramText Text = {
    "twistview",
    "A photograph, tiled without end, turning and zooming about the window centre.",
    "  Left click: bilinear filter on/off (on at start).\n"
    "  Right click: feedback on/off (each frame averaged with the previous output).\n"
    "  Any other key: switch to the other picture.\n"
    "  Escape: quit.\n",
    "the two photographs are in the public domain and under CC0 1.0",
    nullptr,
};

}  // namespace

int main(int argc, char** argv) {
#if !defined(__EMSCRIPTEN__)
  if (WantsHack(argc, argv)) {
    return RunHack(argc, argv, {"twistview", Options, std::size(Options), Configure});
  }
  const std::string Saver = HackOptionsHelp(Options, std::size(Options));
  Text.SaverOptions = Saver.c_str();
#endif
  const int Answer = lumo::platform::AnswerArguments(argc, argv, Text, stdout, stderr);
  return Answer == lumo::platform::StartProgram ? TwistViewMain() : Answer;
}
#endif
