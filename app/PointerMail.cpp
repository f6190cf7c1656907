#include "app/PointerMail.h"

#include <climits>
#include <cstdlib>

#include "platform/MailHandOff.h"

namespace {

std::string BaseName(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// The mail program may start from another folder: the attachment needs its
// whole path.
std::string Absolute(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

std::string Subject(const std::string& sentName) { return BaseName(sentName); }

std::string Body(const std::string& pointerFile, const std::string& sentName,
                 const std::string& link) {
  return "Here is " + BaseName(sentName) + ".\n\nOpen it in any web browser:\n" + link +
         "\n\nWith Quiver, you can also open the attached " + BaseName(pointerFile) + ".\n";
}

}  // namespace

bool MailPointerFile(const std::string& pointerFile, const std::string& sentName,
                     const std::string& link) {
  return HandToMailProgram(Absolute(pointerFile), Subject(sentName),
                           Body(pointerFile, sentName, link));
}

