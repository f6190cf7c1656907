#include "pipeline/Messages.h"

#include "platform/MessageBox.h"
#include "platform/SystemError.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

void ShowWarning(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::vector<char> text(static_cast<size_t>(length > 0 ? length : 0) + 1);
  std::vsnprintf(text.data(), text.size(), format, again);
  va_end(again);
  CMessageBox::Current().Warning(text.data());
}

void ReportSystemError(const std::string& context, uint32_t code, const std::string& detail) {
  if (code == 0) code = GetLastError();
  ShowWarning("%s: %s%s%s", context.c_str(), SystemErrorMessage(code).c_str(),
              detail.empty() ? "" : " ", detail.c_str());
}
