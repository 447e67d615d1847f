#include "win/ini_text.h"

#include <algorithm>

#include "win/sjis.h"

namespace {

// "[Name]" gives Name. The closing bracket is found as a character: a double-byte
// character's trail byte may be 0x5D.
std::optional<std::string_view> SectionName(std::string_view line) {
  if (line.size() < 2 || line.front() != '[' || !sjis::EndsWithChar(line, ']')) return std::nullopt;
  return line.substr(1, line.size() - 2);
}

// The key of a "Key=Value" line. '=' is never a trail byte, so it is searched byte by byte.
std::optional<std::string_view> KeyOf(std::string_view line) {
  if (line.empty() || line.front() == ';') return std::nullopt;
  const std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return line.substr(0, eq);
}

bool IsBlankOrComment(std::string_view line) { return line.empty() || line.front() == ';'; }

}  // namespace

std::optional<TIniText> TIniText::Parse(std::string_view text) {
  if (text.empty() || text.back() != '\n') return std::nullopt;
  TIniText ini;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (std::optional<std::string_view> name = SectionName(line)) {
      if (ini.Find(*name)) return std::nullopt;
      ini.sections_.push_back({std::string(*name), {}});
    } else if (!ini.sections_.empty()) {
      ini.sections_.back().Lines.emplace_back(line);
    } else if (IsBlankOrComment(line)) {
      ini.preamble_.emplace_back(line);
    } else {
      return std::nullopt;
    }
  }
  if (ini.sections_.empty()) return std::nullopt;
  return ini;
}

std::string TIniText::Text() const {
  std::string out;
  for (const std::string& line : preamble_) out += line + "\r\n";
  for (const Section& s : sections_) {
    out += "[" + s.Name + "]\r\n";
    for (const std::string& line : s.Lines) out += line + "\r\n";
  }
  return out;
}

const TIniText::Section* TIniText::Find(std::string_view name) const {
  auto it = std::find_if(sections_.begin(), sections_.end(), [&](const Section& s) { return s.Name == name; });
  return it == sections_.end() ? nullptr : &*it;
}

TIniText::Section& TIniText::Get(std::string_view name) {
  if (const Section* s = Find(name)) return const_cast<Section&>(*s);
  return sections_.emplace_back(Section{std::string(name), {}});
}

bool TIniText::HasSection(std::string_view section) const { return Find(section) != nullptr; }

std::vector<std::string> TIniText::Lines(std::string_view section) const {
  const Section* s = Find(section);
  return s ? s->Lines : std::vector<std::string>{};
}

void TIniText::SetLines(std::string_view section, std::vector<std::string> lines) { Get(section).Lines = std::move(lines); }

std::optional<std::string> TIniText::Value(std::string_view section, std::string_view key) const {
  if (const Section* s = Find(section))
    for (const std::string& line : s->Lines)
      if (KeyOf(line) == key) return line.substr(key.size() + 1);
  return std::nullopt;
}

void TIniText::SetValue(std::string_view section, std::string_view key, std::string_view value) {
  Section& s = Get(section);
  std::string line = std::string(key) + "=" + std::string(value);
  for (std::string& l : s.Lines)
    if (KeyOf(l) == key) {
      l = std::move(line);
      return;
    }
  // After the last line with content: a blank line that separates the sections stays last.
  auto last = std::find_if(s.Lines.rbegin(), s.Lines.rend(), [](const std::string& l) { return !l.empty(); });
  s.Lines.insert(last.base(), std::move(line));
}
