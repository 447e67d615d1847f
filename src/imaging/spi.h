// The plug-in manager: finds image plug-in libraries (*.spi), loads them, classifies them by
// the API version they report, keeps them in one ordered list and registers the picture
// formats of the image-input plug-ins in the picture-format registry.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "imaging/format_choice.h"
#include "imaging/graphics.h"
#include "imaging/info_record.h"
#include "imaging/plugin_faults.h"
#include "imaging/spi_module.h"
#include "win/error.h"

// ---- failures ----

class ESPIInvalidSPI : public Exception { using Exception::Exception; };
class ESPIInvalidAPI : public Exception { using Exception::Exception; };
class ESPIFOpenErrorSPI : public Exception { using Exception::Exception; };
class ESPIDupCreateSPIs : public Exception { using Exception::Exception; };
// A plug-in faulted inside a call (a fault it left unhandled: access violation, a
// floating-point exception, an exception of its own runtime...), its helper died or stopped
// answering during the call, or it is asked again after it was set aside. While searching it
// is treated like a file that is not a usable plug-in.
class ESPIPluginFault : public ESPIInvalidSPI {
 public:
  ESPIPluginFault(std::string message, bool inProcess) : ESPIInvalidSPI(std::move(message)), inProcess_(inProcess) {}
  // The plug-in ran inside Quiran (not in a helper) when it faulted.
  bool InProcess() const { return inProcess_; }

 private:
  bool inProcess_;
};
// A call failed for a reason that is not the plug-in's (its helper cannot be started, the
// picture is too large to hand over): only this call failed.
class ESPICallFailed : public ESPIInvalidSPI { using ESPIInvalidSPI::ESPIInvalidSPI; };

// ---- plug-in classes ----

class TSPI;
class TSPIs;
// A plug-in class: how to build one from a file. Build runs the constructor and then the
// checks and queries of construction, so that CheckAPI and CanLoad are the class's own.
using TSPIClass = std::unique_ptr<TSPI> (*)(const std::string& fileName);

class TSPI {
 public:
  static std::unique_ptr<TSPI> Create(const std::string& fileName);
  virtual ~TSPI() = default;
  TSPI(const TSPI&) = delete;
  TSPI& operator=(const TSPI&) = delete;

  // The library in Quiran's own process; null when the plug-in runs in a helper.
  HMODULE Handle() const { return module_->Handle(); }
  const std::string& FileName() const { return fileName_; }
  const std::string& APIVersion() const { return apiVersion_; }
  const std::string& PluginInfo() const { return pluginInfo_; }
  const std::vector<std::string>& Filters() const { return filters_; }
  const std::vector<std::string>& Descriptions() const { return descriptions_; }
  bool CanLoad() const { return canLoad_; }
  // True once the plug-in is set aside (TPluginFaults says when): it is not called again.
  bool SetAside() const { return setAside_; }
  // The manager whose list holds it, or null.
  TSPIs* Owner() const { return owner_; }

  // The library's exported function of that name, or null (always null in a helper).
  FARPROC GetProc(const char* name) const { return module_->Proc(name); }
  // Guarded calls: ESPIInvalidAPI when the entry point is missing, ESPIPluginFault when the
  // plug-in faults inside the call (or its helper dies or stops answering) or is set aside,
  // ESPICallFailed when the call could not be made; otherwise the plug-in's answer unchanged.
  // A fault inside Quiran sets the plug-in aside at once, and from then on every plug-in of
  // the run goes to its helper (where one can be started).
  int GetPluginInfo(int infoNo, LPSTR buffer, int bufferLength);

  // Format pairs read at construction are limited to this many: a plug-in that answers every
  // number would otherwise be asked for ever.
  static constexpr int kMaxFormats = 256;

 protected:
  explicit TSPI(const std::string& fileName);
  // Builds an object of class T from the file: every step of construction.
  template <class T>
  static std::unique_ptr<TSPI> Build(const std::string& fileName) {
    std::unique_ptr<TSPI> spi(new T(fileName));
    spi->Construct();
    return spi;
  }
  virtual void CheckAPI();
  virtual bool ClassCanLoad() const { return false; }
  // ESPIInvalidAPI naming the function when the library lacks it.
  void Require(SpiEntry entry, const char* name) const;
  // Runs a plug-in call, turning its fault into ESPIPluginFault.
  template <class F>
  auto Guarded(const char* name, F call) -> decltype(call());
  // After a fault inside Quiran, a plug-in still inside goes to its helper before its next call.
  void LeaveProcessAfterFault();

