#include "imaging/plugin_faults.h"

#include <algorithm>

#include "win/error.h"
#include "win/sjis.h"

namespace {

bool SameFolder(const std::string& a, const std::string& b) {
  return sjis::SameTextAscii(sjis::ExtractFilePath(a), sjis::ExtractFilePath(b));
}

std::string NameOf(const std::string& path) { return std::string(sjis::ExtractFileName(path)); }

}  // namespace

TPluginFaults::Run& TPluginFaults::RunOf(const std::string& plugin) {
  for (Run& r : runs_)
    if (sjis::SameTextAscii(r.Plugin, plugin)) return r;
  runs_.push_back({plugin, {}});
  return runs_.back();
}

TPluginFault TPluginFaults::Note(const std::string& plugin, const std::string& file, bool inProcess) {
  TPluginFault f{plugin, file, inProcess, inProcess};
  Run& run = RunOf(plugin);
  const bool seen = std::any_of(run.Files.begin(), run.Files.end(),
                                [&](const std::string& x) { return sjis::SameTextAscii(x, file); });
  if (!seen) run.Files.push_back(file);
  // Faults while the plug-in is being loaded (no file) are one fault too many to go on with.
  if (file.empty() || static_cast<int>(run.Files.size()) >= kSetAsideAfter) f.SetAside = true;
  faults_.push_back(f);
  return f;
}

void TPluginFaults::NoteSuccess(const std::string& plugin) {
  for (Run& r : runs_)
    if (sjis::SameTextAscii(r.Plugin, plugin)) r.Files.clear();
}

bool TPluginFaults::FailedOn(const std::string& plugin, const std::string& file) const {
  return std::any_of(faults_.begin(), faults_.end(), [&](const TPluginFault& f) {
    return !file.empty() && sjis::SameTextAscii(f.Plugin, plugin) && sjis::SameTextAscii(f.File, file);
  });
}

std::string TPluginFaults::Summary() const {
  if (faults_.empty()) return {};
  const TPluginFault& last = faults_.back();
  const char* const restart = "。Quiran を再起動してください";
  if (last.File.empty())
    return Format("%s の読み込み中に異常が起きたため、このプラグインは使いません", {NameOf(last.Plugin)}) +
           (last.InProcess ? restart : "");
  // The faults in the latest fault's folder, grouped by plug-in in the order they first faulted.
  struct Group {
    std::string Plugin, FirstFile;
    int Files = 0;
    bool SetAside = false;
  };
  std::vector<Group> groups;
  int count = 0;
  bool inProcess = false;
  for (const TPluginFault& f : faults_) {
    if (f.File.empty() || !SameFolder(f.File, last.File)) continue;
    ++count;
    inProcess = inProcess || f.InProcess;
    auto g = std::find_if(groups.begin(), groups.end(),
                          [&](const Group& x) { return sjis::SameTextAscii(x.Plugin, f.Plugin); });
    if (g == groups.end()) g = groups.insert(groups.end(), Group{f.Plugin, f.File});
    ++g->Files;
    g->SetAside = g->SetAside || f.SetAside;
  }
  std::string text;
  if (count == 1) {
    text = Format("%s が %s で異常を起こしました", {NameOf(last.Plugin), NameOf(last.File)});
    if (last.SetAside) text += "。このプラグインは使いません";
  } else {
    text = Format("プラグインの異常 %d 件:", {std::to_string(count)});
    for (const Group& g : groups) {
      text += " " + NameOf(g.Plugin) + " (" + NameOf(g.FirstFile);
      if (g.Files > 1) text += Format(" ほか %d 件", {std::to_string(g.Files - 1)});
      text += g.SetAside ? "、停止)" : ")";
    }
  }
  if (inProcess) text += restart;
  return text;
}
