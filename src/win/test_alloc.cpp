// The replaceable global allocation functions of the test program, with a failure on demand.
#include "win/test_alloc.h"

#include <windows.h>

#include <cstdlib>
#include <new>

namespace testalloc {

namespace {
DWORD armedThread = 0;
long remaining = -1;
bool failed = false;
}  // namespace

void FailAfter(long n) {
  failed = false;
  remaining = n;
  armedThread = GetCurrentThreadId();
}

bool Stop() {
  armedThread = 0;
  remaining = -1;
  return failed;
}

}  // namespace testalloc

void* operator new(std::size_t size) {
  using namespace testalloc;
  if (armedThread && armedThread == GetCurrentThreadId() && remaining >= 0 && remaining-- == 0) {
    failed = true;
    throw std::bad_alloc();
  }
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
