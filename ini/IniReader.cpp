#include "ini/IniReader.h"

#include <fstream>
#include <iterator>
#include <strings.h>

namespace ini {

namespace {

constexpr std::string_view kLooseBlanks = " \t\r\n\v\f";
constexpr std::string_view kExactBlanks = " \t";

// The header's name, or nothing when the line is no header in the form.
bool HeaderName(std::string_view line, CIniReader::Form form, std::string& name) {
  if (line.front() != '[') return false;
  if (form == CIniReader::Form::Exact) {
    if (line.size() < 2 || line.back() != ']') return false;
    name = line.substr(1, line.size() - 2);
    return true;
  }
  const size_t close = line.find(']');
  const size_t length = close == std::string_view::npos ? close : close - 1;
  name = CIniReader::Trim(line.substr(1, length), form);
  return true;
}

}  // namespace

CIniReader::CIniReader(std::string_view text, Form form) : m_form(form) {
  std::string section;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (form == Form::Exact && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string_view trimmed = Trim(line, form);
    if (trimmed.empty() || trimmed.front() == ';' || HeaderName(trimmed, form, section)) continue;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos || section.empty()) continue;
    const std::string_view value = line.substr(eq + 1);
    m_entries.push_back({section, std::string(Trim(line.substr(0, eq), form)),
                         std::string(form == Form::Loose ? Trim(value, form) : value)});
  }
}

CIniReader CIniReader::FromFile(const std::string& path, Form form) {
  std::ifstream in(path, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return CIniReader(text, form);
}

std::string_view CIniReader::Trim(std::string_view text, Form form) {
  const std::string_view blanks = form == Form::Loose ? kLooseBlanks : kExactBlanks;
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool CIniReader::SameName(std::string_view a, std::string_view b) const {
  if (m_form == Form::Exact) return a == b;
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

const std::string* CIniReader::Find(std::string_view section, std::string_view key) const {
  for (const Entry& e : m_entries) {
    if (SameName(e.section, section) && SameName(e.key, key)) return &e.value;
  }
  return nullptr;
}

std::vector<std::string> CIniReader::Keys(std::string_view section) const {
  std::vector<std::string> keys;
  for (const Entry& e : m_entries) {
    if (SameName(e.section, section)) keys.push_back(e.key);
  }
  return keys;
}

}  // namespace ini
