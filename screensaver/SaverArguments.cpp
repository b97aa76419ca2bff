// SPDX-License-Identifier: MIT
#include "SaverArguments.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

bool ParseUnsigned(const char* Text, int Base, unsigned long long Limit, unsigned long long& Value) {
  if (Text == nullptr || *Text == '\0' || !std::isxdigit(static_cast<unsigned char>(*Text))) return false;
  errno = 0;
  char* End = nullptr;
  Value = std::strtoull(Text, &End, Base);
  return errno == 0 && *End == '\0' && Value <= Limit;
}

// The argument on one line of a terminal: control bytes escaped, cut when long.
std::string Shown(const char* Argument) {
  std::string Out;
  for (size_t I = 0; Argument[I] != '\0'; ++I) {
    if (Out.size() >= 64) return Out + "...";
    const unsigned char Byte = static_cast<unsigned char>(Argument[I]);
    if (Byte < 0x20 || Byte == 0x7F) {
      char Escaped[8];
      std::snprintf(Escaped, sizeof Escaped, "\\x%02X", Byte);
      Out += Escaped;
    } else {
      Out += static_cast<char>(Byte);
    }
  }
  return Out;
}

// Windows writes a space between the switch and the number; line ends from a
// script are taken as spaces too.
bool IsSpace(char C) { return C == ' ' || C == '\t' || C == '\r' || C == '\n'; }

bool OneOf(const char* Values, const std::string& Word) {
  const std::string All = std::string("|") + Values + "|";
  return !Word.empty() && Word.find('|') == std::string::npos && All.find("|" + Word + "|") != std::string::npos;
}

}  // namespace

std::optional<TSaverCommand> ParseSaverCommand(const char* CommandLine) {
  TSaverCommand Command;
  const char* P = CommandLine == nullptr ? "" : CommandLine;
  while (IsSpace(*P)) ++P;
  if (*P == '\0') return Command;
  if (*P != '/' && *P != '-') return std::nullopt;
  const char Letter = static_cast<char>(std::tolower(static_cast<unsigned char>(P[1])));
  if (Letter == 's')
    Command.Verb = TSaverVerb::Run;
  else if (Letter == 'p')
    Command.Verb = TSaverVerb::Preview;
  else if (Letter == 'c')
    Command.Verb = TSaverVerb::Settings;
  else
    return std::nullopt;
  P += 2;
  if (*P == ':') ++P;
  while (IsSpace(*P)) ++P;
  std::string Number;
  while (*P != '\0' && !IsSpace(*P)) Number += *P++;
  while (IsSpace(*P)) ++P;
  if (*P != '\0') return std::nullopt;
  unsigned long long Value = 0;
  if (!Number.empty()) {
    if (Command.Verb == TSaverVerb::Run || !ParseUnsigned(Number.c_str(), 10, UINTPTR_MAX, Value)) return std::nullopt;
    Command.Window = static_cast<uintptr_t>(Value);
  }
  if (Command.Verb == TSaverVerb::Preview && Command.Window == 0) return std::nullopt;
  return Command;
}

std::optional<unsigned long> ParseWindowId(const char* Text) {
  if (Text == nullptr) return std::nullopt;
  unsigned long long Value = 0;
  const bool Hex = Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X');
  if (Hex ? !ParseUnsigned(Text + 2, 16, 0xFFFFFFFFu, Value)
          : !(std::isdigit(static_cast<unsigned char>(Text[0])) && ParseUnsigned(Text, 10, 0xFFFFFFFFu, Value)))
    return std::nullopt;
  if (Value == 0) return std::nullopt;
  return static_cast<unsigned long>(Value);
}

bool ParseHackArguments(int argc, const char* const* argv, const char* Program, const THackOption* Options,
                        size_t OptionCount, THackArguments& Out, std::FILE* Err) {
  auto Refuse = [&](const char* What, const char* Argument) {
    std::fprintf(Err, "%s: %s \"%s\"; try \"%s --help\"\n", Program, What, Shown(Argument).c_str(), Program);
    return false;
  };
  for (int I = 1; I < argc; ++I) {
    const char* Argument = argv[I];
    const char* Name = Argument;
    if (Name[0] != '-') return Refuse("unknown argument", Argument);
    Name += Name[1] == '-' ? 2 : 1;
    const std::string Word = Name;
    // The next argument, the value of this one.
    auto Value = [&]() -> const char* { return I + 1 < argc ? argv[++I] : nullptr; };
    if (Word == "root") {
      Out.Where = THackWhere::Root;
    } else if (Word == "window") {
      Out.Where = THackWhere::OwnWindow;
    } else if (Word == "fps") {
      Out.Fps = true;
    } else if (Word == "window-id") {
      const char* Text = Value();
      const auto Id = ParseWindowId(Text);
      if (!Id) return Refuse("-window-id needs a window id (hexadecimal with 0x, or decimal), not", Text ? Text : "");
      Out.Where = THackWhere::WindowId;
      Out.WindowId = *Id;
    } else if (Word == "delay") {
      const char* Text = Value();
      unsigned long long Micro = 0;
      if (!ParseUnsigned(Text, 10, 10000000u, Micro) || !std::isdigit(static_cast<unsigned char>(Text[0])))
        return Refuse("-delay needs microseconds from 0 to 10000000, not", Text ? Text : "");
      Out.DelayMicroseconds = static_cast<uint32_t>(Micro);
    } else {
      const THackOption* Option = nullptr;
      for (size_t K = 0; K < OptionCount; ++K)
        if (Word == Options[K].Name) Option = &Options[K];
      if (Option == nullptr) return Refuse("unknown argument", Argument);
      if (Option->Values == nullptr) {
        Out.Chosen[Word] = "";
      } else {
        const char* Text = Value();
        if (Text == nullptr || !OneOf(Option->Values, Text)) {
          const std::string What = "-" + Word + " takes " + Option->Values + ", not";
          return Refuse(What.c_str(), Text ? Text : "");
        }
        Out.Chosen[Word] = Text;
      }
    }
  }
  return true;
}

std::string HackOptionsHelp(const THackOption* Options, size_t OptionCount) {
  std::string Help =
      "  -root           draw in the screensaver daemon's window (XSCREENSAVER_WINDOW),\n"
      "                  else in the root window\n"
      "  -window-id ID   draw in the X window ID (hexadecimal with 0x, or decimal)\n"
      "  -window         draw in a window of its own\n"
      "  -delay N        microseconds to pause after each frame (default 10000)\n"
      "  -fps            show the frames per second\n";
  for (size_t K = 0; K < OptionCount; ++K) {
    std::string Left = std::string("-") + Options[K].Name;
    if (Options[K].Values != nullptr) Left += std::string(" ") + Options[K].Values;
    Left.resize(Left.size() < 16 ? 16 : Left.size() + 1, ' ');
    Help += "  " + Left + Options[K].Help + "\n";
  }
  return Help;
}
