#include "win/instance_lock.h"

#include <cstdint>
#include <cstdio>

#include "win/error.h"
#include "win/text.h"

namespace win {

namespace {
// Kernel object names take no "\": the path is named by a 64-bit hash of its full, upper-cased form.
std::wstring ObjectName(const std::string& path, const wchar_t* what) {
  std::wstring wide = Wide(path);
  wchar_t full[MAX_PATH * 2] = {};
  DWORD n = GetFullPathNameW(wide.c_str(), MAX_PATH * 2, full, nullptr);
  if (n > 0 && n < MAX_PATH * 2) wide.assign(full, n);
  CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  std::uint64_t h = 14695981039346656037ull;  // FNV-1a
  for (wchar_t c : wide) h = (h ^ static_cast<std::uint16_t>(c)) * 1099511628211ull;
  wchar_t name[64];
  std::swprintf(name, 64, L"Local\\Quiran-%016llx-%ls", static_cast<unsigned long long>(h), what);
  return name;
}

struct View {
  void* p;
  explicit View(HANDLE mapping) : p(mapping ? MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 8) : nullptr) {}
  ~View() {
    if (p) UnmapViewOfFile(p);
  }
  std::uint64_t* Slot() const { return static_cast<std::uint64_t*>(p); }
};
}  // namespace

InstanceLock::InstanceLock(const std::string& path) {
  mutex_ = CreateMutexW(nullptr, FALSE, ObjectName(path, L"lock").c_str());
  if (!mutex_) throw Exception("プログラムの起動を確かめられません\r\n" + LastErrorText());
  acquired_ = GetLastError() != ERROR_ALREADY_EXISTS;
  window_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8, ObjectName(path, L"window").c_str());
}

InstanceLock::~InstanceLock() {
  if (window_) CloseHandle(window_);
  CloseHandle(mutex_);
}

void InstanceLock::Publish(HWND window) {
  View view(window_);
  if (acquired_ && view.Slot()) *view.Slot() = reinterpret_cast<std::uintptr_t>(window);
}

bool InstanceLock::BringHolderForward(DWORD waitMs) const {
  View view(window_);
  if (!view.Slot()) return false;
  const DWORD start = GetTickCount();
  HWND h = nullptr;
  while (!(h = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(*static_cast<volatile std::uint64_t*>(view.Slot())))) &&
         GetTickCount() - start < waitMs)
    Sleep(50);
  if (!h || !IsWindow(h)) return false;
  if (IsIconic(h)) ShowWindow(h, SW_RESTORE);
  SetForegroundWindow(h);
  return true;
}

}  // namespace win
