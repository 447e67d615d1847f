// Double-byte aware helpers for Shift-JIS (code page 932) text held in std::string.
// A trail byte may be '\' (0x5C) or an ASCII letter, so anything that looks for a
// character must walk the text from its start, never test single bytes from the end.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace sjis {

// Lead byte of a double-byte character: 0x81-0x9F and 0xE0-0xFC.
constexpr bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Byte length of the character starting at text[i] (1 or 2; 1 for a lead byte at the end).
std::size_t CharLength(std::string_view text, std::size_t i);

// Byte offset of the last character, or npos for empty text.
std::size_t LastCharOffset(std::string_view text);

// True when the text's last character is the single-byte character c ('\' for paths).
bool EndsWithChar(std::string_view text, char c);

// True when text ends with suffix and the suffix starts on a character boundary of text,
// so "カPG" (83 4A 50 47) does not end with "JPG".
bool EndsWith(std::string_view text, std::string_view suffix);

// True when offset i of text is the start of a character.
bool IsCharBoundary(std::string_view text, std::size_t i);

// The longest prefix of at most maxBytes bytes that does not split a double-byte character.
std::string_view Truncate(std::string_view text, std::size_t maxBytes);

// Upper-cases single-byte ASCII letters only; double-byte characters stay as they are.
std::string UpperAscii(std::string_view text);

// Equality that ignores the case of single-byte ASCII letters, character by character.
bool SameTextAscii(std::string_view a, std::string_view b);

// The extension from the last '.' after the last '\' (or '/' or ':'), '.' included; empty when none.
std::string_view ExtractFileExt(std::string_view path);

// The directory part with its trailing separator ("C:\dir\"), empty when none.
std::string_view ExtractFilePath(std::string_view path);

// The name after the directory part.
std::string_view ExtractFileName(std::string_view path);

// The path with its extension replaced (ext includes the '.').
std::string ChangeFileExt(std::string_view path, std::string_view ext);

}  // namespace sjis
