// Stand-ins for the few Unicode and newer msvcrt calls that the runtime itself (libgcc,
// libstdc++, GCC's start-up code) imports: Windows 9x has the Unicode calls only as stubs
// that fail, and its msvcrt.dll lacks the newer ones. Each is defined under the symbol
// the import library would otherwise supply, and linked ahead of the runtime's libraries,
// so the import never reaches the program's import table.
#include <malloc.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// The runtime passes only ASCII names (of modules it looks for, or none at all).
bool ToAnsi(LPCWSTR wide, char* ansi, int size) {
  return WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, size, nullptr, nullptr) != 0;
}

}  // namespace

extern "C" {

// Each stand-in carries the symbol of the direct call; VEQ_IMPORT below adds the pointer
// that __declspec(dllimport) callers load.
HANDLE WINAPI VeqCreateSemaphoreW(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR) __asm__("_CreateSemaphoreW@16");
HMODULE WINAPI VeqGetModuleHandleW(LPCWSTR) __asm__("_GetModuleHandleW@4");
HMODULE WINAPI VeqLoadLibraryW(LPCWSTR) __asm__("_LoadLibraryW@4");
BOOL WINAPI VeqGetModuleHandleExW(DWORD, LPCWSTR, HMODULE*) __asm__("_GetModuleHandleExW@12");
int __cdecl VeqFstat64(int, struct _stat64*) __asm__("__fstat64");
void* __cdecl VeqAlignedMalloc(size_t, size_t) __asm__("__aligned_malloc");
void __cdecl VeqAlignedFree(void*) __asm__("__aligned_free");
FILE* __cdecl VeqWfopen(const wchar_t*, const wchar_t*) __asm__("__wfopen");

// libgcc's thread and unwinder locks: CreateSemaphoreW fails on 9x; they are unnamed.
HANDLE WINAPI VeqCreateSemaphoreW(LPSECURITY_ATTRIBUTES security, LONG initial, LONG maximum, LPCWSTR name) {
  char ansi[MAX_PATH];
  if (name != nullptr && !ToAnsi(name, ansi, sizeof ansi)) return nullptr;
  return CreateSemaphoreA(security, initial, maximum, name != nullptr ? ansi : nullptr);
}

// GCC's start-up looks for a shared libgcc by name: GetModuleHandleW fails on 9x.
HMODULE WINAPI VeqGetModuleHandleW(LPCWSTR name) {
  char ansi[MAX_PATH];
  if (name == nullptr) return GetModuleHandleA(nullptr);
  return ToAnsi(name, ansi, sizeof ansi) ? GetModuleHandleA(ansi) : nullptr;
}

// GCC's start-up loads the shared libgcc it found: LoadLibraryW fails on 9x.
HMODULE WINAPI VeqLoadLibraryW(LPCWSTR name) {
  char ansi[MAX_PATH];
  return ToAnsi(name, ansi, sizeof ansi) ? LoadLibraryA(ansi) : nullptr;
}

// libstdc++'s thread_local destructors pin their module: GetModuleHandleExW is of
// Windows XP. The module holding an address is the allocation its page belongs to; a
// static program never unloads, so no reference needs counting.
BOOL WINAPI VeqGetModuleHandleExW(DWORD flags, LPCWSTR name, HMODULE* module) {
  if (module == nullptr) return FALSE;
  if (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS) {
    MEMORY_BASIC_INFORMATION region;
    *module = VirtualQuery(name, &region, sizeof region) != 0 ? static_cast<HMODULE>(region.AllocationBase) : nullptr;
  } else {
    *module = VeqGetModuleHandleW(name);
  }
  return *module != nullptr;
}

// libstdc++'s file streams ask for the size: _fstat64 is of msvcrt 7; _fstat (the
// import library's _fstat32) is in 98's.
int __cdecl VeqFstat64(int fd, struct _stat64* out) {
  struct _stat32 in;
  if (_fstat32(fd, &in) != 0) return -1;
  std::memset(out, 0, sizeof *out);
  out->st_dev = in.st_dev;
  out->st_ino = in.st_ino;
  out->st_mode = in.st_mode;
  out->st_nlink = in.st_nlink;
  out->st_uid = in.st_uid;
  out->st_gid = in.st_gid;
  out->st_rdev = in.st_rdev;
  out->st_size = in.st_size;
  out->st_atime = in.st_atime;
  out->st_mtime = in.st_mtime;
  out->st_ctime = in.st_ctime;
  return 0;
}

// Over-aligned new: _aligned_malloc and _aligned_free are of msvcrt 7. The block's start
// is kept just below the aligned pointer.
void* __cdecl VeqAlignedMalloc(size_t size, size_t alignment) {
  if (alignment < sizeof(void*)) alignment = sizeof(void*);
  void* block = malloc(size + alignment + sizeof(void*));
  if (block == nullptr) return nullptr;
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(block) + sizeof(void*);
  void** aligned = reinterpret_cast<void**>((start + alignment - 1) & ~(std::uintptr_t(alignment) - 1));
  aligned[-1] = block;
  return aligned;
}

void __cdecl VeqAlignedFree(void* pointer) {
  if (pointer != nullptr) free(static_cast<void**>(pointer)[-1]);
}

// libstdc++'s file streams open wide names too: the wide calls of 9x's msvcrt end in
// CreateFileW, which fails there.
FILE* __cdecl VeqWfopen(const wchar_t* name, const wchar_t* mode) {
  char ansiName[MAX_PATH], ansiMode[16];
  if (!ToAnsi(name, ansiName, sizeof ansiName) || !ToAnsi(mode, ansiMode, sizeof ansiMode)) return nullptr;
  return fopen(ansiName, ansiMode);
}

#define VEQ_IMPORT(symbol, function) void* veqImport##function __asm__("__imp_" symbol) = (void*)&function;

VEQ_IMPORT("_CreateSemaphoreW@16", VeqCreateSemaphoreW)
VEQ_IMPORT("_GetModuleHandleW@4", VeqGetModuleHandleW)
VEQ_IMPORT("_LoadLibraryW@4", VeqLoadLibraryW)
VEQ_IMPORT("_GetModuleHandleExW@12", VeqGetModuleHandleExW)
VEQ_IMPORT("__fstat64", VeqFstat64)
VEQ_IMPORT("__aligned_malloc", VeqAlignedMalloc)
VEQ_IMPORT("__aligned_free", VeqAlignedFree)
VEQ_IMPORT("__wfopen", VeqWfopen)

}  // extern "C"
