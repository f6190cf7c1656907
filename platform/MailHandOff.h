#pragma once
// Handing a message to the desktop's mail program, through xdg-email: the
// program the desktop has for mailto: links opens a new message with the
// subject, the body and the attachment filled in, for the user to address
// and send. Nothing is sent from here.

#include <string>

// Starts xdg-email for one message with `attachment` (an absolute path)
// attached and returns without waiting for the mail program, whose process
// is collected in the background. False, with the thread's last error set,
// when xdg-email cannot be started (ERROR_FILE_NOT_FOUND when it is not
// installed).
bool HandToMailProgram(const std::string& attachment, const std::string& subject,
                       const std::string& body);
