#include "imaging/fault_guard.h"

#include <windows.h>

#include <cstdint>

#include "win/window.h"

namespace fault_guard {

namespace {

// What the floating-point units are set to: foreign code may unmask exceptions or change the
// rounding, and nothing of it may outlive the call.
struct FpuState {
  unsigned short x87;
  unsigned mxcsr;
};

FpuState SaveFpu() {
  FpuState s;
  asm volatile("fnstcw %0" : "=m"(s.x87));
  asm volatile("stmxcsr %0" : "=m"(s.mxcsr));
  return s;
}

// Clears pending exceptions first (fnclex does not wait), so restoring cannot raise one.
void RestoreFpu(const FpuState& s) {
  asm volatile("fnclex");
  asm volatile("fldcw %0" : : "m"(s.x87));
  unsigned csr = s.mxcsr & ~0x3Fu;
  asm volatile("ldmxcsr %0" : : "m"(csr));
}

#ifndef _WIN64
// An i686 exception registration record, as the system walks them from fs:[0].
struct Registration {
  Registration* next;
  void* handler;
};
#endif

struct Guard {
#ifndef _WIN64
  Registration record;  // first: the system hands the handler this address as the frame
#endif
  void* jump[5];        // __builtin_setjmp buffer
  Guard* outer;         // the guard this one is nested in
  void* exceptionList;  // i686: the chain head when the call began
  FpuState fpu;         // the floating-point state when the call began
  volatile unsigned long code;  // the fault's exception code
  volatile bool armed;
  alignas(16) unsigned char stack[1024];  // where the recovery routine runs
};

DWORD Slot() {
  static DWORD slot = TlsAlloc();
  return slot;
}
Guard* Current() { return static_cast<Guard*>(TlsGetValue(Slot())); }
void SetCurrent(Guard* g) { TlsSetValue(Slot(), g); }

#ifndef _WIN64
// The head of the i686 SEH chain, at fs:[0] (read directly: the intrinsics warn falsely).
void* SehHead() {
  void* p;
  asm volatile("movl %%fs:0, %0" : "=r"(p));
  return p;
}
void SetSehHead(void* p) { asm volatile("movl %0, %%fs:0" : : "r"(p) : "memory"); }
#endif

// Exceptions that reach the guard's frame and still are no fault: C++ exceptions of Quiran's
// own code on their way to its catch (x86_64 raises them through the system's dispatcher),
// and the notes meant for a debugger.
bool IsFault(DWORD code) {
  switch (code) {
    case 0x20474343:  // GCC's C++ throw, unwind and forced unwind
    case 0x21474343:
    case 0x22474343:
    case DBG_PRINTEXCEPTION_C:
    case 0x4001000A:  // DBG_PRINTEXCEPTION_WIDE_C
    case 0x406D1388:  // a thread's name for the debugger
      return false;
    default:
      return true;
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

// Entered, not called: the guard sets the faulting thread's registers to run this.
[[noreturn]] __attribute__((used, noinline)) void Recover(Guard* g) {
  // The foreign code may have left exceptions pending or unmasked: nothing may trap on the way.
  asm volatile("fnclex");
  unsigned csr = 0x1F80;
  asm volatile("ldmxcsr %0" : : "m"(csr));
#ifndef _WIN64
  // Frames the foreign code registered on the abandoned stack leave the SEH chain with ours.
  SetSehHead(g->exceptionList);
#endif
  // Guards nested inside this one (standing aside for Quiran's code) are abandoned with it.
  SetCurrent(g);
  __builtin_longjmp(g->jump, 1);
}

// Takes the fault for guard g when it is armed: the thread resumes in Recover.
bool TakeOver(Guard* g, const EXCEPTION_RECORD* rec, CONTEXT* c) {
  if (!g || !g->armed || !IsFault(rec->ExceptionCode)) return false;
  g->armed = false;
  g->code = rec->ExceptionCode;
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
  return true;
}

// Should the walk over the frames never reach the guard's own, the fault ends up here, unless
// something between handled it: the innermost armed guard takes it.
LPTOP_LEVEL_EXCEPTION_FILTER previousFilter = nullptr;
LONG WINAPI LastChance(EXCEPTION_POINTERS* ep) {
  if (TakeOver(Current(), ep->ExceptionRecord, ep->ContextRecord)) return EXCEPTION_CONTINUE_EXECUTION;
  return previousFilter ? previousFilter(ep) : EXCEPTION_CONTINUE_SEARCH;
}

// A stack overflow leaves too little stack for the walk over the frames to reach the guard
// (nor could the foreign code's own handlers do much with it): the innermost armed guard
// takes it before any frame is asked.
LONG CALLBACK StackOverflow(EXCEPTION_POINTERS* ep) {
  if (ep->ExceptionRecord->ExceptionCode == EXCEPTION_STACK_OVERFLOW &&
      TakeOver(Current(), ep->ExceptionRecord, ep->ContextRecord))
    return EXCEPTION_CONTINUE_EXECUTION;
  return EXCEPTION_CONTINUE_SEARCH;
}

void InstallHandlers() {
  static bool installed = (previousFilter = SetUnhandledExceptionFilter(&LastChance),
                           AddVectoredExceptionHandler(1, &StackOverflow), true);
  (void)installed;
}

}  // namespace

// The guard's frame handler: reached only by faults that no frame inside the guard handled.
extern "C" EXCEPTION_DISPOSITION quiran_guard_frame_handler(EXCEPTION_RECORD* rec, void* frame, CONTEXT* c, void*) {
  if (rec->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
#ifdef _WIN64
  // The frame is the calling routine's stack pointer; the guard sits in its slot at +32.
  Guard* g = *reinterpret_cast<Guard**>(static_cast<char*>(frame) + 32);
#else
  Guard* g = reinterpret_cast<Guard*>(frame);
#endif
  return TakeOver(g, rec, c) ? ExceptionContinueExecution : ExceptionContinueSearch;
}

#ifdef _WIN64
// quiran_guarded_call(fn, context, guard): calls fn(context) in a frame whose unwind data
// names the guard's handler, with the guard in the frame's slot at +32.
extern "C" void quiran_guarded_call(void (*fn)(void*), void* context, Guard* guard);
asm(R"(
    .text
    .globl quiran_guarded_call
    .def quiran_guarded_call; .scl 2; .type 32; .endef
    .seh_proc quiran_guarded_call
quiran_guarded_call:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    .seh_handler quiran_guard_frame_handler, @except
    movq %r8, 32(%rsp)
    movq %rcx, %rax
    movq %rdx, %rcx
    callq *%rax
    nop
    addq $40, %rsp
    ret
    .seh_endproc
)");
#endif

__attribute__((noinline)) bool Call(void (*fn)(void*), void* context, unsigned long* code) {
  InstallHandlers();
  Guard g;
  g.outer = Current();
  g.code = 0;
  g.armed = false;
  g.fpu = SaveFpu();
#ifndef _WIN64
  g.exceptionList = SehHead();
  g.record.next = static_cast<Registration*>(g.exceptionList);
  g.record.handler = reinterpret_cast<void*>(&quiran_guard_frame_handler);
#else
  g.exceptionList = nullptr;
#endif
  if (__builtin_setjmp(g.jump)) {
    // Back from a fault (Recover made this guard the current one again).
    Guard* self = Current();
    SetCurrent(self->outer);
    RestoreFpu(self->fpu);
    // A stack overflow used up the stack's guard page; without a new one the next overflow
    // would end the process.
    if (self->code == EXCEPTION_STACK_OVERFLOW) RearmStackGuard();
    if (code) *code = self->code;
    return false;
  }
  auto leave = [&] {
    g.armed = false;
#ifndef _WIN64
    SetSehHead(g.exceptionList);
#endif
    SetCurrent(g.outer);
    RestoreFpu(g.fpu);
  };
  SetCurrent(&g);
  g.armed = true;
  try {
#ifdef _WIN64
    quiran_guarded_call(fn, context, &g);
#else
    SetSehHead(&g.record);
    fn(context);
#endif
  } catch (...) {
    // A C++ exception from Quiran's own code leaves the guard, which must not outlive its frame.
    leave();
    throw;
  }
  leave();
  if (code) *code = 0;
  return true;
}

void* StandAside() {
  Guard* g = Current();
  if (!g || !g->armed) return nullptr;  // nothing to give back: an outer scope re-arms it
  g->armed = false;
  return g;
}

void Resume(void* token) {
  if (auto* g = static_cast<Guard*>(token)) g->armed = true;
}

void StandAsideInWindows() { win::SetDispatchHook({&StandAside, &Resume}); }

}  // namespace fault_guard
