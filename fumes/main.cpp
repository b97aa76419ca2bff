// SPDX-License-Identifier: MIT
// Program entry: hand over to FumesMain and end the process with its result.
// On Windows the program reads no command line; natively it answers
// --version and --help first, and runs as a screensaver hack with the hack's
// options.
#include "Fumes.h"

#if defined(_WIN32)
int WINAPI WinMain(HINSTANCE Instance, HINSTANCE PrevInstance, LPSTR CmdLine, int CmdShow) {
  ExitProcess(static_cast<UINT>(FumesMain(Instance, PrevInstance, CmdLine, CmdShow)));
}
#else
#include <iterator>
#include <string>

#include "ProgramArguments.h"
// The page runs no screensaver.
#if !defined(__EMSCRIPTEN__)
#include "FumesSaver.h"
#include "Hack.h"
#endif

namespace {

#if !defined(__EMSCRIPTEN__)
constexpr THackOption Options[] = {
    {"scheme", "1|2", "the colour scheme (default 1)"},
};

const TSaverEffect& Configure(const THackArguments& Arguments) {
  const auto Scheme = Arguments.Chosen.find("scheme");
  FumesSaverSettings.Scheme = Scheme != Arguments.Chosen.end() && Scheme->second == "2" ? 2 : 1;
  FumesSaverSettings.Fps = Arguments.Fps;
  return FumesSaverEffect;
}
#endif

// The controls as the README and the manual page give them.
lumo::platform::ProgramText Text = {
    "fumes",
    "Rising, fading smoke; draw into it with the mouse.",
    "  Left button press or drag: draw smoke sources. The first press clears the\n"
    "    picture; drawn points keep burning.\n"
    "  Left double-click: forget all drawn points; smoke rises from the bottom again.\n"
    "  Moving the mouse without the left button, or dragging with Shift or Ctrl\n"
    "    held: sparks at the cursor.\n"
    "  Right click: switch between the two colour schemes.\n"
    "  Space (hold): smother all sources. Shift (hold): all sources at full heat.\n"
    "  F: show or hide the frames-per-second figure.\n"
    "  S: save the picture as a BMP file (a file dialog asks where).\n"
    "  Escape: quit.\n",
    nullptr,
    nullptr,
};

}  // namespace

int main(int argc, char** argv) {
#if !defined(__EMSCRIPTEN__)
  if (WantsHack(argc, argv)) {
    return RunHack(argc, argv, {"fumes", Options, std::size(Options), Configure});
  }
  const std::string Saver = HackOptionsHelp(Options, std::size(Options));
  Text.SaverOptions = Saver.c_str();
#endif
  const int Answer = lumo::platform::AnswerArguments(argc, argv, Text, stdout, stderr);
  if (Answer != lumo::platform::StartProgram) {
    return Answer;
  }
  char NoCommandLine[] = "";
  ExitProcess(static_cast<UINT>(FumesMain(GetModuleHandleA(nullptr), nullptr, NoCommandLine, SW_SHOWNORMAL)));
}
#endif
