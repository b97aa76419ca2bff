// SPDX-License-Identifier: MIT
// The native message box: the desktop's dialog program (zenity, else
// kdialog; see DialogProgram.h), kept above its owner's window.
#include "dialog/DialogProgram.h"
#include "dialog/MessageBox.h"

namespace lumo::dialog {

std::vector<std::string> ZenityMessageArguments(const MessageRequest& r) {
  const char* kind = r.icon == MB_ICONERROR ? "--error" : r.icon == MB_ICONWARNING ? "--warning" : "--info";
  // The text is shown as it is: a path may hold '<', '&' or backslashes.
  std::vector<std::string> args = {kind, "--title=" + r.caption, "--text=" + r.text, "--no-markup"};
  if (r.parent != 0) {
    args.push_back("--modal");
    args.push_back("--attach=" + std::to_string(r.parent));
  }
  return args;
}

std::vector<std::string> KdialogMessageArguments(const MessageRequest& r) {
  const char* kind = r.icon == MB_ICONERROR ? "--error" : r.icon == MB_ICONWARNING ? "--sorry" : "--msgbox";
  std::vector<std::string> args = {"--title", r.caption, kind, r.text};
  if (r.parent != 0) {
    args.push_back("--attach");
    args.push_back(std::to_string(r.parent));
  }
  return args;
}

DWORD ShowMessage(const MessageRequest& r, std::string* why) {
  std::string output;
  std::string tried;
  const int status =
      RunDesktopDialog("LUMO_MESSAGE_BOX", ZenityMessageArguments(r), KdialogMessageArguments(r), &output, &tried);
  // 0 is OK; 1 is the box closed otherwise, which on Windows also answers
  // IDOK for a box with only OK.
  if (status == 0 || status == 1) return 0;
  if (status == -1) {
    *why = "cannot show the message box: " + tried + " could not be started";
    return ERROR_FILE_NOT_FOUND;
  }
  return ERROR_INVALID_PARAMETER;
}

}  // namespace lumo::dialog
