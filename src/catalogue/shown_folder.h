// The folder the thumbnail list shows: its picture files with their entries (the list's
// items, in list order), read from the folder's catalogue and cache when it is shown, made
// where missing, and written back when it is left.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/catalogue_file.h"
#include "catalogue/file_sort.h"
#include "catalogue/picture_entry.h"
#include "catalogue/thumbnail_maker.h"

class TGaugeForm;
namespace win {
class ReplacingFile;
}

// The folder's catalogue "Quiran.cf0" as a list in file order; empty when there is none.
// check (when given) receives the check of its bytes, which the cache names.
TCatalogue ReadCatalogue(const std::string& folder, std::uint32_t* check = nullptr);
// Writes a catalogue into a new version of "Quiran.cf0"; returns its check.
std::uint32_t WriteCatalogue(win::ReplacingFile& file, const TCatalogue& catalogue);

class TShownFolder {
 public:
  // The list's items: item i is the list's item i.
  TFileItems Items;

  // The folder shown, with a trailing "\"; empty when none.
  const std::string& Path() const { return path_; }
  // True while thumbnails are being made (messages are let through meanwhile: the caller
  // must not close, sort or reload the folder until it returns).
  bool Busy() const { return busy_; }

  // LoadFolder: reads the catalogue, scans the folder, shows the progress dialog and disables
  // mainWindow, reads the cache, merges catalogue and scan (a catalogue entry whose file is
  // gone is dropped), then makes the missing thumbnails in list order until the user cancels.
  // The window is enabled and the dialog hidden again in every case. Returns the number of files.
  int Load(const std::string& folder, TGaugeForm& gauge, HWND mainWindow, int colorDepth);

  // CloseShownFolder's writing: the catalogue and the cache, in list order, both put in place
  // together; then every item is released. Writes nothing when no item is listed. When the
  // files cannot be written (a read-only folder) and the user changed nothing here since the
  // folder was shown, the folder is left quietly; otherwise the error is raised and the folder
  // stays shown, so the user may try again; a second failure without a new change leaves it.
  void Close();

  // N8Click: makes the thumbnails the items lack, in list order, with the progress dialog,
  // until the user cancels. Existing thumbnails are not made again.
  void MakeMissingThumbnails(TGaugeForm& gauge, int colorDepth);
  // N6Click: makes item i's thumbnail again, keeping its comment and date. When it cannot be
  // made the item keeps its old entry and the error is raised.
  void RemakeThumbnail(std::size_t i, int colorDepth);

  // N21Click's storing: item i takes the date and the comment, cut at the last whole character
  // within 255 bytes. An item without thumbnail gets a new entry made from its file first; when
  // that cannot be made the item stays as it was and the error is raised.
  void SetNote(std::size_t i, double date, const std::string& comment, int colorDepth);
  // A viewer's thumbnail: item i gets a thumbnail when it has none, with the picture's pixel
  // size; an existing entry keeps its date and comment. When it cannot be made the item stays
  // as it was and the error is raised. Returns the item's entry.
  const TPictureEntry& EnsureThumbnail(std::size_t i, int colorDepth);

  // Reorders the items by the kind.
  void SortFiles(TSortKind kind);

  // True when the user changed something that only the folder's files would keep: a date or
  // comment, or a thumbnail made since the folder was shown.
  bool Changed() const;

  // For benchmarks: when set, making thumbnails notes for each item where its time went.
  std::vector<TThumbnailTimes>* Times = nullptr;

 private:
  // Makes the thumbnails the items lack, in list order, showing progress, until cancelled;
  // returns how many were made.
  int MakeThumbnails(TGaugeForm& gauge, int colorDepth);
  // Gives the item a new entry made from its file, keeping its date and comment; the old
  // entry stays when the new one cannot be made (the error is raised).
  void Remake(TFileItem& item, int colorDepth);
  void Release();
  void NoteSaved();

  std::string path_;
  bool busy_ = false;
  bool thumbnailsMade_ = false;
  // Each item's date and comment as they were when the folder was shown (or last written).
  std::map<std::string, std::pair<double, std::string>> notes_;
};
