// Text crossing into Win32: Shift-JIS (code page 932) inside the program, UTF-16 for the W
// functions. The conversions name code page 932 explicitly, so the program behaves the
// same whatever the system's own code page is.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace win {

std::wstring Wide(std::string_view sjis);
// For text shown or compared: a character without a Shift-JIS form becomes the default
// character, never a look-alike ("é" is not made "e").
std::string Narrow(std::wstring_view utf16);
// For text that must stand exactly as it is: nothing when a character has no Shift-JIS form.
std::optional<std::string> NarrowExact(std::wstring_view utf16);
// A path from the system that will be stored or opened: raises an Exception naming it when
// it cannot be written in Shift-JIS, rather than let a changed path lead elsewhere.
std::string NarrowPath(std::wstring_view utf16);

// Upper-cases with the Japanese locale's rules (full-width letters included), character by
// character; a double-byte character is never split.
std::string UpperJa(std::string_view sjis);

// Case-insensitive comparison with the Japanese locale: <0, 0 or >0.
int CompareTextJa(std::string_view a, std::string_view b);
// The text's sort key under the same comparison: keys compared byte by byte (as std::string
// compares) order texts as CompareTextJa does, so many texts are sorted with one key each.
std::string SortKeyJa(std::string_view sjis);

// The full path of the running executable (raises an Exception when it cannot be written
// in Shift-JIS: the library beside it would be looked for elsewhere).
std::string ExePath();

// The message of the last Win32 error, for exception texts.
std::string LastErrorText();

}  // namespace win
