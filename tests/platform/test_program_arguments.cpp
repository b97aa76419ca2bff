// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ProgramArguments.h"

namespace {

std::string Refusal(const char* argument) {
  std::FILE* err = std::tmpfile();
  if (err == nullptr) return "no temporary file";
  const lumo::platform::ProgramText text{"demo", "a demo", "  Escape: quit\n", nullptr, nullptr};
  const char* argv[] = {"demo", argument};
  const int code = lumo::platform::AnswerArguments(2, argv, text, stdout, err);
  std::string said(256, '\0');
  std::rewind(err);
  said.resize(std::fread(said.data(), 1, said.size(), err));
  std::fclose(err);
  return std::to_string(code) + " " + said;
}

}  // namespace

// A refused argument is shown on one line: control bytes as \xHH, so that
// no escape sequence reaches the terminal.
TEST(ProgramArguments, ARefusedArgumentShowsItsControlBytesEscaped) {
  EXPECT_EQ(Refusal("a\x1b[2Jb\x7f"), "2 demo: unknown argument \"a\\x1B[2Jb\\x7F\"; try \"demo --help\"\n");
}
