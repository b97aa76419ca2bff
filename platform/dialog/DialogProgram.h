// SPDX-License-Identifier: MIT
// The desktop's dialog programs (zenity, else kdialog) behind the common
// dialogs and message boxes: started without a shell, so no part of a
// request is ever read as a command, while the windows stay responsive.
#pragma once

#include <string>
#include <vector>

namespace lumo::dialog {

// Runs `program` (searched on PATH, no shell) with `args`, collecting its
// standard output while the windows stay responsive. Exit status, or -1 when
// the program could not be started, -2 when it did not exit normally.
int RunDialogProgram(const std::string& program, const std::vector<std::string>& args, std::string* output);

// The program named by the environment variable `standIn` when it is set
// (called with zenity's arguments, as tests do), else zenity, else kdialog.
// Results as RunDialogProgram's; `tried` names what was (or would have been)
// run, for a message when nothing could be started.
int RunDesktopDialog(const char* standIn, const std::vector<std::string>& zenityArgs,
                     const std::vector<std::string>& kdialogArgs, std::string* output, std::string* tried);

}  // namespace lumo::dialog