  std::unique_ptr<SpiModule> module_;

 private:
  friend class TSPIs;
  void Construct();
  std::string Info(int infoNo, bool* answered);

  std::string fileName_, apiVersion_, pluginInfo_;
  std::vector<std::string> filters_, descriptions_;
  bool canLoad_ = false;
  bool setAside_ = false;
  bool leaveTried_ = false;
  TSPIs* owner_ = nullptr;
};

// Plug-ins that read files.
class TLoaderSPI : public TSPI {
 public:
  // data: the file's first bytes, at least 2048 readable.
  int IsSupported(LPCSTR fileName, const void* data);
  int IsSupported(LPCSTR fileName, const SpiData& data);

 protected:
  using TSPI::TSPI;
  void CheckAPI() override;
};

// Image-input plug-ins ("00IN").
class TInSPI : public TLoaderSPI {
 public:
  static std::unique_ptr<TSPI> Create(const std::string& fileName) { return Build<TInSPI>(fileName); }
  // The plug-in's calls with flag 1 (the data is in memory): the record's fields and text;
  // the picture (null when its output was no usable pair of blocks), which frees the
  // plug-in's blocks when it goes. Progress reaches the callback with the user value;
  // listened says whether anyone attends to it.
  int GetPictureInfo(const SpiData& data, SpiPictureFacts& facts);
  int GetPicture(const SpiData& data, SpiProgressCallback progress, LONG_PTR userValue, bool listened,
                 std::unique_ptr<SpiPicture>& picture);

 protected:
  using TLoaderSPI::TLoaderSPI;
  void CheckAPI() override;
  bool ClassCanLoad() const override { return true; }
  friend class TSPI;
};

// Archive plug-ins ("00AM"): listed, never used for pictures.
class TAmSPI : public TLoaderSPI {
 public:
  static std::unique_ptr<TSPI> Create(const std::string& fileName) { return Build<TAmSPI>(fileName); }

 protected:
  using TLoaderSPI::TLoaderSPI;
  void CheckAPI() override;
  bool ClassCanLoad() const override { return true; }
  friend class TSPI;
};

// Plug-ins reporting "00XN".
class TXnSPI : public TSPI {
 public:
  static std::unique_ptr<TSPI> Create(const std::string& fileName) { return Build<TXnSPI>(fileName); }

 protected:
  using TSPI::TSPI;
  friend class TSPI;
};

// Where plug-in code runs: each library in a helper process of its own kind (the default), so
// that no plug-in can take Quiran down and a 64-bit Quiran can use 32-bit plug-ins; or inside
// Quiran itself, as the settings file may choose for a plug-in that needs it. Where the helper
// cannot be started, plug-ins of Quiran's own kind run inside Quiran as well.
enum class TSPIPlacement { Helper, InProcess };
// Set at start (and by tests): a run begins, with no fault inside Quiran noted yet.
void SetSPIPlacement(TSPIPlacement placement);
TSPIPlacement SPIPlacement();
// True once a plug-in has faulted inside Quiran this run: Quiran's memory may be damaged.
bool SPIFaultedInProcess();

// The class factory: a plug-in object of the class its API version names, or null when the
// file cannot be loaded or is no usable plug-in. ESPIInvalidAPI passes on.
std::unique_ptr<TSPI> CreateSPI(const std::string& fileName);

// ---- the manager ----

enum TSPISearchOption { spsSusieDir, spsAppDir, spsCurrentDir, spsSystemDir, spsWindowsDir };
// A set of search options: bit n stands for option n.
using TSPISearchOptions = std::uint8_t;
constexpr TSPISearchOptions SearchSet(std::initializer_list<TSPISearchOption> options) {
  TSPISearchOptions s = 0;
  for (TSPISearchOption o : options) s = static_cast<TSPISearchOptions>(s | 1u << o);
  return s;
}

using TSPISearchingEvent = std::function<void(TSPIs& sender, const std::string& fileName, bool& accept)>;
using TSPISearchEvent = std::function<void(TSPIs& sender, TSPI& spi, bool& accept)>;
using TSPIPictureRegisterEvent = std::function<void(TSPIs& sender, TInSPI& spi, const std::string& extension,
                                                    const std::string& description, const TGraphicClass*& graphicClass)>;
