// Text crossing into Win32: Shift-JIS (code page 932) inside the program, UTF-16 for the W
// functions. The conversions name code page 932 explicitly, so the program behaves the
// same whatever the system's own code page is.
#pragma once
#include <string>
#include <string_view>

namespace win {

std::wstring Wide(std::string_view sjis);
std::string Narrow(std::wstring_view utf16);

// Upper-cases with the Japanese locale's rules (full-width letters included), character by
// character; a double-byte character is never split.
std::string UpperJa(std::string_view sjis);

// Case-insensitive comparison with the Japanese locale: <0, 0 or >0.
int CompareTextJa(std::string_view a, std::string_view b);

// The full path of the running executable, and of the module holding an address.
std::string ExePath();

// The message of the last Win32 error, for exception texts.
std::string LastErrorText();

}  // namespace win
