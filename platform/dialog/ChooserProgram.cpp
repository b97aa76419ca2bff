// SPDX-License-Identifier: MIT
// The native chooser: the desktop's file-chooser program (zenity, else
// kdialog, or the one LUMO_FILE_DIALOG names; see DialogProgram.h).
#include <cstdio>

#include "dialog/DialogProgram.h"
#include "dialog/FileDialog.h"

namespace lumo::dialog {

namespace {

std::string Join(const std::string& dir, const std::string& name) {
  if (!name.empty() && name[0] == '/') return name;
  std::string out = dir;
  if (out.empty() || out.back() != '/') out += '/';
  return out + name;
}

std::string SpacedPatterns(std::string patterns) {
  for (char& c : patterns)
    if (c == ';') c = ' ';
  return patterns;
}

}  // namespace

std::vector<std::string> ZenityArguments(const Request& r) {
  std::vector<std::string> args = {"--file-selection", "--title=" + r.title};
  // The file need not exist: only the save mode lets the user type a new name.
  if (r.save) args.push_back("--save");
  if (r.parent != 0) {
    args.push_back("--modal");
    args.push_back("--attach=" + std::to_string(r.parent));
  }
  std::string start = r.proposedName.empty() ? Join(r.initialDir, "") : Join(r.initialDir, r.proposedName);
  args.push_back("--filename=" + start);
  for (const auto& [description, patterns] : r.filters)
    args.push_back("--file-filter=" + description + " | " + SpacedPatterns(patterns));
  return args;
}

std::vector<std::string> KdialogArguments(const Request& r) {
  std::string start = r.proposedName.empty() ? Join(r.initialDir, "") : Join(r.initialDir, r.proposedName);
  std::vector<std::string> args = {"--title", r.title, r.save ? "--getsavefilename" : "--getopenfilename", start};
  std::string filter;
  for (const auto& [description, patterns] : r.filters) {
    if (!filter.empty()) filter += '\n';
    filter += SpacedPatterns(patterns) + "|" + description;
  }
  if (!filter.empty()) args.push_back(filter);
  if (r.parent != 0) {
    args.push_back("--attach");
    args.push_back(std::to_string(r.parent));
  }
  return args;
}

Choice ChooseFile(const Request& r, std::string* path) {
  std::string output;
  std::string tried;
  const int status = RunDesktopDialog("LUMO_FILE_DIALOG", ZenityArguments(r), KdialogArguments(r), &output, &tried);
  if (status == -1) {
    std::fprintf(stderr, "cannot show the file dialog: %s could not be started\n", tried.c_str());
    return Choice::Failed;
  }
  // Both choosers answer 1 for Cancel; anything else is their own failure
  // (no display, for one), which the caller can tell apart.
  if (status == 1) return Choice::Cancelled;
  if (status != 0) return Choice::Failed;
  // One chosen path, ended by a newline.
  size_t end = output.find('\n');
  *path = output.substr(0, end);
  return Choice::Chosen;
}

}  // namespace lumo::dialog
