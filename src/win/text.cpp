#include "win/text.h"

#include <windows.h>

#include "win/error.h"

namespace win {

namespace {
constexpr UINT kCodePage = 932;
const wchar_t kJapanese[] = L"ja-JP";
}  // namespace

std::wstring Wide(std::string_view sjis) {
  if (sjis.empty()) return {};
  int n = MultiByteToWideChar(kCodePage, 0, sjis.data(), static_cast<int>(sjis.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(kCodePage, 0, sjis.data(), static_cast<int>(sjis.size()), out.data(), n);
  return out;
}

namespace {
// Best-fit mapping is off: a character without its own Shift-JIS form is reported, not
// silently replaced by a look-alike.
std::string ToShiftJis(std::wstring_view utf16, bool& exact) {
  exact = true;
  if (utf16.empty()) return {};
  BOOL usedDefault = FALSE;
  const int size = static_cast<int>(utf16.size());
  int n = WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, utf16.data(), size, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(kCodePage, WC_NO_BEST_FIT_CHARS, utf16.data(), size, out.data(), n, nullptr, &usedDefault);
  exact = !usedDefault;
  return out;
}
}  // namespace

std::string Narrow(std::wstring_view utf16) {
  bool exact;
  return ToShiftJis(utf16, exact);
}

std::optional<std::string> NarrowExact(std::wstring_view utf16) {
  bool exact;
  std::string out = ToShiftJis(utf16, exact);
  if (!exact) return std::nullopt;
  return out;
}

std::string NarrowPath(std::wstring_view utf16) {
  bool exact;
  std::string out = ToShiftJis(utf16, exact);
  if (!exact)
    throw Exception(Format("「%s」は、Shift-JIS で表せない文字を含むため使えません。名前を変えてからやり直してください。", {out}));
  return out;
}

std::string UpperJa(std::string_view sjis) {
  std::wstring w = Wide(sjis);
  if (w.empty()) return {};
  int n = LCMapStringEx(kJapanese, LCMAP_UPPERCASE, w.data(), static_cast<int>(w.size()), nullptr, 0,
                        nullptr, nullptr, 0);
  std::wstring up(static_cast<std::size_t>(n), L'\0');
  LCMapStringEx(kJapanese, LCMAP_UPPERCASE, w.data(), static_cast<int>(w.size()), up.data(), n, nullptr,
                nullptr, 0);
  return Narrow(up);
}

int CompareTextJa(std::string_view a, std::string_view b) {
  std::wstring wa = Wide(a), wb = Wide(b);
  int r = CompareStringEx(kJapanese, NORM_IGNORECASE, wa.data(), static_cast<int>(wa.size()), wb.data(),
                          static_cast<int>(wb.size()), nullptr, nullptr, 0);
  return r - CSTR_EQUAL;
}

std::string SortKeyJa(std::string_view sjis) {
  std::wstring w = Wide(sjis);
  const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
  int n = LCMapStringEx(kJapanese, flags, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr, 0);
  std::string key(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    LCMapStringEx(kJapanese, flags, w.data(), static_cast<int>(w.size()), reinterpret_cast<wchar_t*>(key.data()), n,
                  nullptr, nullptr, 0);
  return key;
}

std::string ExePath() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n < buf.size()) return NarrowPath(std::wstring_view(buf.data(), n));
    buf.resize(buf.size() * 2);
  }
}

std::string LastErrorText() {
  DWORD code = GetLastError();
  wchar_t* text = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                 nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string out = text ? Narrow(text) : std::to_string(code);
  LocalFree(text);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

}  // namespace win
