// The text of a settings file (Quiran.ini): sections under "[Name]" headers holding
// "Key=Value" lines and lines of their own kind (comments, lists). Each part of the program
// reads and changes only its own sections and keys; every other line is kept as it stands,
// so the file can be written by one part without losing what another keeps there.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TIniText {
 public:
  // Text that is not a settings file answers nothing: no section at all, a line before the
  // first section that is neither blank nor a comment (";"), a section named twice, or a last
  // line cut short (every line ends with LF; CR LF or LF alike).
  static std::optional<TIniText> Parse(std::string_view text);
  // The text, CR LF lines, sections in the order they were read or added.
  std::string Text() const;

  bool HasSection(std::string_view section) const;
  // The lines after the section's header (blank and comment lines included); empty when the
  // section is missing.
  std::vector<std::string> Lines(std::string_view section) const;
  // Replaces the section's lines, adding the section at the end when it is missing.
  void SetLines(std::string_view section, std::vector<std::string> lines);

  // The value of the key's first "Key=Value" line in the section (the key matched exactly).
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;
  // Sets the key's first line, or adds one after the section's last non-blank line (adding
  // the section when missing).
  void SetValue(std::string_view section, std::string_view key, std::string_view value);

  friend bool operator==(const TIniText&, const TIniText&) = default;

 private:
  struct Section {
    std::string Name;
    std::vector<std::string> Lines;
    friend bool operator==(const Section&, const Section&) = default;
  };
  const Section* Find(std::string_view name) const;
  Section& Get(std::string_view name);

  std::vector<std::string> preamble_;  // blank and comment lines before the first section
  std::vector<Section> sections_;
};
