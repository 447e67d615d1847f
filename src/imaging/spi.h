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

#include "imaging/graphics.h"
#include "win/error.h"
#include "win/handle.h"

// ---- the plug-in interface, as the libraries export it (standard Win32 calling convention) ----

#pragma pack(push, 1)
// Filled by GetPictureInfo: 26 bytes in a 32-bit process (the handle is pointer-sized).
struct SpiPictureInfo {
  std::int32_t left, top;
  std::int32_t width, height;
  std::uint16_t x_density, y_density;
  std::int16_t colorDepth;
  HLOCAL hInfo;  // a text in local memory, or null
};
#pragma pack(pop)
static_assert(sizeof(SpiPictureInfo) == 22 + sizeof(void*));

// Answers 0 to continue, 1 to stop. The user value carries an address, so it is pointer-sized.
using SpiProgressCallback = int(WINAPI*)(int done, int total, LONG_PTR userValue);
using SpiGetPluginInfo = int(WINAPI*)(int infoNo, LPSTR buffer, int bufferLength);
// The second argument holds the address of the file's first bytes (at least 2048 of them).
using SpiIsSupported = int(WINAPI*)(LPCSTR fileName, ULONG_PTR data);
using SpiGetPictureInfo = int(WINAPI*)(LPCSTR data, long length, unsigned int flag, SpiPictureInfo* info);
using SpiGetPicture = int(WINAPI*)(LPCSTR data, long length, unsigned int flag, HLOCAL* bitmapInfo, HLOCAL* bits,
                                   SpiProgressCallback progress, LONG_PTR userValue);

// ---- failures ----

class ESPIInvalidSPI : public Exception { using Exception::Exception; };
class ESPIInvalidAPI : public Exception { using Exception::Exception; };
class ESPIFOpenErrorSPI : public Exception { using Exception::Exception; };
class ESPIDupCreateSPIs : public Exception { using Exception::Exception; };
// A plug-in faulted (access violation or another hardware exception) inside a call. It is
// treated like a file that is not a usable plug-in.
class ESPIPluginFault : public ESPIInvalidSPI { using ESPIInvalidSPI::ESPIInvalidSPI; };

// ---- plug-in classes ----

class TSPI;
// A plug-in class: how to build one from a file. Build runs the constructor and then the
// checks and queries of construction, so that CheckAPI and CanLoad are the class's own.
using TSPIClass = std::unique_ptr<TSPI> (*)(const std::string& fileName);

class TSPI {
 public:
  static std::unique_ptr<TSPI> Create(const std::string& fileName);
  virtual ~TSPI() = default;
  TSPI(const TSPI&) = delete;
  TSPI& operator=(const TSPI&) = delete;

  HMODULE Handle() const { return handle_.Get(); }
  const std::string& FileName() const { return fileName_; }
  const std::string& APIVersion() const { return apiVersion_; }
  const std::string& PluginInfo() const { return pluginInfo_; }
  const std::vector<std::string>& Filters() const { return filters_; }
  const std::vector<std::string>& Descriptions() const { return descriptions_; }
  bool CanLoad() const { return canLoad_; }

  FARPROC GetProc(const char* name) const;
  // Guarded calls: ESPIInvalidAPI when the entry point is missing, ESPIPluginFault when the
  // plug-in faults inside the call; otherwise the plug-in's answer unchanged.
  int GetPluginInfo(int infoNo, LPSTR buffer, int bufferLength);

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
  // ESPIInvalidAPI naming the function when its entry point is null.
  void Require(void (*entry)(), const char* name) const;
  // Runs a plug-in call under the fault guard.
  template <class F>
  void Guarded(const char* name, F call);

  SpiGetPluginInfo getPluginInfo_ = nullptr;
  FARPROC configurationDlg_ = nullptr;
  SpiIsSupported isSupported_ = nullptr;
  SpiGetPictureInfo getPictureInfo_ = nullptr;
  SpiGetPicture getPicture_ = nullptr;
  FARPROC getPreview_ = nullptr, getArchiveInfo_ = nullptr, getFileInfo_ = nullptr, getFile_ = nullptr;

 private:
  void Construct();
  std::string Info(int infoNo, bool* answered);

  win::Module handle_;
  std::string fileName_, apiVersion_, pluginInfo_;
  std::vector<std::string> filters_, descriptions_;
  bool canLoad_ = false;
};

// Plug-ins that read files.
class TLoaderSPI : public TSPI {
 public:
  int IsSupported(LPCSTR fileName, const void* data);

 protected:
  using TSPI::TSPI;
  void CheckAPI() override;
};

// Image-input plug-ins ("00IN").
class TInSPI : public TLoaderSPI {
 public:
  static std::unique_ptr<TSPI> Create(const std::string& fileName) { return Build<TInSPI>(fileName); }
  int GetPictureInfo(LPCSTR data, long length, unsigned int flag, SpiPictureInfo* info);
  int GetPicture(LPCSTR data, long length, unsigned int flag, HLOCAL* bitmapInfo, HLOCAL* bits,
                 SpiProgressCallback progress, LONG_PTR userValue);

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

class TSPIs;
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

  // Called once the settings are in place: searches "*.spi" when AutoSearch is set.
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
  // Appends the plug-ins of the wanted classes that may read the file, best first.
  void GetSPIs(const std::vector<TSPIClassTest>& classes, const std::string& fileName, std::vector<TSPI*>& list) const;

  static void SetDefaultGraphicClass(const TGraphicClass* graphicClass);
  static const TGraphicClass* DefaultGraphicClass();

  // The Susie plug-in directory from the registry, or empty when it is not set.
  static std::string SusieDirectory();

 private:
  std::vector<std::unique_ptr<TSPI>> items_;
};

// The one manager of the process, or null.
TSPIs* CurrentSPIs();
