// The benchmarks' plain top-level window, for controls that need a parent which hands them
// their drawing messages (as the main window's panels do).
#pragma once
#include <windows.h>

#include <string>

#include "win/window.h"

class BenchWindow : public win::Window {
 public:
  BenchWindow(const std::string& caption, DWORD style, int width = CW_USEDEFAULT, int height = CW_USEDEFAULT) {
    CreateArgs a;
    a.text = caption;
    a.style = style;
    a.width = width;
    a.height = height;
    CreateWindowOf(a);
  }
};
