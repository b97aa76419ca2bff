// SPDX-License-Identifier: MIT
// MessageBoxA's parts that tests reach directly: the arguments given to the
// dialog program, and the state its test seams queue answers in; and the
// one part each platform has its own, the showing of the box.
#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "LumoPlatform.h"

namespace lumo::dialog {

struct MessageRequest {
  std::string text;
  std::string caption;
  UINT icon = 0;             // MB_ICON* of the call
  unsigned long parent = 0;  // the owner's window on screen, kept below the box
};

std::vector<std::string> ZenityMessageArguments(const MessageRequest& r);
std::vector<std::string> KdialogMessageArguments(const MessageRequest& r);

// Shows the box and waits for it to be closed: the desktop's dialog program
// natively (MessageBoxProgram.cpp), the page's alert on the web. 0 once
// closed; else the error for GetLastError, with *why, when set, saying on
// standard error why no box was shown.
DWORD ShowMessage(const MessageRequest& r, std::string* why);

// What a MessageBoxA call asked for.
struct MessageCall {
  HWND owner = nullptr;
  std::string text;
  std::string caption;
  UINT type = 0;
};

struct MessageBoxState {
  std::mutex mu;
  // Answers given in place of the dialog program, first come first used.
  std::deque<int> answers;
  int calls = 0;
  MessageCall last;
};
// The one message-box state, never destroyed.
MessageBoxState& MessageBoxes();

}  // namespace lumo::dialog
