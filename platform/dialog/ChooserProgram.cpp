// SPDX-License-Identifier: MIT
// The native chooser: a desktop file-chooser program (zenity, else kdialog,
// or the one LUMO_FILE_DIALOG names), started without a shell so no part of
// the request is ever read as a command.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "dialog/FileDialog.h"
#include "user/Backend.h"

extern char** environ;

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

int RunDialogProgram(const std::string& program, const std::vector<std::string>& args, std::string* output) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  // The chooser's own chatter (toolkit warnings) would look like ours.
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  pid_t pid = 0;
  int rc = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    return -1;
  }

  // Modal: this thread waits, but the windows keep answering the window
  // manager and showing their last picture.
  bool open = true;
  int status = 0;
  for (;;) {
    if (open) {
      pollfd pfd{fds[0], POLLIN, 0};
      if (poll(&pfd, 1, 30) > 0) {
        char buffer[4096];
        ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n > 0) {
          if (output->size() < (1u << 20)) output->append(buffer, static_cast<size_t>(n));
        } else if (n == 0 || errno != EINTR) {
          open = false;
        }
      }
    } else {
      usleep(20000);
    }
    user::PumpWhileModal();
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) {
      status = -1;
      break;
    }
  }
  // Whatever the program wrote before it ended.
  for (;;) {
    char buffer[4096];
    ssize_t n = read(fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    if (output->size() < (1u << 20)) output->append(buffer, static_cast<size_t>(n));
  }
  close(fds[0]);
  if (status == -1 || !WIFEXITED(status)) return -2;
  if (WEXITSTATUS(status) == 127 && output->empty()) return -1;  // exec failed in the child
  return WEXITSTATUS(status);
}

Choice ChooseFile(const Request& r, std::string* path) {
  const char* custom = std::getenv("LUMO_FILE_DIALOG");
  int status = -1;
  std::string output;
  if (custom != nullptr && *custom) {
    status = RunDialogProgram(custom, ZenityArguments(r), &output);
  } else {
    status = RunDialogProgram("zenity", ZenityArguments(r), &output);
    if (status == -1) status = RunDialogProgram("kdialog", KdialogArguments(r), &output);
  }
  if (status == -1) {
    std::fprintf(stderr, "cannot show the file dialog: %s could not be started\n",
                 custom != nullptr && *custom ? custom : "neither zenity nor kdialog");
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
