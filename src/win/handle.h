// Move-only owners for Win32 handles: one template serves an owned handle (released in the
// destructor) and a borrowed one (never released), so a handle is never freed twice. Kernel
// handles that all close with CloseHandle still get a type each, named for what they hold, so
// a process cannot be passed where a pipe is wanted.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <utility>

namespace win {

template <class T, BOOL(WINAPI* Release)(T), bool Owned = true, class Kind = void>
class Handle {
 public:
  Handle() = default;
  explicit Handle(T h) : h_(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  Handle(Handle&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
  Handle& operator=(Handle&& o) noexcept {
    if (this != &o) Reset(std::exchange(o.h_, nullptr));
    return *this;
  }
  ~Handle() { Reset(); }

  T Get() const { return h_; }
  operator T() const { return h_; }
  explicit operator bool() const { return h_ != nullptr; }
  T Detach() { return std::exchange(h_, nullptr); }
  void Reset(T h = nullptr) {
    if (Owned && h_ && h_ != h) Release(h_);
    h_ = h;
  }

 private:
  T h_ = nullptr;
};

inline BOOL WINAPI DeleteGdiObject(HGDIOBJ h) { return DeleteObject(h); }
inline BOOL WINAPI DeleteFontObject(HFONT h) { return DeleteObject(h); }
inline BOOL WINAPI DeleteBrushObject(HBRUSH h) { return DeleteObject(h); }
inline BOOL WINAPI DeletePenObject(HPEN h) { return DeleteObject(h); }
inline BOOL WINAPI DeleteBitmapObject(HBITMAP h) { return DeleteObject(h); }
inline BOOL WINAPI DeletePaletteObject(HPALETTE h) { return DeleteObject(h); }
inline BOOL WINAPI DeleteRegionObject(HRGN h) { return DeleteObject(h); }
inline BOOL WINAPI ReleaseModule(HMODULE h) { return FreeLibrary(h); }
inline BOOL WINAPI DestroyMenuHandle(HMENU h) { return DestroyMenu(h); }
inline BOOL WINAPI DestroyIconHandle(HICON h) { return DestroyIcon(h); }
inline BOOL WINAPI DestroyImageList(HIMAGELIST h) { return ImageList_Destroy(h); }

using Font = Handle<HFONT, DeleteFontObject>;
using Brush = Handle<HBRUSH, DeleteBrushObject>;
using Pen = Handle<HPEN, DeletePenObject>;
using Bitmap = Handle<HBITMAP, DeleteBitmapObject>;
using Palette = Handle<HPALETTE, DeletePaletteObject>;
using Region = Handle<HRGN, DeleteRegionObject>;
using Module = Handle<HMODULE, ReleaseModule>;
using Menu = Handle<HMENU, DestroyMenuHandle>;
using Icon = Handle<HICON, DestroyIconHandle>;
using ImageList = Handle<HIMAGELIST, DestroyImageList>;
// CreateFileW and CreateNamedPipeW fail with INVALID_HANDLE_VALUE, not null: store their
// result through ValidOrNull.
using File = Handle<HANDLE, CloseHandle>;
inline HANDLE ValidOrNull(HANDLE h) { return h == INVALID_HANDLE_VALUE ? nullptr : h; }
struct ProcessKind;
struct PipeKind;
struct EventKind;
struct FileMappingKind;
struct JobKind;
using Process = Handle<HANDLE, CloseHandle, true, ProcessKind>;
using Pipe = Handle<HANDLE, CloseHandle, true, PipeKind>;
using Event = Handle<HANDLE, CloseHandle, true, EventKind>;
using FileMapping = Handle<HANDLE, CloseHandle, true, FileMappingKind>;
using Job = Handle<HANDLE, CloseHandle, true, JobKind>;
// A directory listing; FindFirst gives null, not INVALID_HANDLE_VALUE, when nothing matches.
using FindHandle = Handle<HANDLE, FindClose>;
inline HANDLE FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW& data) {
  HANDLE h = FindFirstFileW(pattern.c_str(), &data);
  return h == INVALID_HANDLE_VALUE ? nullptr : h;
}
using BorrowedFont = Handle<HFONT, DeleteFontObject, false>;

// Selects an object into a DC and puts the previous one back when it goes out of scope.
class SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;
  ~SelectGuard() { SelectObject(dc_, old_); }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace win
