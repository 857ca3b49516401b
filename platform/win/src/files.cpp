#include "win/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "win/filesafety.h"
#include "win/wstr.h"

namespace {
thread_local DWORD g_lastError = 0;

struct FileHandle {
    int fd;
    // A handle opened for reading only reads ahead, as Windows' cache does:
    // a table read record by record would otherwise cost a system call each.
    bool readOnly = false;
    std::unique_ptr<char[]> ahead;
    size_t at = 0, held = 0;
};
constexpr size_t kReadAhead = 64 * 1024;

DWORD ErrnoToWin(int e) {
    switch (e) {
        case ENOENT: return 2;   // ERROR_FILE_NOT_FOUND
        case ENOTDIR: return 3;  // ERROR_PATH_NOT_FOUND
        case EACCES:
        case EPERM:
        case EROFS: return 5;    // ERROR_ACCESS_DENIED
        case EEXIST: return 80;  // ERROR_FILE_EXISTS
        case ENOSPC: return 112; // ERROR_DISK_FULL
        default: return 31;      // ERROR_GEN_FAILURE
    }
}

FileHandle* AsFile(HANDLE h) {
    if (!h || h == INVALID_HANDLE_VALUE) return nullptr;
    return static_cast<FileHandle*>(h);
}
}  // namespace

std::string NativePath(const std::u16string& path) {
    std::string p;
    p.reserve(path.size());
    size_t from = 0;
    // Runs of ordinary characters go through UTF-8; separators and the
    // characters that carry raw bytes are mapped one by one.
    auto flush = [&](size_t to) {
        if (to > from) p += Utf16ToUtf8(path.substr(from, to - from));
    };
    for (size_t i = 0; i < path.size(); ++i) {
        const char16_t c = path[i];
        if (c == u'\\' || c == 0xF05C || (c >= 0xF080 && c <= 0xF0FF)) {
            flush(i);
            p += c == u'\\' ? '/' : static_cast<char>(c & 0xFF);
            from = i + 1;
        }
    }
    flush(path.size());
    return p;
}

std::u16string WindowsPath(const std::string& native) {
    std::u16string out;
    out.reserve(native.size());
    size_t i = 0;
    const size_t n = native.size();
    auto cont = [&](size_t k) { return k < n && (static_cast<unsigned char>(native[k]) & 0xC0) == 0x80; };
    while (i < n) {
        const unsigned char b = static_cast<unsigned char>(native[i]);
        size_t len = 0;
        if (b == '\\') len = 0;
        else if (b < 0x80) len = 1;
        else if ((b & 0xE0) == 0xC0 && cont(i + 1)) len = 2;
        else if ((b & 0xF0) == 0xE0 && cont(i + 1) && cont(i + 2)) len = 3;
        else if ((b & 0xF8) == 0xF0 && cont(i + 1) && cont(i + 2) && cont(i + 3)) len = 4;
        if (len) {
            const std::u16string piece = Utf8ToUtf16(native.substr(i, len));
            // Overlong forms and surrogates decode to U+FFFD: keep their bytes instead.
            if (piece != u"\uFFFD" || native.compare(i, len, "\xEF\xBF\xBD") == 0) {
                out += piece;
                i += len;
                continue;
            }
        }
        out += static_cast<char16_t>(0xF000 + b);
        ++i;
    }
    return out;
}

std::string NativePath(const WCHAR* path) { return NativePath(std::u16string(path ? path : u"")); }

std::string NativeExistingPath(const WCHAR* path) {
    const std::string p = NativePath(path);
    if (::access(p.c_str(), F_OK) == 0) return p;
    const size_t slash = p.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : p.substr(0, slash);
    const std::string last = slash == std::string::npos ? p : p.substr(slash + 1);
    DIR* d = ::opendir(dir.c_str());
    if (!d) return p;
    std::string found;
    while (dirent* e = ::readdir(d)) {
        if (::strcasecmp(e->d_name, last.c_str()) == 0) {
            found = dir + "/" + e->d_name;
            break;
        }
    }
    ::closedir(d);
    return found.empty() ? p : found;
}

DWORD GetLastError() { return g_lastError; }

