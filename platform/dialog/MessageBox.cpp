// SPDX-License-Identifier: MIT
// MessageBoxA through the desktop's dialog program (zenity, else kdialog;
// see DialogProgram.h), kept above its owner's window.
#include "dialog/MessageBox.h"

#include <cstdio>

#include "dialog/DialogProgram.h"
#include "user/Backend.h"

namespace lumo::dialog {

MessageBoxState& MessageBoxes() {
  static MessageBoxState* state = new MessageBoxState;
  return *state;
}

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

}  // namespace lumo::dialog

using namespace lumo::dialog;

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
  if ((uType & MB_TYPEMASK) != MB_OK) {
    // Only the OK box is part of this layer: no answer could be told apart.
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  MessageRequest r;
  r.text = lpText != nullptr ? lpText : "";
  r.caption = lpCaption != nullptr ? lpCaption : "Error";  // Windows' own default
  r.icon = uType & MB_ICONMASK;
  r.parent = lumo::user::NativeWindowOf(hWnd);
  {
    MessageBoxState& m = MessageBoxes();
    std::lock_guard<std::mutex> lock(m.mu);
    ++m.calls;
    m.last = MessageCall{hWnd, r.text, r.caption, uType};
    if (!m.answers.empty()) {
      const int answer = m.answers.front();
      m.answers.pop_front();
      return answer;
    }
  }
  std::string output;
  std::string tried;
  const int status =
      RunDesktopDialog("LUMO_MESSAGE_BOX", ZenityMessageArguments(r), KdialogMessageArguments(r), &output, &tried);
  // 0 is OK; 1 is the box closed otherwise, which on Windows also answers
  // IDOK for a box with only OK.
  if (status == 0 || status == 1) return IDOK;
  // Never lost: a message no box could show goes to standard error.
  std::fprintf(stderr, "%s: %s\n", r.caption.c_str(), r.text.c_str());
  if (status == -1) std::fprintf(stderr, "cannot show the message box: %s could not be started\n", tried.c_str());
  SetLastError(status == -1 ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_PARAMETER);
  return 0;
}
