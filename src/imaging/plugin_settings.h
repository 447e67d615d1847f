// The settings file of the plug-in choice: which formats the user withdrew, kept beside the
// album library under the executable's name with ".ini" and read at start.
#pragma once
#include <string>

#include "imaging/format_choice.h"

class TPluginSettings {
 public:
  TPluginSettings() = default;
  explicit TPluginSettings(std::string path) : path_(std::move(path)) {}
  const std::string& Path() const { return path_; }

  // The choice in the file; a missing, unreadable or damaged file means every format in use.
  TFormatChoice Load();
  // Writes the choice in place of the file, safely. A file that was there but could not be
  // read as settings is first kept aside as the path with ".bak" appended.
  void Save(const TFormatChoice& choice);

 private:
  std::string path_;
  bool keepAside_ = true;  // the file on disk (if any) was not read whole
};
