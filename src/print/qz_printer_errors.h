// The failures of the printer-information object. Each carries only its message; the
// application's top-level handler shows it.
#pragma once
#include "win/error.h"

class EQzPrinter : public Exception { using Exception::Exception; };
// The current printer's paper code is not in the driver's paper list.
class EQZPrinterPaperSizeError : public EQzPrinter { using EQzPrinter::EQzPrinter; };
// No printer is installed, or only hidden ones.
class EQzPrinterNoPrinter : public EQzPrinter { using EQzPrinter::EQzPrinter; };
// The driver gives no paper list.
class EQzPrinterNoInfo : public EQzPrinter { using EQzPrinter::EQzPrinter; };
// The current printer is a hidden one.
class EQzPrinterIllegalIndex : public EQzPrinter { using EQzPrinter::EQzPrinter; };
// Printer information that contradicts itself (a device mode without bytes, a current
// printer missing from the snapshot): a fault of the program or the driver, not of the user.
class EQzAssertionFailed : public EQzPrinter { using EQzPrinter::EQzPrinter; };
