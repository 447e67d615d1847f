// The settings file of the plug-ins: which formats the user withdrew, and where plug-ins run;
// kept beside the album library under the executable's name with ".ini" and read at start.
#pragma once
#include <string>

#include "imaging/format_choice.h"

class TPluginSettings {
 public:
  TPluginSettings() = default;
  explicit TPluginSettings(std::string path) : path_(std::move(path)) {}
  const std::string& Path() const { return path_; }

  // The choice in the file; a missing, unreadable or damaged file means every format in use
  // (and plug-ins in their helpers).
  TFormatChoice Load();
  // Whether the file read last asks for plug-ins inside Quiran.
  bool InProcess() const { return inProcess_; }
  // Writes the choice in place of the file, safely, with the place of plug-ins as it was
  // read. A file that was there but could not be read as settings is first kept aside as the
  // path with ".bak" appended.
  void Save(const TFormatChoice& choice);

 private:
  std::string path_;
  bool inProcess_ = false;
  bool keepAside_ = true;  // the file on disk (if any) was not read whole
};
