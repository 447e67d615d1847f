// The settings file of the plug-ins: which formats the user withdrew, and where plug-ins run;
// kept beside the album library under the executable's name with ".ini" and read at start.
#pragma once
#include <string>

#include "imaging/format_choice.h"
#include "win/settings_file.h"

class TPluginSettings {
 public:
  TPluginSettings() = default;
  explicit TPluginSettings(std::string path) : file_(std::move(path)) {}
  const std::string& Path() const { return file_.Path(); }

  // The choice in the file; a missing, unreadable or damaged file means every format in use
  // (and plug-ins in their helpers).
  TFormatChoice Load();
  // Whether the file read last asks for plug-ins inside Quiran.
  bool InProcess() const { return inProcess_; }
  // Writes the choice into the file as it is on disk now, safely, changing nothing else in
  // it. A file that is not a settings file is first kept aside as the path with ".bak"
  // appended.
  void Save(const TFormatChoice& choice);

 private:
  TSettingsFile file_;
  bool inProcess_ = false;
};