// Which plug-ins GetSPIs wants: a test of class membership (subclasses included).
using TSPIClassTest = bool (*)(const TSPI&);
template <class T>
bool IsSPIOf(const TSPI& spi) {
  return dynamic_cast<const T*>(&spi) != nullptr;
}

class TSPIs {
 public:
  // Fails with ESPIDupCreateSPIs when a manager exists; otherwise becomes CurrentSPIs().
  TSPIs();
  ~TSPIs();
  TSPIs(const TSPIs&) = delete;
  TSPIs& operator=(const TSPIs&) = delete;

  TSPISearchOptions SearchOptions = SearchSet({spsSusieDir, spsAppDir});
  bool AutoSearch = true;
  TSPISearchEvent OnSearch;
  TSPISearchingEvent OnSearching;
  TSPIPictureRegisterEvent OnPictureRegister;

  // Called after each fault of a plug-in, also of one that faulted while being loaded.
  std::function<void(TSPIs& sender, const TPluginFault& fault)> OnPluginFault;
  // The faults of the run: which files each plug-in failed on, and the status bar's account.
  const TPluginFaults& Faults() const { return faults_; }
  // The loader's reports: the plug-in faulted while reading the file (empty: no name), or read
  // one. A fault may set it aside (TPluginFaults).
  void NotePluginFault(TSPI& spi, const std::string& file, bool inProcess);
  void NotePluginSuccess(const TSPI& spi) { faults_.NoteSuccess(spi.FileName()); }

  // The plug-in file masks of this build: "*.spi"; a 64-bit build also finds the 64-bit
  // plug-ins, named "*.sph".
  static std::vector<std::string> PluginMasks();
  // Called once the settings are in place: searches every plug-in mask when AutoSearch is set.
  void Loaded();
  void Search(const std::string& fileMask);
  void SearchDir(const std::string& directory, const std::string& mask);

  int Count() const { return static_cast<int>(items_.size()); }
  TSPI* Items(int index) const { return items_.at(static_cast<std::size_t>(index)).get(); }
  void Add(std::unique_ptr<TSPI> spi) { Insert(Count(), std::move(spi)); }
  void Insert(int index, std::unique_ptr<TSPI> spi);
  void Delete(int index);
  void Clear();
  int IndexOf(const std::string& fileName) const;
  // Appends the plug-ins of the wanted classes that may read the file, best first. Left out
  // are plug-ins that have faulted, and those the user withdrew for the file's format.
  void GetSPIs(const std::vector<TSPIClassTest>& classes, const std::string& fileName, std::vector<TSPI*>& list) const;

  // The formats in use (all, until the user withdraws some): a plug-in is not tried for the
  // files of a format of its own that is withdrawn, nor at all when none of its formats is in
  // use, and the picture-file test leaves such files out.
  bool FormatInUse(const TSPI& spi, std::size_t format) const;
  void SetFormatInUse(const TSPI& spi, std::size_t format, bool inUse);
  const TFormatChoice& FormatChoice() const { return choice_; }
  void SetFormatChoice(TFormatChoice choice);
  // Changes whenever the list or the formats in use change, and differs between managers:
  // what is computed from them can be kept until it changes.
  std::uint64_t Generation() const { return generation_; }

  static void SetDefaultGraphicClass(const TGraphicClass* graphicClass);
  static const TGraphicClass* DefaultGraphicClass();

  // The Susie plug-in directory from the registry, or empty when it is not set.
  static std::string SusieDirectory();

 private:
  bool UsableFor(const TSPI& spi, const std::string& upperName) const;
  void Changed();

  std::vector<std::unique_ptr<TSPI>> items_;
  TPluginFaults faults_;
  TFormatChoice choice_;
  std::uint64_t generation_ = 0;
};

// The one manager of the process, or null.
TSPIs* CurrentSPIs();

// One line per format entry of every plug-in, in list order and, within a plug-in, in entry
// order: "description (filter)", with the plug-in and the format it stands for.
struct TFormatLine {
  TSPI* Plugin;
  std::size_t Format;
  std::string Text;
};
std::vector<TFormatLine> FormatLines(const TSPIs& spis);
