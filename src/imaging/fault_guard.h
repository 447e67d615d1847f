// Runs a call into foreign code (a plug-in) so that a fault the foreign code leaves unhandled
// (access violation, illegal instruction, division by zero, a floating-point exception,
// stack overflow, an exception of its own runtime that nothing caught...) returns here instead
// of ending the process.
//
// The guard is an exception frame around the call, so the foreign code's own frames, which
// lie inside it, see every fault first: a plug-in whose runtime turns a fault into an
// exception of its own and catches it keeps working. On i686 the frame is a registration
// record in the thread's chain at fs:[0]; on x86_64 it is a small routine whose unwind data
// names the guard's handler. Only when the fault reaches that frame does the guard act: it
// points the faulting thread at a recovery routine that runs on a stack area inside the
// guard, which jumps back to the guard (a __builtin_setjmp target, so no unwinding through the
// foreign frames is attempted). Should the frame walk never reach the guard (foreign code
// without usable unwind data), the process's last-chance filter does the same for the
// innermost armed guard. A stack overflow leaves no room for the walk: the innermost armed
// guard takes it first.
//
// Quiran's own code that runs inside a guarded call (a progress callback, a window procedure
// reached from a message loop the foreign code runs) disarms the guard with Unguarded, so a
// fault of Quiran's own is not taken for the foreign code's. The window layer knows nothing of
// the guard: StandAsideInWindows has every window procedure of Quiran's do so.
#pragma once

namespace fault_guard {

// Calls fn(context). Answers true when it returned normally; false when it faulted, with the
// exception code in *code. The faulting call's frames are abandoned. The floating-point
// control state is put back as it was before the call either way.
bool Call(void (*fn)(void* context), void* context, unsigned long* code);

// Convenience over any callable.
template <class F>
bool Run(F& f, unsigned long* code) {
  return Call([](void* c) { (*static_cast<F*>(c))(); }, &f, code);
}

// The innermost guard of this thread stands aside (a fault passes it as if it were not there)
// until Resume is given what StandAside answered.
void* StandAside();
void Resume(void* token);

// Stands aside while it lives.
class Unguarded {
 public:
  Unguarded() : token_(StandAside()) {}
  ~Unguarded() { Resume(token_); }
  Unguarded(const Unguarded&) = delete;
  Unguarded& operator=(const Unguarded&) = delete;

 private:
  void* token_;
};

// From now on, every window procedure call of Quiran's windows stands aside: a plug-in that
// runs a message loop inside a guarded call reaches Quiran's own code there.
void StandAsideInWindows();

}  // namespace fault_guard
