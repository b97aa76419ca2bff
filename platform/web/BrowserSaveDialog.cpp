// SPDX-License-Identifier: MIT
// The chooser on the web: the page's own prompt asks for a file name, and
// the file the program then writes under it is offered as a download
// (Downloads.h). Cancel answers as a cancelled dialog does: nothing is
// written. The browser's save picker is not used: it needs a gesture the
// program's loop cannot carry into it, and a download reaches every browser.
#include <emscripten.h>

#include <cstdio>
#include <string>

#include "dialog/FileDialog.h"
#include "web/Downloads.h"

namespace {

// clang-format off
// 1 with the answer in `out`, 0 for Cancel, -1 without a page to ask on.
EM_JS(int, LumoPromptName, (const char* question, const char* proposed, char* out, int capacity), {
  if (typeof window == "undefined" || typeof window.prompt != "function") return -1;
  var answer = window.prompt(UTF8ToString(question), UTF8ToString(proposed));
  if (answer == null) return 0;
  stringToUTF8(answer, out, capacity);
  return 1;
});
// clang-format on

}  // namespace

namespace lumo::dialog {

Choice ChooseFile(const Request& r, std::string* path) {
  std::string question = r.title + "\n\nFile name";
  if (!r.filters.empty()) question += " (" + r.filters.front().first + ")";
  question += ":";
  // Longer answers than a path may be are cut here and refused by the caller.
  char answer[4096];
  switch (LumoPromptName(question.c_str(), r.proposedName.c_str(), answer, sizeof answer)) {
    case -1:
      std::fprintf(stderr, "cannot show the file dialog: no web page to ask on\n");
      return Choice::Failed;
    case 0:
      return Choice::Cancelled;
    default:
      break;
  }
  *path = web::DownloadPath(answer);
  if (path->empty()) return Choice::Cancelled;
  web::ExpectDownload();
  return Choice::Chosen;
}

}  // namespace lumo::dialog
