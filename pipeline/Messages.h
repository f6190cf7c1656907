#pragma once
// The two routines through which the program tells the user about a problem.
// Both go to the current CMessageBox (platform/MessageBox.h).

#include <cstdint>
#include <string>

// Formats like printf and shows the result as a warning.
void ShowWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Shows context + ": " + the system's message for `code`, followed by
// `detail` when given (what a server said, say); a code of 0 stands for the
// thread's pending last error.
void ReportSystemError(const std::string& context, uint32_t code, const std::string& detail = "");
