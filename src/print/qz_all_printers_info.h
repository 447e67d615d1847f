// A snapshot of the installed printers: each one's name and attribute word, in the
// platform's enumeration order. Hidden printers are in the snapshot; the printer-information
// object leaves them out of what it offers.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

class TQzAllPrintersInfo {
 public:
  // Enumerates the printers: local printers and connections at information level 4 on the
  // Windows NT family, local printers at level 5 elsewhere.
  TQzAllPrintersInfo();

  int Count() const { return count_; }
  int Level() const { return level_; }
  // Entry i's name and attributes; i stays below Count.
  std::string GetName(int i) const;
  const wchar_t* Name(int i) const;
  DWORD GetAttributes(int i) const;
  bool Hidden(int i) const;  // the platform's hidden attribute (0x20)
  // The same printers (names compared exactly) with the same attributes, in the same order.
  bool SameAs(const TQzAllPrintersInfo& other) const;

 private:
  std::vector<BYTE> entries_;
  int level_ = 4;
  int count_ = 0;
};
