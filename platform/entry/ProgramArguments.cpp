// SPDX-License-Identifier: MIT
#include "ProgramArguments.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace lumo::platform {

namespace {

// The argument as it may be shown on one line of a terminal: control bytes
// are escaped, and a very long one is cut.
std::string Printable(const char* Argument) {
  constexpr size_t MaxShown = 64;
  std::string Shown;
  for (size_t I = 0; Argument[I] != '\0'; ++I) {
    if (Shown.size() >= MaxShown) {
      Shown += "...";
      break;
    }
    const unsigned char Byte = static_cast<unsigned char>(Argument[I]);
    if (Byte < 0x20 || Byte == 0x7F) {
      // By hand: snprintf would bring floating-point formatting into every page.
      constexpr const char* Hex = "0123456789ABCDEF";
      Shown += "\\x";
      Shown += Hex[Byte >> 4];
      Shown += Hex[Byte & 0xF];
    } else {
      Shown += static_cast<char>(Byte);
    }
  }
  return Shown;
}

void PrintVersion(const ProgramText& Text, std::FILE* Out) {
  std::fprintf(Out, "%s %s\nCopyright (c) %s\nLicence: MIT%s%s\n", Text.Name, LUMO_VERSION, LUMO_COPYRIGHT,
               Text.Notice ? "; " : "", Text.Notice ? Text.Notice : "");
}

void PrintHelp(const ProgramText& Text, std::FILE* Out) {
  std::fprintf(Out,
               "Usage: %s [--help | --version]\n%s\n\nControls:\n%s\nOptions:\n"
               "  --help     show this help and exit\n"
               "  --version  show the version and the licence and exit\n",
               Text.Name, Text.Summary, Text.Controls);
  if (Text.SaverOptions != nullptr) {
    std::fprintf(Out,
                 "\nAs a screensaver hack (one or two dashes; any of them runs the\n"
                 "screensaver, which ignores input and ends on SIGTERM or SIGINT):\n%s",
                 Text.SaverOptions);
  }
}

}  // namespace

int AnswerArguments(int argc, const char* const* argv, const ProgramText& Text, std::FILE* Out, std::FILE* Err) {
  if (argc <= 1 || argv == nullptr) {
    return StartProgram;
  }
  const bool Version = std::strcmp(argv[1], "--version") == 0;
  const bool Help = std::strcmp(argv[1], "--help") == 0;
  if (!Version && !Help) {
    std::fprintf(Err, "%s: unknown argument \"%s\"; try \"%s --help\"\n", Text.Name, Printable(argv[1]).c_str(),
                 Text.Name);
    return 2;
  }
  if (argc > 2) {
    std::fprintf(Err, "%s: unexpected argument \"%s\" after %s; try \"%s --help\"\n", Text.Name,
                 Printable(argv[2]).c_str(), argv[1], Text.Name);
    return 2;
  }
  if (Version) {
    PrintVersion(Text, Out);
  } else {
    PrintHelp(Text, Out);
  }
  // An answer lost to a full disk or a closed output is a failure.
  if (std::fflush(Out) != 0 || std::ferror(Out)) {
    std::fprintf(Err, "%s: cannot write the answer: %s\n", Text.Name, std::strerror(errno));
    return 1;
  }
  return 0;
}

}  // namespace lumo::platform
