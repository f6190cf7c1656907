#include "remote/Netrc.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/FileHandle.h"
#include "platform/SystemError.h"

namespace {

// More than any hand-written file holds; a larger one is not read at all.
constexpr off_t kMaxSize = 1 << 20;

std::string NetrcPath() {
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/.netrc";
  const passwd* pw = getpwuid(getuid());
  return pw && pw->pw_dir ? std::string(pw->pw_dir) + "/.netrc" : "";
}

std::string Refusal(const std::string& path, const struct stat& st) {
  const std::string fix = "make it private with chmod 600 " + path + ".";
  if (st.st_uid != getuid()) {
    return path + " belongs to another user: Quiver does not use it; make it your own and " + fix;
  }
  char mode[8];
  snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(st.st_mode & 07777));
  const char* what = (st.st_mode & 044)   ? "readable by"
                     : (st.st_mode & 022) ? "writable by"
                                          : "open to";
  return path + " is " + what + " others (mode " + mode + "): Quiver does not use it; " + fix;
}

// The file's bytes, when it exists, is private and can be read. False with
// `error` empty when it does not exist.
bool ReadPrivateFile(const std::string& path, std::string& text, std::string& error) {
  CFileHandle file;
  if (!file.OpenForReading(path, FileShare::ReadWrite)) {
    const uint32_t code = GetLastError();
    if (code != ERROR_FILE_NOT_FOUND && code != ERROR_PATH_NOT_FOUND) {
      error = path + " cannot be read: " + SystemErrorMessage(code);
    }
    return false;
  }
  struct stat st;
  if (fstat(file.Descriptor(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxSize) {
    error = path + " cannot be read: it is not a file of credentials.";
    return false;
  }
  if (st.st_uid != getuid() || (st.st_mode & 077) != 0) {
    error = Refusal(path, st);
    return false;
  }
  text.resize(static_cast<size_t>(st.st_size));
  size_t got = 0;
  if (!file.Read(text.data(), text.size(), got)) {
    error = path + " cannot be read: " + SystemErrorMessage(GetLastError());
    return false;
  }
  text.resize(got);
  return true;
}

// Splits the file into tokens as curl does: blanks and line breaks separate
// them, a double-quoted token may hold blanks and backslash escapes, a line
// whose first token begins with "#" is a comment, and the body of a "macdef"
// runs up to the next empty line.
class CTokenizer {
 public:
  explicit CTokenizer(const std::string& text) : m_text(text) {}

  bool Next(std::string& token) {
    SkipBlanks();
    if (m_pos >= m_text.size()) return false;
    token.clear();
    if (m_text[m_pos] == '"') return Quoted(token);
    while (m_pos < m_text.size() && !IsBlank(m_text[m_pos])) token += m_text[m_pos++];
    return true;
  }

  // Moves past the rest of the current line and the lines after it, up to
  // and including the first empty one.
  void SkipMacro() {
    m_pos = m_text.find('\n', m_pos);
    while (m_pos != std::string::npos) {
      const size_t end = m_text.find('\n', m_pos + 1);
      const std::string line =
          m_text.substr(m_pos + 1, end == std::string::npos ? end : end - m_pos - 1);
      m_pos = end;
      if (line.empty() || line == "\r") break;
    }
    if (m_pos == std::string::npos) m_pos = m_text.size();
  }

 private:
  static bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
  }

  void SkipBlanks() {
    while (m_pos < m_text.size()) {
      const bool lineStart = m_pos == 0 || m_text[m_pos - 1] == '\n';
      if (IsBlank(m_text[m_pos])) {
        ++m_pos;
      } else if (lineStart && m_text[m_pos] == '#') {
        m_pos = std::min(m_text.find('\n', m_pos), m_text.size());
      } else {
        return;
      }
    }
  }

  bool Quoted(std::string& token) {
    for (++m_pos; m_pos < m_text.size() && m_text[m_pos] != '"'; ++m_pos) {
      char c = m_text[m_pos];
      if (c == '\\' && m_pos + 1 < m_text.size()) {
        c = m_text[++m_pos];
        c = c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
      }
      token += c;
    }
    ++m_pos;  // the closing quote, when there is one
    return true;
  }

  const std::string& m_text;
  size_t m_pos = 0;
};

struct Entry {
  bool isDefault = false;
  std::string machine;
  std::string login;
  std::string password;
};

std::vector<Entry> ParseEntries(const std::string& text) {
  std::vector<Entry> entries;
  CTokenizer tokens(text);
  std::string token;
  std::string value;
  while (tokens.Next(token)) {
    if (token == "machine" || token == "default") {
      entries.emplace_back();
      entries.back().isDefault = token == "default";
      if (!entries.back().isDefault && tokens.Next(value)) entries.back().machine = value;
    } else if (token == "macdef") {
      tokens.Next(value);
      tokens.SkipMacro();
    } else if ((token == "login" || token == "password" || token == "account") &&
               tokens.Next(value) && !entries.empty()) {
      if (token == "login") entries.back().login = value;
      if (token == "password") entries.back().password = value;
    }
  }
  return entries;
}

// An entry without a login serves any user, as in curl.
bool Matches(const Entry& e, const std::string& host, const std::string& user, bool defaults) {
  if (e.isDefault != defaults) return false;
  if (!defaults && strcasecmp(e.machine.c_str(), host.c_str()) != 0) return false;
  return user.empty() || e.login.empty() || e.login == user;
}

}  // namespace

bool FindNetrcLogin(const std::string& host, const std::string& user, NetrcLogin& login,
                    std::string& error) {
  error.clear();
  const std::string path = NetrcPath();
  std::string text;
  if (path.empty() || !ReadPrivateFile(path, text, error)) return false;
  const std::vector<Entry> entries = ParseEntries(text);
  for (bool defaults : {false, true}) {
    for (const Entry& e : entries) {
      if (!Matches(e, host, user, defaults)) continue;
      login.user = e.login.empty() ? user : e.login;
      login.password = e.password;
      return true;
    }
  }
  return false;
}
