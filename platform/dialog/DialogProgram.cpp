// SPDX-License-Identifier: MIT
// Starting a dialog program and waiting for its answer.
#include "dialog/DialogProgram.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "user/Backend.h"

extern char** environ;

namespace lumo::dialog {

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

int RunDesktopDialog(const char* standIn, const std::vector<std::string>& zenityArgs,
                     const std::vector<std::string>& kdialogArgs, std::string* output, std::string* tried) {
  const char* custom = std::getenv(standIn);
  if (custom != nullptr && *custom) {
    *tried = custom;
    return RunDialogProgram(custom, zenityArgs, output);
  }
  *tried = "neither zenity nor kdialog";
  const int status = RunDialogProgram("zenity", zenityArgs, output);
  return status == -1 ? RunDialogProgram("kdialog", kdialogArgs, output) : status;
}

}  // namespace lumo::dialog
