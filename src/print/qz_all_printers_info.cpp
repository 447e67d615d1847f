#include "print/qz_all_printers_info.h"

#include <winspool.h>

#include <cwchar>

#include "print/printer.h"
#include "win/text.h"

TQzAllPrintersInfo::TQzAllPrintersInfo() {
  const bool nt = IsWindowsNt();
  level_ = nt ? 4 : 5;
  DWORD count = 0;
  entries_ = EnumPrinterRecords(nt ? PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS : PRINTER_ENUM_LOCAL,
                                static_cast<DWORD>(level_), count);
  count_ = static_cast<int>(count);
}

const wchar_t* TQzAllPrintersInfo::Name(int i) const {
  const wchar_t* name = level_ == 4 ? reinterpret_cast<const PRINTER_INFO_4W*>(entries_.data())[i].pPrinterName
                                    : reinterpret_cast<const PRINTER_INFO_5W*>(entries_.data())[i].pPrinterName;
  return name ? name : L"";
}

std::string TQzAllPrintersInfo::GetName(int i) const { return win::Narrow(Name(i)); }

DWORD TQzAllPrintersInfo::GetAttributes(int i) const {
  return level_ == 4 ? reinterpret_cast<const PRINTER_INFO_4W*>(entries_.data())[i].Attributes
                     : reinterpret_cast<const PRINTER_INFO_5W*>(entries_.data())[i].Attributes;
}

bool TQzAllPrintersInfo::SameAs(const TQzAllPrintersInfo& other) const {
  if (count_ != other.count_) return false;
  for (int i = 0; i < count_; ++i)
    if (std::wcscmp(Name(i), other.Name(i)) != 0 || GetAttributes(i) != other.GetAttributes(i)) return false;
  return true;
}

bool TQzAllPrintersInfo::Hidden(int i) const { return (GetAttributes(i) & PRINTER_ATTRIBUTE_HIDDEN) != 0; }
