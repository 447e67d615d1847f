#include "catalogue/picture_entry.h"

#include "win/sjis.h"

std::string FolderFilePath(const std::string& folder, const std::string& name) {
  if (folder.empty() || sjis::EndsWithChar(folder, '\\')) return folder + name;
  return folder + '\\' + name;
}
