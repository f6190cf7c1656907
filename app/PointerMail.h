#pragma once
// The message that carries a pointer file: handed to the desktop's mail
// program with the pointer file attached and its link in the text, so that
// a receiver without Quiver opens the file in a web browser.

#include <string>

// Opens a new message in the mail program for the pointer file `pointerFile`
// of the sent file named `sentName`, whose link is `link`; the user
// addresses and sends it. False, with the thread's last error set, when the
// mail program cannot be reached (platform/MailHandOff.h).
bool MailPointerFile(const std::string& pointerFile, const std::string& sentName,
                     const std::string& link);

