// The folder the thumbnail list shows: its picture files with their entries (the list's
// items, in list order), read from the folder's catalogue and cache when it is shown, made
// where missing, and written back when it is left: only what this run changed, applied over
// what stands on disk then (see catalogue_merge.h), the cache first and the catalogue second.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/catalogue_file.h"
#include "catalogue/file_sort.h"
#include "catalogue/picture_entry.h"
#include "catalogue/thumbnail_maker.h"
#include "win/busy_scope.h"

class TGaugeForm;

class TShownFolder {
 public:
  // The list's items: item i is the list's item i.
  TFileItems Items;

  // The folder shown, with a trailing "\"; empty when none.
  const std::string& Path() const { return path_; }
  // True while work that lets window messages through runs on the folder (thumbnails being
  // made, a plug-in's call): meanwhile the folder is not loaded, closed, sorted or changed by
  // anything those messages start (EAbort, or nothing happens).
  bool Busy() const { return busy_ > 0; }
  // Holds the folder busy while a caller makes such a call itself (a viewer loading the
  // picture of an item).
  class Hold : public win::BusyScope {
   public:
    explicit Hold(TShownFolder& folder) : BusyScope(folder.busy_) {}
  };

  // LoadFolder: reads the catalogue, scans the folder, shows the progress dialog and disables
  // mainWindow, reads the cache, matches each file with its own entry, then makes the missing
  // thumbnails in list order until the user cancels. Temporary files left by a writer that was
  // stopped are removed first. The window is enabled and the dialog hidden again in every
  // case. A failure lists nothing. Returns the number of files.
  int Load(const std::string& folder, TGaugeForm& gauge, HWND mainWindow, int colorDepth);

  // Writes what this run changed since the folder was shown or last saved (nothing when
  // nothing changed), over what the folder's files hold now: the cache first, then the
  // catalogue. Allowed while busy (the items stay as they are). Raises EFCreateError when a
  // date or comment typed here could not be stored. Returns a notice when they were stored but
  // the thumbnails could not be; thumbnails alone that cannot be stored (a read-only folder)
  // are not reported: they are made again on the next visit.
  std::string Save();
  // CloseShownFolder's writing: Save, then every item is released. When Save raises, the
  // folder stays shown with everything typed (see LeaveShownFolder).
  std::string Close();
  // Leaves without writing: what was changed since the last save is given up.
  void CloseWithoutSaving();

  // N8Click: makes the thumbnails the items lack, in list order, with the progress dialog,
  // until the user cancels. Existing thumbnails are not made again.
  void MakeMissingThumbnails(TGaugeForm& gauge, int colorDepth);
  // N6Click: makes item i's thumbnail again, keeping its comment and date. When it cannot be
  // made the item keeps its old entry and the error is raised.
  void RemakeThumbnail(std::size_t i, int colorDepth);

  // N21Click's storing: item i takes the date and the comment, cut at the last whole character
  // within 255 bytes. An item without thumbnail gets one made from its file first; when the
  // picture cannot be decoded the date and comment are stored all the same, in an entry
  // without thumbnail, and an error saying so is raised.
  void SetNote(std::size_t i, double date, const std::string& comment, int colorDepth);
  // A viewer's thumbnail: item i gets a thumbnail when it has none, with the picture's pixel
  // size; an existing entry keeps its date and comment. When it cannot be made the item stays
  // as it was and the error is raised. Returns the item's entry.
  const TPictureEntry& EnsureThumbnail(std::size_t i, int colorDepth);

  // Reorders the items by the kind.
  void SortFiles(TSortKind kind);

  // True when something is not stored yet: a date or comment typed, or a thumbnail made.
  bool Changed() const;

  // For benchmarks: when set, making thumbnails notes for each item where its time went.
  std::vector<TThumbnailTimes>* Times = nullptr;

 private:
  int MakeThumbnails(TGaugeForm& gauge, int colorDepth);
  // Gives item i a new entry made from its file, keeping its date and comment; the old entry
  // stays when the new one cannot be made (the error is raised).
  void Remake(std::size_t i, int colorDepth);
  void Release();

  std::string path_;
  int busy_ = 0;
  std::uint32_t readCheck_ = 0;  // the check of the catalogue as read (or last written)
};

// Leaves the shown folder as the main window does: writes it, shows a notice Save gives, and
// when the writing fails asks to try again ("はい"), to leave without saving ("いいえ") or,
// when mayStay, to stay ("キャンセル"). Every failure is asked about again. False when the
// user chose to stay. Raises EAbort while the folder is busy.
bool LeaveShownFolder(TShownFolder& folder, HWND owner, bool mayStay);
