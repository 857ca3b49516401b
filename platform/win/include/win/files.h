// The file functions of the Windows API that the module calls. Paths are
// UTF-16 and may use backslashes as separators (the module builds paths such
// as "%s\Font.hft"); a drive-less path maps straight onto the Linux tree.
#pragma once

#include <string>

#include "win/windows.h"

#define GENERIC_READ 0x80000000u
#define GENERIC_WRITE 0x40000000u
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define FILE_ATTRIBUTE_NORMAL 0x80
#define FILE_ATTRIBUTE_DIRECTORY 0x10
// A symbolic link (with FILE_ATTRIBUTE_DIRECTORY when it points to a folder).
#define FILE_ATTRIBUTE_REPARSE_POINT 0x400
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
#define INVALID_FILE_SIZE 0xFFFFFFFFu
#define MOVEFILE_REPLACE_EXISTING 0x1
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)))

// The native (UTF-8, forward slash) form of a Windows-style path. A
// backslash is a separator; the private characters U+F05C and U+F080-U+F0FF
// stand for the raw bytes 0x5C and 0x80-0xFF of a Linux name (see below).
WINAPI_EXPORT std::string NativePath(const WCHAR* path);
// The native path of an existing file whose last component is matched
// without regard to case, as Windows file systems match names; the plain
// native path when no entry matches.
WINAPI_EXPORT std::string NativeExistingPath(const WCHAR* path);
WINAPI_EXPORT std::string NativePath(const std::u16string& path);
// The Windows form of a native path or name. A Linux name may hold bytes a
// Windows name cannot: a backslash, which would read as a separator, and
// bytes that are not UTF-8. As Wine does, each is carried as the private
// character U+F000 + byte, so every Linux name survives the round trip and a
// backslash typed by a user is never taken for a separator.
WINAPI_EXPORT std::u16string WindowsPath(const std::string& native);

WINAPI_EXPORT HANDLE CreateFileW(const WCHAR* path, DWORD access, DWORD share, void* security, DWORD disposition,
                   DWORD flags, HANDLE tmpl);
WINAPI_EXPORT BOOL ReadFile(HANDLE h, void* buf, DWORD toRead, DWORD* read, void* overlapped);
WINAPI_EXPORT BOOL WriteFile(HANDLE h, const void* buf, DWORD toWrite, DWORD* written, void* overlapped);
WINAPI_EXPORT BOOL FlushFileBuffers(HANDLE h);
WINAPI_EXPORT DWORD GetFileSize(HANDLE h, DWORD* high);
WINAPI_EXPORT BOOL CloseHandle(HANDLE h);
WINAPI_EXPORT BOOL DeleteFileW(const WCHAR* path);
WINAPI_EXPORT BOOL MoveFileExW(const WCHAR* from, const WCHAR* to, DWORD flags);
WINAPI_EXPORT DWORD GetFileAttributesW(const WCHAR* path);
WINAPI_EXPORT BOOL CreateDirectoryW(const WCHAR* path, void* security);
WINAPI_EXPORT DWORD GetLastError();
WINAPI_EXPORT BOOL RemoveDirectoryW(const WCHAR* path);
WINAPI_EXPORT void Sleep(DWORD milliseconds);

// Directory enumeration. The pattern is a directory and a last component
// with the wildcards * and ?; "*.*" matches every name, as on Windows.
// "." and ".." are reported first, as NTFS does.
struct WIN32_FIND_DATAW {
    DWORD dwFileAttributes;
    DWORD nFileSizeLow;
    WCHAR cFileName[MAX_PATH];
};
WINAPI_EXPORT HANDLE FindFirstFileW(const WCHAR* pattern, WIN32_FIND_DATAW* data);
WINAPI_EXPORT BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data);
WINAPI_EXPORT BOOL FindClose(HANDLE find);

// Writes `size` bytes to `path` through a temporary file in the same folder
// that replaces the target only when everything was written. Returns false
// when the new file could not be made or put in place; *writeFailed tells
// whether a write into it failed (the target is then left as it was).
// Failures are also recorded for the host (win/filesafety.h), and the
// temporaries of processes that no longer run are removed first.
WINAPI_EXPORT bool ReplaceFileContents(const WCHAR* path, const void* data, size_t size, bool* writeFailed);
