// Runs a call into foreign code (a plug-in) so that a hardware fault inside it (access
// violation, illegal instruction, division by zero, stack overflow...) returns here instead of
// ending the process. A vectored exception handler sees the fault first, points the faulting
// thread at a small recovery routine that runs on a stack area inside the guard's own frame,
// and that routine jumps back to the guard (a __builtin_setjmp target, so no unwinding through
// the foreign frames is attempted). Works alike for i686 and x86_64, on Windows and Wine.
#pragma once

namespace fault_guard {

// Calls fn(context). Answers true when it returned normally; false when it faulted, with the
// exception code in *code. The faulting call's frames are abandoned.
bool Call(void (*fn)(void* context), void* context, unsigned long* code);

// Convenience over any callable.
template <class F>
bool Run(F& f, unsigned long* code) {
  return Call([](void* c) { (*static_cast<F*>(c))(); }, &f, code);
}

}  // namespace fault_guard
