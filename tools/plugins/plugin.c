/* Image plug-ins used as fixtures by Quiran's Windows-side tests. One source, built once per
   KIND into its own library (*.spi for 32-bit, *.sph for 64-bit): a working PPM (P6) reader,
   and libraries that misbehave in the ways real plug-ins do. Every call is noted in a log
   file beside the library (its path with ".log" appended), which the tests read whether the
   library runs in their own process or in a helper. */
#include <windows.h>
#include <stdio.h>
#include <string.h>

#ifndef EXPORT
#define EXPORT __declspec(dllexport)
#endif

/* Kinds (the preprocessor selects by them, so they are macros); KIND is set per library. */
#define KIND_PPM 1
#define KIND_NO_GETPICTURE 2
#define KIND_NO_INFO3 3
#define KIND_ARCHIVE 4
#define KIND_PAL4_0 5
#define KIND_PAL4_5 6
#define KIND_TOPDOWN 7
#define KIND_FAULT 8
#define KIND_RECORD 9
#define KIND_BMP 10
#define KIND_V5ALPHA 11
#define KIND_SHORT 12
#define KIND_MULTI 13
#define KIND_XN 14
#define KIND_LOWER_API 15
#define KIND_PROGRESS 16
#define KIND_FAULT_ISSUPPORTED 17
#define KIND_NO_API 18
#define KIND_CATCH 19    /* faults inside its own exception frame, recovers, and reads on */
#define KIND_FPU 20      /* unmasks the floating-point exceptions and divides by zero */
#define KIND_ENDLESS 21  /* answers every GetPluginInfo number */
#define KIND_PADDED 22   /* 64-bit: the information record with 2 bytes of padding (32 bytes) */
#define KIND_BAD_HANDLES 23 /* hands out values that are no live local-memory handles */
#define KIND_STACK 24    /* exhausts its stack in one frame, too far for a fault to be raised */
#define KIND_HEAP 25     /* writes past a heap block of its own, and returns a good picture */
#define KIND_HANG 26     /* never returns from GetPicture */
#define KIND_OVERSIZE 27 /* claims a picture far larger than the blocks it hands out */
#define KIND_SLOW 28     /* takes a while, reporting progress as it goes */
#define KIND_FAULT_INFO 29  /* faults in GetPluginInfo */
#define KIND_FAIL_BLOCKS 30 /* hands out both blocks and answers failure all the same */
#define KIND_SPIN 31     /* never returns from GetPicture, reporting progress all the while */
#define KIND_PICKY 32    /* reads PPM, but faults on pictures 16 pixels wide */
#define KIND_LOW32 33    /* 64-bit: keeps the addresses it is given in 32 bits */
#define KIND_MEMORY_ONLY 34 /* reads PPM from memory only: a file name gets "not implemented" */
#ifndef KIND
#error KIND must be defined
#endif

/* The information record: packed. 64-bit plug-ins exist both ways: packed (30 bytes, the
   handle at 22) and with 2 bytes of padding before the handle (32 bytes, at 24). */
#pragma pack(push, 1)
typedef struct {
  long left, top;
  long width, height;
  WORD x_density, y_density;
  short colorDepth;
#if KIND == KIND_PADDED && defined(_WIN64)
  char dummy[2];
#endif
  HLOCAL hInfo;
} PictureInfo;
#pragma pack(pop)

typedef int(WINAPI* ProgressCallback)(int done, int total, LONG_PTR user);

static wchar_t logPath[MAX_PATH + 8];

static void Note(const char* text) {
  HANDLE f;
  DWORD n;
  if (!logPath[0]) return;
  f = CreateFileW(logPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_ALWAYS,
                  FILE_ATTRIBUTE_NORMAL, NULL);
  if (f == INVALID_HANDLE_VALUE) return;
  WriteFile(f, text, (DWORD)strlen(text), &n, NULL);
  CloseHandle(f);
}

/* A length as decimal digits, all of its bits: 64-bit plug-ins take it pointer-sized. */
__attribute__((unused)) static const char* Dec(LONG_PTR v) {
  static char buf[32];
  char* p = buf + sizeof buf - 1;
  unsigned long long u = v < 0 ? 0ULL - (unsigned long long)v : (unsigned long long)v;
  *p = 0;
  do *--p = (char)('0' + u % 10); while (u /= 10);
  if (v < 0) *--p = '-';
  return p;
}

