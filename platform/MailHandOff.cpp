#include "platform/MailHandOff.h"

#include <spawn.h>

#include <vector>

#include "platform/Process.h"
#include "platform/SystemError.h"

extern char** environ;

bool HandToMailProgram(const std::string& attachment, const std::string& subject,
                       const std::string& body) {
  std::vector<std::string> args = {"xdg-email", "--utf8",   "--subject", subject,
                                   "--body",    body,       "--attach",  attachment};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int err = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
  if (err != 0) {
    SetLastErrorFromErrno(err);
    return false;
  }
  // xdg-email may stay as long as the mail program it started.
  CProcess(pid).Release();
  return true;
}
