// Quiran's settings file (the album library's path with ".ini"), shared by the parts of the
// program that keep a setting there: each reads the file, and each change is made to the file
// as it is on disk at that moment, so one part's writing never drops another's lines.
#pragma once
#include <functional>
#include <string>

#include "win/ini_text.h"

class TSettingsFile {
 public:
  TSettingsFile() = default;
  explicit TSettingsFile(std::string path) : path_(std::move(path)) {}
  const std::string& Path() const { return path_; }

  // The file's settings; nothing when the file is missing, cannot be read or is not a
  // settings file (damaged is then set true for a file that was read but is no settings).
  std::optional<TIniText> Read(bool* damaged = nullptr) const;
  // Reads the file afresh, lets change alter its settings, and puts the result in place of the
  // file, safely, when its text differs from the file's. A file that is not a settings file is
  // kept aside as the path with ".bak" appended, and change starts from empty settings. Raises
  // EFOpenError when the file is there but cannot be read (nothing is written then) and
  // EFCreateError when it cannot be written.
  void Update(const std::function<void(TIniText&)>& change) const;

 private:
  std::string path_;
};