HANDLE CreateFileW(const WCHAR* path, DWORD access, DWORD /*share*/, void* /*security*/,
                   DWORD disposition, DWORD /*flags*/, HANDLE /*tmpl*/) {
    int mode = 0;
    if ((access & GENERIC_READ) && (access & GENERIC_WRITE))
        mode = O_RDWR;
    else if (access & GENERIC_WRITE)
        mode = O_WRONLY;
    else
        mode = O_RDONLY;
    switch (disposition) {
        case CREATE_NEW: mode |= O_CREAT | O_EXCL; break;
        case CREATE_ALWAYS: mode |= O_CREAT | O_TRUNC; break;
        case OPEN_ALWAYS: mode |= O_CREAT; break;
        default: break;
    }
    const std::string p = NativePath(path);
    if (p.empty()) {
        g_lastError = 3;
        return INVALID_HANDLE_VALUE;
    }
    // Only regular files are files here: a FIFO or device named like the
    // project's table must neither block the open nor be read as one.
    const int openFlags = mode | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    int fd = ::open(p.c_str(), openFlags, 0644);
    // An existing file is found whatever case its name is spelt in, as on Windows.
    if (fd < 0 && errno == ENOENT && disposition == OPEN_EXISTING) {
        const std::string other = NativeExistingPath(path);
        if (other != p) fd = ::open(other.c_str(), openFlags, 0644);
    }
    if (fd < 0) {
        g_lastError = errno == ENXIO ? 5 : ErrnoToWin(errno);
        return INVALID_HANDLE_VALUE;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        g_lastError = 5;
        return INVALID_HANDLE_VALUE;
    }
    // O_NONBLOCK stays: it changes nothing for a regular file.
    g_lastError = 0;
    auto* f = new FileHandle();
    f->fd = fd;
    f->readOnly = (mode & O_ACCMODE) == O_RDONLY;
    return f;
}

BOOL ReadFile(HANDLE h, void* buf, DWORD toRead, DWORD* read, void* /*overlapped*/) {
    FileHandle* f = AsFile(h);
    if (read) *read = 0;
    if (!f) return FALSE;
    DWORD total = 0;
    auto* p = static_cast<char*>(buf);
    while (total < toRead) {
        if (f->at < f->held) {
            const size_t take = std::min<size_t>(f->held - f->at, toRead - total);
            std::memcpy(p + total, f->ahead.get() + f->at, take);
            f->at += take;
            total += static_cast<DWORD>(take);
            continue;
        }
        // Large reads go straight into the caller's buffer; small ones refill.
        const bool refill = f->readOnly && toRead - total < kReadAhead;
        if (refill && !f->ahead) f->ahead.reset(new char[kReadAhead]);
        ssize_t n = refill ? ::read(f->fd, f->ahead.get(), kReadAhead) : ::read(f->fd, p + total, toRead - total);
        if (refill && n > 0) {
            f->at = 0;
            f->held = static_cast<size_t>(n);
            continue;
        }
        if (n < 0) {
            if (errno == EINTR) continue;
            g_lastError = ErrnoToWin(errno);
            if (read) *read = total;
            return FALSE;
        }
        if (n == 0) break;
        total += static_cast<DWORD>(n);
    }
    if (read) *read = total;
    return TRUE;
}

BOOL WriteFile(HANDLE h, const void* buf, DWORD toWrite, DWORD* written, void* /*overlapped*/) {
    FileHandle* f = AsFile(h);
    if (written) *written = 0;
    if (!f) return FALSE;
    DWORD total = 0;
    const auto* p = static_cast<const char*>(buf);
    while (total < toWrite) {
        ssize_t n = ::write(f->fd, p + total, toWrite - total);
        if (n < 0) {
            if (errno == EINTR) continue;
            g_lastError = ErrnoToWin(errno);
            if (written) *written = total;
            return FALSE;
        }
        total += static_cast<DWORD>(n);
    }
    if (written) *written = total;
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE h) {
    FileHandle* f = AsFile(h);
    return f && ::fsync(f->fd) == 0;
}

DWORD GetFileSize(HANDLE h, DWORD* high) {
    FileHandle* f = AsFile(h);
    struct stat st {};
    if (!f || ::fstat(f->fd, &st) != 0) return INVALID_FILE_SIZE;
    const auto size = static_cast<uint64_t>(st.st_size);
    if (high) *high = static_cast<DWORD>(size >> 32);
    return static_cast<DWORD>(size & 0xFFFFFFFFu);
}

BOOL CloseHandle(HANDLE h) {
    FileHandle* f = AsFile(h);
    if (!f) return FALSE;
    int rc = ::close(f->fd);
    delete f;
    return rc == 0;
}

BOOL DeleteFileW(const WCHAR* path) { return ::unlink(NativePath(path).c_str()) == 0; }

