#include "win/settings_file.h"

#include "win/error.h"
#include "win/file_io.h"

namespace {
std::string AsText(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }
}  // namespace

std::optional<TIniText> TSettingsFile::Read(bool* damaged) const {
  if (damaged) *damaged = false;
  if (!win::FileExists(path_)) return std::nullopt;
  std::string text;
  try {
    text = AsText(win::ReadFileBytes(path_));
  } catch (const EFOpenError&) {
    return std::nullopt;
  }
  std::optional<TIniText> ini = TIniText::Parse(text);
  if (damaged) *damaged = !ini;
  return ini;
}

void TSettingsFile::Update(const std::function<void(TIniText&)>& change) const {
  const bool exists = win::FileExists(path_);
  const std::string before = exists ? AsText(win::ReadFileBytes(path_)) : std::string();
  std::optional<TIniText> read = exists ? TIniText::Parse(before) : std::nullopt;
  TIniText ini = read ? *read : TIniText();
  change(ini);
  if (read ? ini == *read : ini == TIniText()) return;  // nothing changed (line ends aside)
  const std::string after = ini.Text();
  win::WriteFileReplacing(path_, {reinterpret_cast<const std::uint8_t*>(after.data()), after.size()},
                          exists && !read ? path_ + ".bak" : std::string());
}
