#include "catalogue/item_text.h"

#include <cstdio>

#include "catalogue/date_value.h"

namespace {
// The day after 9999-12-31 as a date value.
constexpr double kLastDateEnd = 2958466;
}  // namespace

std::string PixelSizeText(const TPictureEntry& entry) {
  char text[64];
  std::snprintf(text, sizeof text, "SIZE:W%4d×H%4d (Dot)", entry.PixelWidth, entry.PixelHeight);
  return text;
}

std::string DateText(double date) {
  if (!(date >= 0 && date < kLastDateEnd)) return {};
  const TDateParts d = DatePartsOf(date);
  static const char* const kWeekdays[] = {"日", "月", "火", "水", "木", "金", "土"};
  char text[64];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d (%s)", d.Year, d.Month, d.Day, kWeekdays[DayOfWeek(date)]);
  return text;
}

std::string DateLine(const TPictureEntry& entry) {
  if (!(entry.Date > 0)) return {};
  std::string date = DateText(entry.Date);
  return date.empty() ? date : "DATE:" + date;
}

std::string HoverHintText(const TPictureEntry& entry) {
  std::string text = PixelSizeText(entry);
  if (std::string date = DateLine(entry); !date.empty()) text += "\r\n" + date;
  if (!entry.Comment.empty()) text += "\r\n" + entry.Comment;
  return text;
}

std::string HoverStatusText(const TPictureEntry& entry) { return PixelSizeText(entry) + "   " + DateLine(entry); }

std::string MissingFolderText(const std::string& path) {
  return "フォルダー「" + path +
         "」が見つかりません。\r\n移動または削除されたか、そのドライブやネットワークにつながっていない可能性があります。";
}
