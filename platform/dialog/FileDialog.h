// SPDX-License-Identifier: MIT
// The open-file dialog's parts that tests reach directly: the request as the
// dialog program sees it, the arguments built from it, and the state its test
// seams queue answers in and read the calls from.
#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "LumoPlatform.h"

namespace lumo::dialog {

struct Request {
  std::string title;
  std::vector<std::pair<std::string, std::string>> filters;  // (description, patterns separated by ';')
  std::string initialDir;                                    // an existing folder
  std::string proposedName;
  bool save = false;         // new names allowed (the file need not exist)
  unsigned long parent = 0;  // the owner's window on screen, kept below the dialog
};

// "Desc\0*.a;*.b\0...\0\0" into pairs; an unpaired last description is dropped.
std::vector<std::pair<std::string, std::string>> ParseFilter(const char* filter);

// The folder the dialog opens in: `dir` when it exists here (also with its
// backslashes read as slashes), else the current folder.
std::string ResolveInitialDir(const char* dir);

std::vector<std::string> ZenityArguments(const Request& r);
std::vector<std::string> KdialogArguments(const Request& r);

// Appends ".ext" when the file name part has no extension at all.
std::string WithDefaultExtension(const std::string& path, const char* defExt);

// The user's answer from the platform's own chooser: the desktop's dialog
// program natively (ChooserProgram.cpp), the page's own prompt on the web.
// Failed when none could be shown, after saying why on standard error.
enum class Choice { Chosen, Cancelled, Failed };
Choice ChooseFile(const Request& r, std::string* path);

// What a GetOpenFileNameA call asked for.
struct Call {
  HWND owner = nullptr;
  std::string title;
  std::vector<std::pair<std::string, std::string>> filters;
  std::string initialDir;  // after fallback
  std::string defExt;
  DWORD maxFile = 0;
  DWORD flags = 0;
};

struct DialogState {
  std::mutex mu;
  DWORD lastError = 0;
  // Answers given in place of the dialog program, first come first used;
  // nullopt is a cancel.
  std::deque<std::optional<std::string>> answers;
  int calls = 0;
  Call last;
};
// The one dialog state, never destroyed.
DialogState& Dialog();

}  // namespace lumo::dialog
