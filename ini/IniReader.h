#pragma once
// The one reader of the sectioned settings files ("[section]" headers and
// "key=value" lines) that Gannet and Quiver share. Lines starting with ";"
// are comments; key lines before the first header, under a header with an
// empty name or without "=" count for nothing. The two forms in use differ
// where the files written for each rely on it:
//   Loose (w3skua.ini, written by hand): every line is trimmed of blanks
//     (space, tab, CR, LF, VT, FF); "[" opens a header whose name runs to
//     the first "]" or the line's end, trimmed; keys and values are trimmed;
//     section and key names are found without regard to case.
//   Exact (Quiver's own settings file, which it rewrites): blanks are space
//     and tab, and a line loses one CR before its LF; a header is a whole
//     "[name]" line whose name is kept as written; keys are trimmed, values
//     kept exactly as written after "=", so their blanks survive a rewrite;
//     names are found as written.
// Nothing that a file holds makes the reader fail or throw (but for memory).

#include <string>
#include <string_view>
#include <vector>

namespace ini {

class CIniReader {
 public:
  enum class Form { Loose, Exact };

  struct Entry {
    std::string section;
    std::string key;
    std::string value;
  };

  CIniReader(std::string_view text, Form form);

  // The file at path; one that is missing or cannot be read reads as empty.
  static CIniReader FromFile(const std::string& path, Form form);

  // `text` without the form's blanks at either end.
  static std::string_view Trim(std::string_view text, Form form);

  // Every key line in file order, equal keys included.
  const std::vector<Entry>& Entries() const { return m_entries; }

  // The value of the first such key in the section (headers of the same
  // name count as one section); null when there is none.
  const std::string* Find(std::string_view section, std::string_view key) const;

  // The key names of the section in file order; empty when it is missing.
  std::vector<std::string> Keys(std::string_view section) const;

 private:
  bool SameName(std::string_view a, std::string_view b) const;

  Form m_form;
  std::vector<Entry> m_entries;
};

}  // namespace ini
