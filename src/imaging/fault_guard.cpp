#include "imaging/fault_guard.h"

#include <windows.h>

#include <cfloat>
#include <cstdint>

namespace fault_guard {

namespace {

struct Guard {
  void* jump[5];                      // __builtin_setjmp buffer
  Guard* outer;                       // the guard this one is nested in
  void* exceptionList;                // i686: the SEH chain head when the call began
  unsigned fpuControl;                // floating-point control word when the call began
  volatile unsigned long code;        // the fault's exception code
  volatile bool armed;
  alignas(16) unsigned char stack[1024];  // where the recovery routine runs
};

#ifndef _WIN64
// The head of the i686 SEH chain, at fs:[0] (read directly: the intrinsics warn falsely).
void* SehHead() {
  void* p;
  asm volatile("movl %%fs:0, %0" : "=r"(p));
  return p;
}
void SetSehHead(void* p) { asm volatile("movl %0, %%fs:0" : : "r"(p) : "memory"); }
#endif

DWORD Slot() {
  static DWORD slot = TlsAlloc();
  return slot;
}

// The processor's faults. Floating-point ones are among them: foreign code may unmask them,
// and where 32-bit code runs under an emulator an integer division by zero arrives as one.
bool IsHardwareFault(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_STACK_CHECK:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_PRIV_INSTRUCTION:
    case EXCEPTION_STACK_OVERFLOW:
      return true;
    default:
      return false;
  }
}

// This thread's information block (read directly: the intrinsic warns falsely).
NT_TIB* ThreadInformation() {
  NT_TIB* t;
#ifdef _WIN64
  asm("movq %%gs:0x30, %0" : "=r"(t));
#else
  asm("movl %%fs:0x18, %0" : "=r"(t));
#endif
  return t;
}

// Puts a guard page back at the bottom of this thread's stack after an overflow used it up,
// so that the next overflow is caught too. (The C runtime's _resetstkoflw instead makes the
// page holding its own frame the guard page, which is touched again at once; where 32-bit
// code runs under qemu's translation, Wine cannot tell that fault from any other, and the
// process ends.)
void RearmStackGuard() {
  MEMORY_BASIC_INFORMATION m;
  if (!VirtualQuery(&m, &m, sizeof m)) return;
  void* const base = m.AllocationBase;
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  char* p = static_cast<char*>(base);
  while (p < reinterpret_cast<char*>(&m) && VirtualQuery(p, &m, sizeof m) && m.AllocationBase == base) {
    if (m.State == MEM_COMMIT && (m.Protect & PAGE_GUARD)) return;  // still armed
    if (m.State == MEM_COMMIT && !(m.Protect & PAGE_NOACCESS)) {
      // The lowest page the stack may use becomes the guard page again, and the stack's
      // limit its top, as before the first overflow.
      DWORD old;
      if (VirtualProtect(m.BaseAddress, si.dwPageSize, PAGE_READWRITE | PAGE_GUARD, &old))
        ThreadInformation()->StackLimit = static_cast<char*>(m.BaseAddress) + si.dwPageSize;
      return;
    }
    p = static_cast<char*>(m.BaseAddress) + m.RegionSize;
  }
}

// Entered, not called: the handler sets the faulting thread's registers to run this.
[[noreturn]] __attribute__((used, noinline)) void Recover(Guard* g) {
#ifndef _WIN64
  // Frames the foreign code registered on the abandoned stack must leave the SEH chain.
  SetSehHead(g->exceptionList);
#endif
  __builtin_longjmp(g->jump, 1);
}

LONG CALLBACK Handler(EXCEPTION_POINTERS* ep) {
  Guard* g = static_cast<Guard*>(TlsGetValue(Slot()));
  DWORD code = ep->ExceptionRecord->ExceptionCode;
  if (!g || !g->armed || !IsHardwareFault(code)) return EXCEPTION_CONTINUE_SEARCH;
  g->armed = false;
  g->code = code;
  CONTEXT* c = ep->ContextRecord;
  std::uintptr_t top = reinterpret_cast<std::uintptr_t>(g->stack + sizeof g->stack) & ~std::uintptr_t{15};
#ifdef _WIN64
  // As if called: a return address slot below 32 bytes of argument home space, 16-byte aligned.
  c->Rsp = top - 64 - 8;
  c->Rcx = reinterpret_cast<DWORD64>(g);
  c->Rip = reinterpret_cast<DWORD64>(&Recover);
#else
  std::uintptr_t sp = top - 32;
  reinterpret_cast<std::uintptr_t*>(sp)[0] = 0;                                      // return address
  reinterpret_cast<std::uintptr_t*>(sp)[1] = reinterpret_cast<std::uintptr_t>(g);  // the argument
  c->Esp = static_cast<DWORD>(sp);
  c->Eip = reinterpret_cast<DWORD>(&Recover);
#endif
  c->EFlags &= ~0x400u;  // direction flag clear, as compiled code expects
  return EXCEPTION_CONTINUE_EXECUTION;
}

void Install() {
  static PVOID handler = AddVectoredExceptionHandler(1, Handler);
  (void)handler;
}

}  // namespace

__attribute__((noinline)) bool Call(void (*fn)(void*), void* context, unsigned long* code) {
  Install();
  Guard g;
  g.outer = static_cast<Guard*>(TlsGetValue(Slot()));
  g.code = 0;
  g.armed = false;
#ifndef _WIN64
  g.exceptionList = SehHead();
#else
  g.exceptionList = nullptr;
#endif
  g.fpuControl = _controlfp(0, 0);
  if (__builtin_setjmp(g.jump)) {
    // Back from a fault: the foreign code may have left the FPU in any state.
    Guard* self = static_cast<Guard*>(TlsGetValue(Slot()));
    TlsSetValue(Slot(), self->outer);
    _clearfp();
    _controlfp(self->fpuControl, _MCW_EM | _MCW_RC);
    // A stack overflow used up the stack's guard page; without a new one the next overflow
    // would end the process.
    if (self->code == EXCEPTION_STACK_OVERFLOW) RearmStackGuard();
    if (code) *code = self->code;
    return false;
  }
  TlsSetValue(Slot(), &g);
  g.armed = true;
  try {
    fn(context);
  } catch (...) {
    // A C++ exception from our own code leaves the guard, which must not outlive its frame.
    g.armed = false;
    TlsSetValue(Slot(), g.outer);
    throw;
  }
  g.armed = false;
  TlsSetValue(Slot(), g.outer);
  // Plug-ins built with other compilers may change the FPU's exception masks or rounding.
  _controlfp(g.fpuControl, _MCW_EM | _MCW_RC);
  if (code) *code = 0;
  return true;
}

}  // namespace fault_guard
