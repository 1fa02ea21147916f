// The few kernel32 calls the portable core makes, by their Windows names.
//
// In the Windows builds this is <windows.h>. In the native build the same
// names are declared here and implemented over POSIX (posix_files.cpp), so
// that the core compiles unchanged for the authoring tool and the tests.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else

#include <stdint.h>

typedef void* HANDLE;
typedef int BOOL;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef unsigned int UINT;
typedef DWORD* LPDWORD;
typedef LONG* PLONG;
typedef const char* LPCSTR;
typedef char* LPSTR;
typedef void* LPVOID;
typedef const void* LPCVOID;
typedef void* HMODULE;
struct OVERLAPPED;
struct SECURITY_ATTRIBUTES;

#define WINAPI
#define TRUE 1
#define FALSE 0
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
#define INVALID_SET_FILE_POINTER ((DWORD)-1)

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define FILE_SHARE_READ 0x1
#define FILE_SHARE_WRITE 0x2
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define FILE_ATTRIBUTE_NORMAL 0x80
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000
#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2

// Paths are POSIX paths. Handles are file descriptors in disguise.
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD share, SECURITY_ATTRIBUTES* security,
                   DWORD disposition, DWORD attributes, HANDLE templateFile);
// TRUE when the call itself worked; *done holds the bytes moved (may be short).
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD done, OVERLAPPED* overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD done, OVERLAPPED* overlapped);
// New position (low 32 bits), or INVALID_SET_FILE_POINTER on failure.
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method);
// Size (low 32 bits), or INVALID_FILE_SIZE on failure.
DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);
BOOL SetEndOfFile(HANDLE file);
BOOL CloseHandle(HANDLE file);
BOOL DeleteFileA(LPCSTR path);
// Path of the running program (module must be null); length copied, 0 on failure.
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);
// Native only: makes GetModuleFileNameA(null) report this path instead of the
// running program (tests open a built installer as "their own" file); null
// restores the real one.
void platformSetModulePath(const char* path);
// The "ANSI code page" of the native build: 1252, or $SSPACK_ACP when set.
UINT GetACP(void);

#endif
