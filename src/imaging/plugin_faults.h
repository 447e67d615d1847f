// What a run keeps of plug-in faults: the files each plug-in faulted on (it is not asked for
// them again this run), when a plug-in is set aside for good, and the status bar's account of
// the faults, with names, summed up per folder.
//
// A plug-in that runs in a helper costs only the file it faulted on: the helper is started
// anew and the plug-in stays in use, until it faults on kSetAsideAfter different files in a
// row. One that faulted inside Quiran is set aside at once: its fault may have damaged
// Quiran's own memory.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// One fault, as the manager reports it.
struct TPluginFault {
  std::string Plugin;    // the plug-in library's path
  std::string File;      // the picture file being read; empty when none (the plug-in was being loaded)
  bool InProcess = false;  // it ran inside Quiran, not in a helper
  bool SetAside = false;   // the plug-in is not used again this run
};

class TPluginFaults {
 public:
  static constexpr int kSetAsideAfter = 3;

  // Notes a fault of the plug-in on the file; answers it with SetAside filled in.
  TPluginFault Note(const std::string& plugin, const std::string& file, bool inProcess);
  // The plug-in read a file without faulting: its run of faults ends.
  void NoteSuccess(const std::string& plugin);
  // True when the plug-in faulted on this file earlier in the run.
  bool FailedOn(const std::string& plugin, const std::string& file) const;
  bool Empty() const { return faults_.empty(); }

  // The status bar's text after the latest fault: the plug-in and the file, or, after several
  // faults in the latest fault's folder, their number and each plug-in with its first file.
  // A plug-in set aside, and a fault inside Quiran, are said too.
  std::string Summary() const;

 private:
  struct Run {
    std::string Plugin;
    std::vector<std::string> Files;  // the different files of the run of faults, in order
  };
  Run& RunOf(const std::string& plugin);

  std::vector<TPluginFault> faults_;  // every fault of the run, in order
  std::vector<Run> runs_;             // per plug-in
};
