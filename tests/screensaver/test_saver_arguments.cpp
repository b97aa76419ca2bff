// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "SaverArguments.h"

namespace {

TEST(SaverCommand, TheFormsWindowsAndUsersWrite) {
  struct Case {
    const char* Line;
    TSaverVerb Verb;
    uintptr_t Window;
  };
  const Case Good[] = {
      {"", TSaverVerb::Settings, 0},
      {"  ", TSaverVerb::Settings, 0},
      {"/s", TSaverVerb::Run, 0},
      {"-S", TSaverVerb::Run, 0},
      {"/p 1234", TSaverVerb::Preview, 1234},
      {"/P:1234", TSaverVerb::Preview, 1234},
      {"-p   99 \r\n", TSaverVerb::Preview, 99},
      {"/c", TSaverVerb::Settings, 0},
      {"/c:4660", TSaverVerb::Settings, 4660},
      {"-C 7", TSaverVerb::Settings, 7},
  };
  for (const Case& C : Good) {
    const auto Command = ParseSaverCommand(C.Line);
    ASSERT_TRUE(Command.has_value()) << C.Line;
    EXPECT_EQ(Command->Verb, C.Verb) << C.Line;
    EXPECT_EQ(Command->Window, C.Window) << C.Line;
  }
  // A preview with no window to fill, a number where none belongs, junk.
  for (const char* Bad :
       {"/p", "/p:", "/p 0", "/p 12x", "/p 1 2", "/s 5", "/x", "s", "/p -3", "/p 99999999999999999999999"}) {
    EXPECT_FALSE(ParseSaverCommand(Bad).has_value()) << Bad;
  }
  EXPECT_TRUE(ParseSaverCommand(nullptr).has_value());
}

struct Parsed {
  bool Ok;
  THackArguments Arguments;
  std::string Error;
};

constexpr THackOption Options[] = {{"picture", "1|2|both", ""}, {"feedback", nullptr, ""}};

Parsed Parse(std::vector<const char*> Words) {
  Words.insert(Words.begin(), "prog");
  Parsed Out;
  std::FILE* Err = std::tmpfile();
  Out.Ok = ParseHackArguments(static_cast<int>(Words.size()), Words.data(), "prog", Options, std::size(Options),
                              Out.Arguments, Err);
  std::rewind(Err);
  char Line[512] = {};
  if (std::fgets(Line, sizeof Line, Err) != nullptr) Out.Error = Line;
  std::fclose(Err);
  return Out;
}

TEST(HackArguments, DaemonsLinesAreRead) {
  Parsed P = Parse({"--root", "-delay", "20000", "--fps", "-picture", "both", "--feedback"});
  ASSERT_TRUE(P.Ok) << P.Error;
  EXPECT_EQ(P.Arguments.Where, THackWhere::Root);
  EXPECT_EQ(P.Arguments.DelayMicroseconds, 20000u);
  EXPECT_TRUE(P.Arguments.Fps);
  EXPECT_EQ(P.Arguments.Chosen.at("picture"), "both");
  EXPECT_EQ(P.Arguments.Chosen.count("feedback"), 1u);

  for (const char* Id : {"0x1a00007", "27262983"}) {
    P = Parse({"-window-id", Id});
    ASSERT_TRUE(P.Ok) << Id;
    EXPECT_EQ(P.Arguments.Where, THackWhere::WindowId);
    EXPECT_EQ(P.Arguments.WindowId, 0x1a00007ul) << Id;
  }
  EXPECT_EQ(Parse({}).Arguments.DelayMicroseconds, 10000u);
}

TEST(HackArguments, BadOnesAreRefusedWithOneLine) {
  const std::vector<std::vector<const char*>> Bad = {
      {"-window-id"},
      {"-window-id", "0"},
      {"-window-id", "0x"},
      {"-window-id", "010z"},
      {"-window-id", "-5"},
      {"-window-id", "0x1ffffffff"},
      {"-delay"},
      {"-delay", "-1"},
      {"-delay", "1e3"},
      {"-delay", "10000001"},
      {"-picture", "3"},
      {"-picture", "1|2"},
      {"-picture"},
      {"-bogus"},
      {"root"},
      {"---root"},
  };
  for (const auto& Words : Bad) {
    const Parsed P = Parse(Words);
    EXPECT_FALSE(P.Ok) << Words[0];
    EXPECT_NE(P.Error.find("try \"prog --help\""), std::string::npos) << P.Error;
  }
}

}  // namespace