BOOL MoveFileExW(const WCHAR* from, const WCHAR* to, DWORD flags) {
    const std::string a = NativePath(from), b = NativePath(to);
    if (!(flags & MOVEFILE_REPLACE_EXISTING) && ::access(b.c_str(), F_OK) == 0) {
        g_lastError = 183;  // ERROR_ALREADY_EXISTS
        return FALSE;
    }
    if (::rename(a.c_str(), b.c_str()) != 0) {
        g_lastError = ErrnoToWin(errno);
        return FALSE;
    }
    return TRUE;
}

namespace {
// Windows reports a link as a reparse point, a folder link also as a folder.
DWORD AttributesOf(const std::string& native) {
    struct stat st {};
    if (::lstat(native.c_str(), &st) != 0) return INVALID_FILE_ATTRIBUTES;
    if (!S_ISLNK(st.st_mode)) return S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    struct stat target {};
    const bool dir = ::stat(native.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
    return FILE_ATTRIBUTE_REPARSE_POINT | (dir ? FILE_ATTRIBUTE_DIRECTORY : 0);
}
}  // namespace

DWORD GetFileAttributesW(const WCHAR* path) { return AttributesOf(NativePath(path)); }

BOOL CreateDirectoryW(const WCHAR* path, void* /*security*/) {
    return ::mkdir(NativePath(path).c_str(), 0755) == 0;
}

bool ReplaceFileContents(const WCHAR* path, const void* data, size_t size, bool* writeFailed) {
    if (writeFailed) *writeFailed = false;
    winfiles::AtomicFile file(NativePath(path));
    file.Write(data, size);
    bool created = false;
    const bool ok = file.Commit(&created);
    if (!ok && created && writeFailed) *writeFailed = true;
    return created;
}

BOOL RemoveDirectoryW(const WCHAR* path) {
    if (::rmdir(NativePath(path).c_str()) != 0) {
        g_lastError = ErrnoToWin(errno);
        return FALSE;
    }
    return TRUE;
}

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

namespace {
struct FindHandle {
    std::string dir;
    std::vector<std::string> names;
    size_t next = 0;
};

bool WildMatch(const char* pat, const char* name) {
    if (!*pat) return !*name;
    if (*pat == '*') {
        for (const char* n = name;; ++n) {
            if (WildMatch(pat + 1, n)) return true;
            if (!*n) return false;
        }
    }
    if (!*name) return false;
    if (*pat == '?' || *pat == *name) return WildMatch(pat + 1, name + 1);
    return false;
}

bool FillFindData(FindHandle& f, WIN32_FIND_DATAW* data) {
    if (f.next >= f.names.size()) {
        g_lastError = 18;  // ERROR_NO_MORE_FILES
        return false;
    }
    const std::string& name = f.names[f.next++];
    *data = WIN32_FIND_DATAW{};
    const std::string path = f.dir + "/" + name;
    const DWORD attributes = AttributesOf(path);
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        data->dwFileAttributes = attributes;
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0) data->nFileSizeLow = static_cast<DWORD>(st.st_size);
    }
    lstrcpynW(data->cFileName, WindowsPath(name).c_str(), MAX_PATH);
    return true;
}
}  // namespace

HANDLE FindFirstFileW(const WCHAR* pattern, WIN32_FIND_DATAW* data) {
    std::string p = NativePath(pattern);
    const size_t slash = p.rfind('/');
    std::string dir = slash == std::string::npos ? "." : p.substr(0, slash);
    const std::string last = slash == std::string::npos ? p : p.substr(slash + 1);
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    DIR* d = ::opendir(dir.c_str());
    if (!d) {
        g_lastError = ErrnoToWin(errno);
        return INVALID_HANDLE_VALUE;
    }
    auto* f = new FindHandle{dir, {}, 0};
    std::vector<std::string> rest;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        if (last == "*.*" || WildMatch(last.c_str(), name.c_str())) rest.push_back(name);
    }
    ::closedir(d);
    std::sort(rest.begin(), rest.end());
    if (last == "*" || last == "*.*") f->names = {".", ".."};
    f->names.insert(f->names.end(), rest.begin(), rest.end());
    if (!data || !FillFindData(*f, data)) {
        delete f;
        g_lastError = 2;
        return INVALID_HANDLE_VALUE;
    }
    return f;
}

BOOL FindNextFileW(HANDLE find, WIN32_FIND_DATAW* data) {
    if (!find || find == INVALID_HANDLE_VALUE || !data) return FALSE;
    return FillFindData(*static_cast<FindHandle*>(find), data) ? TRUE : FALSE;
}

BOOL FindClose(HANDLE find) {
    if (!find || find == INVALID_HANDLE_VALUE) return FALSE;
    delete static_cast<FindHandle*>(find);
    return TRUE;
}
