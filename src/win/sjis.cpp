#include "win/sjis.h"

namespace sjis {

std::size_t CharLength(std::string_view text, std::size_t i) {
  return IsLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2 : 1;
}

std::size_t LastCharOffset(std::string_view text) {
  std::size_t last = std::string_view::npos;
  for (std::size_t i = 0; i < text.size(); i += CharLength(text, i)) last = i;
  return last;
}

bool IsCharBoundary(std::string_view text, std::size_t i) {
  std::size_t p = 0;
  while (p < i) p += CharLength(text, p);
  return p == i;
}

bool EndsWithChar(std::string_view text, char c) {
  std::size_t last = LastCharOffset(text);
  return last != std::string_view::npos && last + 1 == text.size() && text[last] == c;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  if (suffix.size() > text.size()) return false;
  std::size_t start = text.size() - suffix.size();
  return text.substr(start) == suffix && IsCharBoundary(text, start);
}

std::string_view Truncate(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t p = 0;
  while (p < text.size()) {
    std::size_t n = CharLength(text, p);
    if (p + n > maxBytes) break;
    p += n;
  }
  return text.substr(0, p);
}

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (std::size_t i = 0; i < out.size(); i += CharLength(out, i))
    if (out[i] >= 'a' && out[i] <= 'z') out[i] = static_cast<char>(out[i] - 'a' + 'A');
  return out;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
  // Trail bytes are never folded, so equal upper forms mean equal texts.
  return a.size() == b.size() && UpperAscii(a) == UpperAscii(b);
}

// Offset just past the last path separator, found character by character.
static std::size_t NameStart(std::string_view path) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < path.size(); i += CharLength(path, i))
    if (path[i] == '\\' || path[i] == '/' || path[i] == ':') start = i + 1;
  return start;
}

std::string_view ExtractFileExt(std::string_view path) {
  std::size_t start = NameStart(path), dot = std::string_view::npos;
  for (std::size_t i = start; i < path.size(); i += CharLength(path, i))
    if (path[i] == '.') dot = i;
  return dot == std::string_view::npos ? std::string_view() : path.substr(dot);
}

std::string_view ExtractFilePath(std::string_view path) { return path.substr(0, NameStart(path)); }

std::string_view ExtractFileName(std::string_view path) { return path.substr(NameStart(path)); }

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
  std::string_view old = ExtractFileExt(path);
  std::string out(path.substr(0, path.size() - old.size()));
  out += ext;
  return out;
}

}  // namespace sjis