/* TryCall(fn) runs fn inside an exception frame of the plug-in's own, the way runtimes that
   turn faults into their own exceptions do: any exception fn raises or causes is caught here
   (answer 1, its code in caughtCode) and the plug-in goes on. */
int TryCall(void (*fn)(void));
void TryCaught(void);
static volatile DWORD caughtCode;
#ifdef _WIN64
void* tryRsp;
EXCEPTION_DISPOSITION PluginHandler(EXCEPTION_RECORD* rec, void* frame, CONTEXT* ctx, void* dispatch) {
  if (rec->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
  caughtCode = rec->ExceptionCode;
  ctx->Rip = (DWORD64)&TryCaught;
  return ExceptionContinueExecution;
}
__asm__(
    ".text\n"
    ".globl TryCall\n"
    ".def TryCall; .scl 2; .type 32; .endef\n"
    ".seh_proc TryCall\n"
    "TryCall:\n"
    "  pushq %rbp\n  .seh_pushreg %rbp\n"
    "  pushq %rbx\n  .seh_pushreg %rbx\n"
    "  pushq %rsi\n  .seh_pushreg %rsi\n"
    "  pushq %rdi\n  .seh_pushreg %rdi\n"
    "  pushq %r12\n  .seh_pushreg %r12\n"
    "  pushq %r13\n  .seh_pushreg %r13\n"
    "  pushq %r14\n  .seh_pushreg %r14\n"
    "  pushq %r15\n  .seh_pushreg %r15\n"
    "  subq $40, %rsp\n  .seh_stackalloc 40\n"
    "  .seh_endprologue\n"
    "  .seh_handler PluginHandler, @except\n"
    "  movq %rsp, tryRsp(%rip)\n"
    "  callq *%rcx\n"
    "  xorl %eax, %eax\n"
    "TryEnd:\n"
    "  addq $40, %rsp\n"
    "  popq %r15\n  popq %r14\n  popq %r13\n  popq %r12\n"
    "  popq %rdi\n  popq %rsi\n  popq %rbx\n  popq %rbp\n"
    "  ret\n"
    ".seh_endproc\n"
    ".globl TryCaught\n"
    "TryCaught:\n"
    "  movq tryRsp(%rip), %rsp\n"
    "  movl $1, %eax\n"
    "  jmp TryEnd\n");
#else
void* tryEsp;
EXCEPTION_DISPOSITION __cdecl PluginHandler(EXCEPTION_RECORD* rec, void* frame, CONTEXT* ctx, void* dispatch) {
  if (rec->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
  caughtCode = rec->ExceptionCode;
  ctx->Eip = (DWORD)&TryCaught;
  return ExceptionContinueExecution;
}
__asm__(
    ".text\n"
    ".globl _TryCall\n"
    "_TryCall:\n"
    "  pushl %ebp\n  movl %esp, %ebp\n"
    "  pushl %ebx\n  pushl %esi\n  pushl %edi\n"
    "  pushl $_PluginHandler\n"
    "  pushl %fs:0\n"
    "  movl %esp, %fs:0\n"
    "  movl %esp, _tryEsp\n"
    "  call *8(%ebp)\n"
    "  xorl %eax, %eax\n"
    "TryEnd:\n"
    "  popl %ecx\n  movl %ecx, %fs:0\n  addl $4, %esp\n"
    "  popl %edi\n  popl %esi\n  popl %ebx\n  popl %ebp\n"
    "  ret\n"
    ".globl _TryCaught\n"
    "_TryCaught:\n"
    "  movl _tryEsp, %esp\n"
    "  movl $1, %eax\n"
    "  jmp TryEnd\n");
#endif

/* A null pointer for the faulting kinds, to a volatile object: a store through it is never
   left out as undefined behaviour. */
static volatile int* volatile nowhere;
static void WriteNowhere(void) { *nowhere = 1; }
static void RaiseOwn(void) { RaiseException(0xE0000001, 0, 0, NULL); }

/* Runs fn in the plug-in's own frame and notes what it caught. */
__attribute__((unused)) static void NoteCaught(void (*fn)(void)) {
  char note[64];
  int caught = TryCall(fn);
  sprintf(note, caught ? "Caught(%08lX);" : "NotCaught;", (unsigned long)caughtCode);
  Note(note);
}

/* For the fault guard's own tests: a fault the plug-in handles itself, and one it leaves. */
EXPORT int WINAPI TestCatchOwnFault(void) { return TryCall(WriteNowhere); }
EXPORT void WINAPI TestRaiseUncaught(void) { RaiseOwn(); }
EXPORT void WINAPI TestUnmaskFloat(void) {
  unsigned short cw;
  unsigned csr;
  __asm__ volatile("fnstcw %0" : "=m"(cw));
  cw &= (unsigned short)~0x3F;
  __asm__ volatile("fldcw %0" : : "m"(cw));
  __asm__ volatile("stmxcsr %0" : "=m"(csr));
  csr &= ~0x1F80u;
  __asm__ volatile("ldmxcsr %0" : : "m"(csr));
}
/* Divides by zero with the exceptions unmasked: x87 on 32-bit (as older runtimes do), SSE on
   64-bit. */
__attribute__((unused)) static void DivideByZero(void) {
  TestUnmaskFloat();
#ifdef _WIN64
  {
    volatile double zero = 0.0, r;
    r = 1.0 / zero;
    (void)r;
  }
#else
  {
    static volatile double zero = 0.0, sink;
    __asm__ volatile("fld1\n fdivl %0\n fstpl %1\n fwait" : : "m"(zero), "m"(sink));
  }
#endif
}

/* Moves the stack pointer down to the last page of the thread's stack in one step, past its
   guard page, as a function with a huge frame and no stack probes does, and writes there:
   no room is left to raise the fault on, and the process ends. */
__attribute__((unused)) static void OneHugeFrame(void) {
  MEMORY_BASIC_INFORMATION m;
  char* p;
  VirtualQuery(&m, &m, sizeof m);
  p = (char*)m.AllocationBase + 256;
#ifdef _WIN64
  __asm__ volatile("movq %%rsp, %%rbx\n movq %0, %%rsp\n movq $1, (%%rsp)\n movq %%rbx, %%rsp" : : "r"(p) : "rbx", "memory");
#else
  __asm__ volatile("movl %%esp, %%ebx\n movl %0, %%esp\n movl $1, (%%esp)\n movl %%ebx, %%esp" : : "r"(p) : "ebx", "memory");
#endif
}

/* Writes 64 bytes past the end of a small block of the process heap, over whatever the heap
   keeps there, and goes on as if nothing happened. */
__attribute__((unused)) static void OverrunHeapBlock(void) {
  static char* volatile block;
  block = (char*)HeapAlloc(GetProcessHeap(), 0, 24);
  HeapAlloc(GetProcessHeap(), 0, 24);
  memset(block, 0x5A, 24 + 64);
}

/* A 64-bit plug-in written as if addresses fitted in 32 bits: what it is given it keeps in a
   32-bit value. So that this matters, it takes for itself at load every address below 4 GB
   that is still free: from then on, memory its host allocates anew lies above 4 GB. */
#if KIND == KIND_LOW32 && defined(_WIN64)
#define LOW(p) ((void*)(ULONG_PTR)(DWORD)(ULONG_PTR)(p))
static void TakeLowAddresses(void) {
  const ULONG_PTR limit = 0x100000000ULL, grain = 0x10000;
  ULONG_PTR at = grain;
  MEMORY_BASIC_INFORMATION m;
  while (at < limit && VirtualQuery((void*)at, &m, sizeof m)) {
    ULONG_PTR base = (ULONG_PTR)m.BaseAddress, end = base + m.RegionSize;
    if (end > limit) end = limit;
    if (m.State == MEM_FREE) {
      ULONG_PTR from = (base + grain - 1) / grain * grain;
      if (from < end) VirtualAlloc((void*)from, end - from, MEM_RESERVE, PAGE_NOACCESS);
    }
    at = base + m.RegionSize;
  }
}
#else
#define LOW(p) ((void*)(p))
#endif

#if KIND != KIND_NO_API

static const char* const info[] = {
#if KIND == KIND_ARCHIVE
    "00AM", "Quiran test archive", "*.arc", "Test archive",
#elif KIND == KIND_XN
    "00XN", "Quiran test XN", "*.xn", "Test XN",
#elif KIND == KIND_LOWER_API
    "00in", "Quiran test lower-case version", "*.low", "Test",
#elif KIND == KIND_NO_INFO3
    "00IN", "Quiran test without format names", "*.xyz", NULL,
#elif KIND == KIND_MULTI
    "00IN", "Quiran test several patterns", "*.aa;*.bb;*.cc", "Three patterns", "*.*", "Everything",
#elif KIND == KIND_BMP
    "00IN", "Quiran test bitmap taker", "*.bmp", "PPM behind bmp",
#elif KIND == KIND_CATCH
    "00IN", "Quiran test catching its own faults", "*.pct", "Catches its own faults", "*.pc2;*.pc3", "Second format",
    "*.pc4", "Third format",
#else
    "00IN", "Quiran test PPM reader",
#if KIND == KIND_PPM || KIND == KIND_NO_GETPICTURE
    "*.ppm", "PPM image",
#elif KIND == KIND_PAL4_0
    "*.p4a", "Four bits, implicit table",
#elif KIND == KIND_PAL4_5
    "*.p4b", "Four bits, five colours",
#elif KIND == KIND_TOPDOWN
    "*.ptd", "Top-down rows",
#elif KIND == KIND_FAULT
    "*.pfl", "Faults in GetPicture",
#elif KIND == KIND_FAULT_ISSUPPORTED
    "*.pfi", "Faults in IsSupported",
#elif KIND == KIND_RECORD
    "*.rec", "Records its calls",
#elif KIND == KIND_V5ALPHA
    "*.pv5", "124-byte header, alpha",
#elif KIND == KIND_SHORT
    "*.psh", "Claims more rows than it gives",
#elif KIND == KIND_PROGRESS
    "*.ppr", "Reports progress",
#elif KIND == KIND_FPU
    "*.pfp", "Floating-point exception",
#elif KIND == KIND_PADDED
    "*.ppd", "Padded information record",
#elif KIND == KIND_BAD_HANDLES
    "*.pbh", "Hands out bad handles",
#elif KIND == KIND_STACK
    "*.pso", "Overflows its stack",
#elif KIND == KIND_HEAP
    "*.phc", "Corrupts the heap",
#elif KIND == KIND_HANG
    "*.phg", "Never returns",
#elif KIND == KIND_OVERSIZE
    "*.pov", "Sizes larger than its blocks",
#elif KIND == KIND_SLOW
    "*.psl", "Takes a while",
#elif KIND == KIND_FAULT_INFO
    "*.pgi", "Faults in GetPluginInfo",
#elif KIND == KIND_FAIL_BLOCKS
    "*.pfb", "Fails with its blocks handed out",
#elif KIND == KIND_SPIN
    "*.psp", "Reports progress for ever",
#elif KIND == KIND_PICKY
    "*.ppk", "Faults on some pictures",
#elif KIND == KIND_LOW32
    "*.p32", "Keeps addresses in 32 bits",
#elif KIND == KIND_MEMORY_ONLY
    "*.pmo", "Memory only",
#endif
#endif
};

EXPORT int WINAPI GetPluginInfo(int infoNo, LPSTR buf, int len) {
  char note[64];
#if KIND == KIND_ENDLESS
  /* Every number has an answer, up to a limit that only stops a host that never stops asking. */
  static int calls;
  if (infoNo < 0 || ++calls > 100000) return 0;
  if (infoNo == 0) sprintf(note, "00IN");
  else if (infoNo == 1) sprintf(note, "Quiran test answering every number");
  else sprintf(note, infoNo % 2 ? "Format %d" : "*.e%d", infoNo / 2);
  lstrcpynA(buf, note, len);
  return (int)strlen(buf);
#endif
  sprintf(note, "GetPluginInfo(%d);", infoNo);
  Note(note);
#if KIND == KIND_FAULT_INFO
  if (infoNo == 2) *nowhere = 1;
#endif
  if (infoNo < 0 || infoNo >= (int)(sizeof info / sizeof info[0]) || !info[infoNo]) return 0;
  lstrcpynA(buf, info[infoNo], len);
  return (int)strlen(buf);
}

#endif

#if KIND == KIND_ARCHIVE

EXPORT int WINAPI IsSupported(LPCSTR name, ULONG_PTR data) { return 0; }
EXPORT int WINAPI GetArchiveInfo(LPCSTR buf, LONG_PTR len, unsigned flag, HLOCAL* info) { return 1; }
EXPORT int WINAPI GetFileInfo(LPCSTR buf, LONG_PTR len, LPCSTR name, unsigned flag, void* info) { return 1; }
EXPORT int WINAPI GetFile(LPCSTR src, LONG_PTR len, LPSTR dest, unsigned flag, FARPROC progress, LONG_PTR user) { return 1; }

#elif KIND != KIND_NO_API && KIND != KIND_XN

/* A P6 file: "P6", width, height, 255, one whitespace byte, then RGB rows top first. */
/* Without whole, only the header need be there (a file mode reader of the information). */
static int ParsePpmHead(const unsigned char* p, LONG_PTR len, int* w, int* h, const unsigned char** pixels, int whole) {
  LONG_PTR i = 2;
  int values[3], k;
  if (len < 2 || p[0] != 'P' || p[1] != '6') return 0;
  for (k = 0; k < 3; ++k) {
    int v = 0, digits = 0;
    while (i < len && (p[i] == ' ' || p[i] == '\n' || p[i] == '\r' || p[i] == '\t')) ++i;
    while (i < len && p[i] >= '0' && p[i] <= '9' && v < 100000) v = v * 10 + (p[i++] - '0'), ++digits;
    if (!digits) return 0;
    values[k] = v;
  }
  if (i >= len || values[2] != 255 || values[0] <= 0 || values[1] <= 0) return 0;
  ++i;
  if (whole && (long long)values[0] * values[1] * 3 > len - i) return 0;
  *w = values[0], *h = values[1], *pixels = p + i;
  return 1;
}
static int ParsePpm(const unsigned char* p, LONG_PTR len, int* w, int* h, const unsigned char** pixels) {
  return ParsePpmHead(p, len, w, h, pixels, 1);
}

EXPORT int WINAPI IsSupported(LPCSTR name, ULONG_PTR data) {
  const unsigned char* p = (const unsigned char*)LOW(data);
  char note[MAX_PATH + 64];
  int last = -1, i;
  for (i = 0; i < 2048; ++i)
    if (p[i]) last = i;
  sprintf(note, "IsSupported(%s,%d);", name, last);
  Note(note);
#if KIND == KIND_CATCH
  NoteCaught(RaiseOwn);
#endif
#if KIND == KIND_FAULT_ISSUPPORTED
  *nowhere = 1;
#endif
#if KIND == KIND_RECORD
  return 1;
#else
  return p[0] == 'P' && p[1] == '6';
#endif
}

/* File mode (the low bits of flag 0): buf names the file (in the ANSI code page) and len is
   where its data starts. The data from there is read into a block of the plug-in's own, which
   *data and *len then describe; the caller frees it with FreeFileData. Answers 0, or the
   interface's code: -1 for a kind that reads only from memory, 6 when the file cannot be read.
   At most limit bytes are read (the information needs only the file's first bytes). */
static int ReadFileData(LPCSTR* data, LONG_PTR* len, unsigned flag, LONG_PTR limit) {
  HANDLE f;
  LARGE_INTEGER size;
  DWORD got;
  char* block;
  char note[MAX_PATH + 64];
  if ((flag & 7) != 0) return 0;
  snprintf(note, sizeof note, "File(%s);", *data);
  Note(note);
#if KIND == KIND_MEMORY_ONLY
  return -1;
#endif
  f = CreateFileA(*data, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
  if (f == INVALID_HANDLE_VALUE) return 6;
  if (!GetFileSizeEx(f, &size) || *len < 0 || size.QuadPart < *len || size.QuadPart - *len > 0x7FFFFFFF) {
    CloseHandle(f);
    return 6;
  }
  size.QuadPart -= *len;
  if (size.QuadPart > limit) size.QuadPart = limit;
  block = (char*)HeapAlloc(GetProcessHeap(), 0, (SIZE_T)size.QuadPart + 1);
  SetFilePointer(f, (LONG)*len, NULL, FILE_BEGIN);
  if (!block || !ReadFile(f, block, (DWORD)size.QuadPart, &got, NULL) || got != size.QuadPart) {
    if (block) HeapFree(GetProcessHeap(), 0, block);
    CloseHandle(f);
    return 6;
  }
  CloseHandle(f);
  *data = block, *len = (LONG_PTR)size.QuadPart;
  return 0;
}
static void FreeFileData(LPCSTR data, unsigned flag) {
  if ((flag & 7) == 0) HeapFree(GetProcessHeap(), 0, (void*)data);
}

static int PictureInfoFrom(LPCSTR buf, LONG_PTR len, PictureInfo* pi, int whole);

EXPORT int WINAPI GetPictureInfo(LPCSTR buf, LONG_PTR len, unsigned flag, PictureInfo* pi) {
  int r;
  char note[64];
  buf = (LPCSTR)LOW(buf);
  pi = (PictureInfo*)LOW(pi);
  sprintf(note, "GetPictureInfo(%s,%u);", Dec(len), flag);
  Note(note);
  if ((r = ReadFileData(&buf, &len, flag, 65536)) != 0) return r;
  r = PictureInfoFrom(buf, len, pi, (flag & 7) != 0);
  FreeFileData(buf, flag);
  return r;
}

static int PictureInfoFrom(LPCSTR buf, LONG_PTR len, PictureInfo* pi, int whole) {
  int w, h;
  const unsigned char* px;
  if (!ParsePpmHead((const unsigned char*)buf, len, &w, &h, &px, whole)) return 2;
  memset(pi, 0, sizeof *pi);
  pi->width = w, pi->height = h, pi->colorDepth = 24;
#if KIND == KIND_PADDED && defined(_WIN64)
  pi->dummy[0] = 0x5A, pi->dummy[1] = 0x5A; /* padding left as the compiler found it */
#endif
#if KIND == KIND_BAD_HANDLES
  pi->hInfo = (HLOCAL)(ULONG_PTR)0x5A5A5A50; /* never allocated */
  return 0;
#endif
  pi->hInfo = LocalAlloc(LMEM_MOVEABLE, 8);
  memcpy(LocalLock(pi->hInfo), "comment", 8);
  LocalUnlock(pi->hInfo);
  return 0;
}

#if KIND != KIND_NO_GETPICTURE

#if KIND == KIND_FAIL_BLOCKS
/* The blocks handed out with the last failure, for the tests to see whether they were freed. */
static HLOCAL lastBlocks[2];
EXPORT HLOCAL WINAPI TestLastBlock(int which) { return lastBlocks[which & 1]; }
#endif

static HLOCAL Block(UINT flags, SIZE_T size, void** p) {
  HLOCAL h = LocalAlloc(flags | LMEM_ZEROINIT, size);
  *p = LocalLock(h);
  return h;
}

static int PictureFrom(LPCSTR buf, LONG_PTR len, HLOCAL* pInfo, HLOCAL* pBits, ProgressCallback progress,
                       LONG_PTR user);

EXPORT int WINAPI GetPicture(LPCSTR buf, LONG_PTR len, unsigned flag, HLOCAL* pInfo, HLOCAL* pBits,
                             ProgressCallback progress, LONG_PTR user) {
  int r;
  char note[64];
  buf = (LPCSTR)LOW(buf);
  pInfo = (HLOCAL*)LOW(pInfo);
  pBits = (HLOCAL*)LOW(pBits);
#if KIND == KIND_LOW32
  progress = (ProgressCallback)LOW(progress);
  if (progress(0, 1, user)) return 1;
#endif
  sprintf(note, "GetPicture(%s,%u);", Dec(len), flag);
  Note(note);
  if ((r = ReadFileData(&buf, &len, flag, 0x7FFFFFFF)) != 0) return r;
  r = PictureFrom(buf, len, pInfo, pBits, progress, user);
  FreeFileData(buf, flag);
  return r;
}

static int PictureFrom(LPCSTR buf, LONG_PTR len, HLOCAL* pInfo, HLOCAL* pBits, ProgressCallback progress,
                       LONG_PTR user) {
  int w, h, x, y, bits = 24, colors = 0, headerSize = 40, topDown = 0, stride, rows;
  const unsigned char* px;
  unsigned char *info, *out;
  UINT flags = LMEM_MOVEABLE;
  BITMAPINFOHEADER* bi;
  char note[64];
  (void)note;
#if KIND == KIND_FAULT
  *nowhere = 1;
#elif KIND == KIND_FPU
  DivideByZero();
#elif KIND == KIND_CATCH
  NoteCaught(WriteNowhere);
#elif KIND == KIND_STACK
  OneHugeFrame();
#elif KIND == KIND_HANG
  for (;;) Sleep(1000);
#elif KIND == KIND_SPIN
  for (;;) {
    Sleep(50);
    progress(1, 2, user); /* and whatever it is told, it goes on */
  }
#endif
#if KIND == KIND_RECORD
  return 1;
#endif
  if (!ParsePpm((const unsigned char*)buf, len, &w, &h, &px)) return 2;
#if KIND == KIND_PICKY
  if (w == 16) *nowhere = 1;
#endif
#if KIND == KIND_SLOW
  {
    int k;
    for (k = 0; k < 10; ++k) {
      Sleep(150);
      if (progress(k, 10, user)) return 1;
    }
  }
#endif
#if KIND == KIND_PROGRESS
  {
    static const int steps[][2] = {{0, 100}, {50, 100}, {100, 100}, {7, 0}};
    int k;
    for (k = 0; k < 4; ++k) {
      int r = progress(steps[k][0], steps[k][1], user);
      sprintf(note, "Progress(%d)=%d;", k, r);
      Note(note);
      if (r) return 1;
    }
  }
#endif
#if KIND == KIND_PAL4_0 || KIND == KIND_PAL4_5
  bits = 4, colors = KIND == KIND_PAL4_0 ? 16 : 5;
#elif KIND == KIND_TOPDOWN
  topDown = 1;
#elif KIND == KIND_V5ALPHA
  bits = 32, headerSize = 124, flags = LMEM_FIXED;
#endif
  stride = (w * bits + 31) / 32 * 4;
  rows = h;
#if KIND == KIND_SHORT
  rows = h / 2;
#endif
  *pInfo = Block(flags, headerSize + 4 * (colors ? colors : 0) + (KIND == KIND_PAL4_5 ? 44 : 0), (void**)&info);
  *pBits = Block(flags, (SIZE_T)stride * rows, (void**)&out);
  bi = (BITMAPINFOHEADER*)info;
  bi->biSize = headerSize;
  bi->biWidth = w;
  bi->biHeight = topDown ? -h : h;
  bi->biPlanes = 1;
  bi->biBitCount = (WORD)bits;
#if KIND == KIND_PAL4_5
  bi->biClrUsed = 5;
#endif
  for (x = 0; x < colors; ++x) {
    unsigned char* e = info + headerSize + 4 * x;
    e[0] = (unsigned char)(10 * x), e[1] = (unsigned char)(20 * x), e[2] = (unsigned char)(15 * x);
  }
  for (y = 0; y < rows; ++y) {
    int src = topDown ? y : h - 1 - y; /* file rows are top first */
    unsigned char* d = out + (size_t)y * stride;
    for (x = 0; x < w; ++x) {
      const unsigned char* s = px + ((size_t)src * w + x) * 3;
      if (bits == 24) {
        d[3 * x] = s[2], d[3 * x + 1] = s[1], d[3 * x + 2] = s[0];
      } else if (bits == 32) {
        d[4 * x] = s[2], d[4 * x + 1] = s[1], d[4 * x + 2] = s[0], d[4 * x + 3] = 0x80;
      } else {
        int index = (x + src) % colors;
        d[x / 2] |= (unsigned char)((x & 1) ? index : index << 4);
      }
    }
  }
  if (flags == LMEM_MOVEABLE) LocalUnlock(*pInfo), LocalUnlock(*pBits);
#if KIND == KIND_HEAP
  OverrunHeapBlock();
#elif KIND == KIND_OVERSIZE
  /* The header claims 30000 x 20000 pixels; the rows' block holds those of the small picture. */
  bi = (BITMAPINFOHEADER*)LocalLock(*pInfo);
  bi->biWidth = 30000, bi->biHeight = 20000;
  LocalUnlock(*pInfo);
#endif
#if KIND == KIND_BAD_HANDLES
  /* One block handed out as both: whoever frees both frees it twice. */
  LocalFree(*pInfo);
  *pInfo = *pBits;
#endif
#if KIND == KIND_FAIL_BLOCKS
  lastBlocks[0] = *pInfo, lastBlocks[1] = *pBits;
  return 1;
#endif
  return 0;
}

#endif
#endif

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  if (reason == DLL_PROCESS_ATTACH) {
    DWORD n = GetModuleFileNameW(instance, logPath, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) logPath[0] = 0;
    else lstrcatW(logPath, L".log");
#if KIND == KIND_LOW32 && defined(_WIN64)
    TakeLowAddresses();
#endif
  }
  return TRUE;
}
