#include "win/filesafety.h"

#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <ostream>
#include <streambuf>

#include <xxhash.h>

#include "win/wstr.h"

namespace winfiles {

namespace {
struct FailureLog {
    uint64_t next = 0;
    std::deque<Failure> kept;
};

FailureLog& Log() {
    static FailureLog log;
    return log;
}

std::string ErrnoText(int e) { return std::strerror(e); }

std::string Resolved(const std::string& path) { return ResolvedPath(path); }

std::string DirPart(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string LastPart(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool IsTemporaryOf(const std::string& name, const std::string& base, pid_t* pid) {
    const size_t mark = name.rfind(".~");
    if (mark == std::string::npos || mark + 2 == name.size()) return false;
    if (!base.empty() && name.compare(0, mark, base) != 0) return false;
    if (!base.empty() && mark != base.size()) return false;
    long long v = 0;
    for (size_t i = mark + 2; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || v > INT_MAX / 10) return false;
        v = v * 10 + (name[i] - '0');
    }
    *pid = static_cast<pid_t>(v);
    return v > 0;
}

bool ProcessGone(pid_t pid) { return ::kill(pid, 0) != 0 && errno == ESRCH; }

// A stream buffer over a file descriptor that remembers the first error.
class FdBuf : public std::streambuf {
public:
    explicit FdBuf(int fd) : m_fd(fd) { setp(m_buf, m_buf + sizeof m_buf); }
    int error() const { return m_error; }
    bool Flush() { return Drain() && m_error == 0; }

protected:
    int_type overflow(int_type c) override {
        if (!Drain()) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        if (n >= static_cast<std::streamsize>(sizeof m_buf)) {
            if (!Drain() || !Put(s, static_cast<size_t>(n))) return 0;
            return n;
        }
        return std::streambuf::xsputn(s, n);
    }
    int sync() override { return Drain() ? 0 : -1; }
    // Writers that fill in a header last go back to it.
    pos_type seekoff(off_type off, std::ios_base::seekdir dir, std::ios_base::openmode which) override {
        if (!(which & std::ios_base::out) || !Drain()) return pos_type(off_type(-1));
        const int whence = dir == std::ios_base::beg ? SEEK_SET : dir == std::ios_base::cur ? SEEK_CUR : SEEK_END;
        const off_t at = ::lseek(m_fd, static_cast<off_t>(off), whence);
        return at < 0 ? pos_type(off_type(-1)) : pos_type(static_cast<off_type>(at));
    }
    pos_type seekpos(pos_type pos, std::ios_base::openmode which) override {
        return seekoff(off_type(pos), std::ios_base::beg, which);
    }

private:
    bool Put(const char* p, size_t n) {
        while (n > 0 && m_error == 0) {
            const ssize_t w = ::write(m_fd, p, n);
            if (w < 0) {
                if (errno == EINTR) continue;
                m_error = errno;
                break;
            }
            p += w;
            n -= static_cast<size_t>(w);
        }
        return m_error == 0;
    }
    bool Drain() {
        const bool ok = Put(pbase(), static_cast<size_t>(pptr() - pbase()));
        setp(m_buf, m_buf + sizeof m_buf);
        return ok;
    }

    int m_fd;
    int m_error = 0;
    char m_buf[1 << 16];
};
}  // namespace

std::string ResolvedPath(const std::string& path) {
    char buf[PATH_MAX];
    if (path.empty() || !::realpath(path.c_str(), buf)) return {};
    return buf;
}

void RecordFailure(const std::string& path, const std::string& what) {
    FailureLog& log = Log();
    log.kept.push_back(Failure{log.next++, path, what});
    // A host that never asks must not grow without bound.
    if (log.kept.size() > 10000) log.kept.pop_front();
}

uint64_t FailureMark() { return Log().next; }

std::vector<Failure> FailuresSince(uint64_t mark) {
    std::vector<Failure> out;
    for (const Failure& f : Log().kept)
        if (f.serial >= mark) out.push_back(f);
    return out;
}

std::vector<Failure> TakeFailures() {
    FailureLog& log = Log();
    std::vector<Failure> out(log.kept.begin(), log.kept.end());
    log.kept.clear();
    return out;
}

void ForgetFailuresSince(uint64_t mark) {
    std::deque<Failure>& kept = Log().kept;
    while (!kept.empty() && kept.back().serial >= mark) kept.pop_back();
}

namespace {
void StatInto(const struct stat& st, FileStamp* stamp) {
    stamp->size = static_cast<uint64_t>(st.st_size);
    stamp->mtimeNs = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
    stamp->ctimeNs = int64_t{st.st_ctim.tv_sec} * 1000000000 + st.st_ctim.tv_nsec;
    stamp->inode = static_cast<uint64_t>(st.st_ino);
}

// XXH3 of what `fd` holds, `size` bytes, through a read-only mapping.
bool HashOf(int fd, uint64_t size, uint64_t* hash, const std::function<std::string(const uint8_t*, size_t)>* check,
            std::string* why) {
    if (size == 0) {
        *hash = XXH3_64bits(nullptr, 0);
        if (check) *why = (*check)(nullptr, 0);
        return true;
    }
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED) return false;
    ::madvise(map, size, MADV_SEQUENTIAL);
    const auto* data = static_cast<const uint8_t*>(map);
    *hash = XXH3_64bits(data, size);
    if (check) *why = (*check)(data, size);
    ::munmap(map, size);
    return true;
}

struct WrittenLog {
    std::mutex lock;
    uint64_t next = 0;
    std::map<std::string, std::pair<uint64_t, FileStamp>> byPath;  // path -> (serial, stamp)
};
WrittenLog& Written() {
    static WrittenLog* log = new WrittenLog;  // used from exit handlers too
    return *log;
}
}  // namespace

bool StampFile(const std::string& path, FileStamp* stamp) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
    if (fd < 0) return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (ok) {
        StatInto(st, stamp);
        ok = HashOf(fd, stamp->size, &stamp->hash, nullptr, nullptr);
    }
    ::close(fd);
    return ok;
}

bool HashFile(const std::string& path, uint64_t* hash) {
    const int fd = OpenRegularFile(path);
    if (fd < 0) return false;
    struct stat st {};
    const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                    HashOf(fd, static_cast<uint64_t>(st.st_size), hash, nullptr, nullptr);
    ::close(fd);
    return ok;
}

StampCheck CheckStamp(const std::string& path, FileStamp* stamp, bool verify) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT ? StampCheck::Missing : StampCheck::Changed;
    if (!S_ISREG(st.st_mode)) return StampCheck::Changed;
    FileStamp now;
    StatInto(st, &now);
    now.hash = stamp->hash;
    if (!verify && now == *stamp) return StampCheck::Same;
    if (now.size != stamp->size || !StampFile(path, &now) || now.hash != stamp->hash) return StampCheck::Changed;
    *stamp = now;
    return StampCheck::Same;
}

std::string FormatStamp(const FileStamp& s) {
    char text[128];
    std::snprintf(text, sizeof text, "%llu,%lld,%lld,%llu,%016llx", static_cast<unsigned long long>(s.size),
                  static_cast<long long>(s.mtimeNs), static_cast<long long>(s.ctimeNs),
                  static_cast<unsigned long long>(s.inode), static_cast<unsigned long long>(s.hash));
    return text;
}

bool ParseStamp(const std::string& text, FileStamp* stamp) {
    unsigned long long size = 0, inode = 0, hash = 0;
    long long mtime = 0, ctime = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%llu,%lld,%lld,%llu,%16llx%n", &size, &mtime, &ctime, &inode, &hash, &used) != 5 ||
        static_cast<size_t>(used) != text.size() || text[0] == '-')
        return false;
    *stamp = FileStamp{size, mtime, ctime, inode, hash};
    return true;
}

void NoteWritten(const std::string& path, const FileStamp& stamp) {
    WrittenLog& log = Written();
    std::lock_guard<std::mutex> hold(log.lock);
    log.byPath[path] = {log.next++, stamp};
}

uint64_t WrittenMark() {
    WrittenLog& log = Written();
    std::lock_guard<std::mutex> hold(log.lock);
    return log.next;
}

bool WrittenSince(uint64_t mark, const std::string& path, FileStamp* stamp) {
    WrittenLog& log = Written();
    std::lock_guard<std::mutex> hold(log.lock);
    auto it = log.byPath.find(path);
    if (it == log.byPath.end() || it->second.first < mark) return false;
    *stamp = it->second.second;
    return true;
}

int OpenRegularFile(const std::string& path) {
    // O_NONBLOCK: opening a FIFO with no writer must not wait for one.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    // O_NONBLOCK stays: it changes nothing for a regular file.
    return fd;
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void AdviseLargePages(void* data, size_t size) {
    // Only whole 2 MB pages inside the buffer; smaller ones are not worth a VMA.
    constexpr uintptr_t kHuge = uintptr_t{2} << 20;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(data) + size) & ~(kHuge - 1);
    if (end > begin) ::madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

void PrepareLargeHeap() {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
    mallopt(M_TOP_PAD, 128 << 20);
    // Larger than what the heap has left: it grows by the pad now.
    void* block = std::malloc(1 << 20);
    char* top = static_cast<char*>(sbrk(0));
    // Only when the block lies in the heap below the break (not under a
    // sanitizer's allocator or an mmap'd arena).
    if (block && top > static_cast<char*>(block))
        AdviseLargePages(block, static_cast<size_t>(top - static_cast<char*>(block)));
    std::free(block);
}

bool ReadRegularFile(const std::string& path, std::string* bytes, size_t limit) {
    if (bytes) bytes->clear();
    const int fd = OpenRegularFile(path);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || static_cast<uint64_t>(st.st_size) > limit) {
        ::close(fd);
        errno = EFBIG;
        return false;
    }
    std::string out;
    // Read straight into the result; a file that grew since fstat takes more rounds.
    // One byte past the limit tells a file that grew beyond it.
    const size_t cap = limit < SIZE_MAX ? limit + 1 : limit;
    size_t used = 0;
    out.reserve(static_cast<size_t>(st.st_size) + 1);
    AdviseLargePages(out.data(), out.capacity());
    out.resize(static_cast<size_t>(st.st_size) + 1);
    bool ok = true;
    for (;;) {
        if (used == out.size()) {
            if (out.size() >= cap) {
                errno = EFBIG;
                ok = false;
                break;
            }
            out.resize(std::min(cap, out.size() * 2));
        }
        const ssize_t n = ::read(fd, out.data() + used, out.size() - used);
        if (n < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        if (n == 0) break;
        used += static_cast<size_t>(n);
        if (used > limit) {
            errno = EFBIG;
            ok = false;
            break;
        }
    }
    out.resize(used);
    ::close(fd);
    if (ok && bytes) *bytes = std::move(out);
    return ok;
}

std::u16string SafeFileName(const std::u16string& name) {
    std::u16string out;
    out.reserve(name.size());
    for (char16_t c : name) {
        const bool bad = c == u'/' || c == u'\\' || c < 0x20 || c == 0x7F || c == 0xF05C || (c >= 0xF080 && c <= 0xF0FF);
        out += bad ? u'_' : c;
    }
    for (size_t i = 0; i < out.size();) {
        if (out[i] != u'.') {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < out.size() && out[j] == u'.') ++j;
        // A lone "." inside a name is ordinary; a run of two or more, or a
        // name that is nothing but one dot, is not.
        if (j - i >= 2 || (i == 0 && j == out.size()))
            for (size_t k = i; k < j; ++k) out[k] = u'_';
        i = j;
    }
    if (out.empty()) out.assign(1, u'_');
    // Whole characters only: never split a surrogate pair.
    size_t bytes = 0, keep = 0;
    for (size_t i = 0; i < out.size();) {
        const bool pair = out[i] >= 0xD800 && out[i] < 0xDC00 && i + 1 < out.size() && out[i + 1] >= 0xDC00 &&
                          out[i + 1] < 0xE000;
        const size_t units = pair ? 2 : 1;
        const size_t len = pair ? 4 : out[i] < 0x80 ? 1 : out[i] < 0x800 ? 2 : 3;
        if (bytes + len > 200) break;
        bytes += len;
        i += units;
        keep = i;
    }
    out.resize(keep);
    return out;
}

bool IsSafeFileName(const std::u16string& name) { return !name.empty() && SafeFileName(name) == name; }

bool IsInside(const std::string& folder, const std::string& path, bool allowSelf) {
    const std::string root = Resolved(folder);
    if (root.empty()) return false;
    const std::string last = LastPart(path);
    if (last.empty() || last == "." || last == "..") return allowSelf && Resolved(path) == root;
    const std::string parent = Resolved(DirPart(path));
    if (parent.empty()) return false;
    const std::string prefix = root == "/" ? root : root + "/";
    if (parent == root || parent.compare(0, prefix.size(), prefix) == 0) return true;
    // The folder itself, named through its parent (not through a link).
    return allowSelf && (parent == "/" ? "/" + last : parent + "/" + last) == root;
}

bool RemoveFromFolder(const std::string& folder, const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
        RecordFailure(folder + "/" + name, "not a name inside the folder; left alone");
        return false;
    }
    const std::string path = folder + "/" + name;
    if (!IsInside(folder, path)) {
        RecordFailure(path, "outside the folder; left alone");
        return false;
    }
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT;
    if (S_ISDIR(st.st_mode)) {
        RecordFailure(path, "is a folder; left alone");
        return false;
    }
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        RecordFailure(path, "cannot delete: " + ErrnoText(errno));
        return false;
    }
    return true;
}

bool IsStaleTemporary(const std::string& name, const std::string& base) {
    pid_t pid = 0;
    return IsTemporaryOf(name, base, &pid) && pid != ::getpid() && ProcessGone(pid);
}

void RemoveStaleTemporaries(const std::string& folder, const std::string& base) {
    DIR* d = ::opendir(folder.c_str());
    if (!d) return;
    std::vector<std::string> stale;
    while (dirent* e = ::readdir(d))
        if (IsStaleTemporary(e->d_name, base)) stale.push_back(e->d_name);
    ::closedir(d);
    for (const std::string& name : stale) RemoveFromFolder(folder, name);
}

struct AtomicFile::Impl {
    std::string path, temp;
    int fd = -1;
    std::unique_ptr<FdBuf> buf;
    std::unique_ptr<std::ostream> stream;
    std::function<std::string(const uint8_t*, size_t)> check;
    bool created = false;
    bool done = false;
};

AtomicFile::AtomicFile(const std::string& path, bool sweep) : m(new Impl) {
    m->path = path;
    m->temp = path + ".~" + std::to_string(::getpid());
    if (sweep) RemoveStaleTemporaries(DirPart(path), LastPart(path));
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        RecordFailure(path, "cannot write: a folder has this name");
    } else {
        // A leftover of this process (an earlier failure) goes first; a link
        // there is removed, not followed.
        ::unlink(m->temp.c_str());
        // Read and write: Commit reads it back.
        m->fd = ::open(m->temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (m->fd < 0) RecordFailure(path, "cannot create " + m->temp + ": " + ErrnoText(errno));
    }
    m->created = m->fd >= 0;
    m->buf.reset(new FdBuf(m->fd));
    m->stream.reset(new std::ostream(m->buf.get()));
    if (m->fd < 0) m->stream->setstate(std::ios::badbit);
}

AtomicFile::~AtomicFile() {
    if (!m->done) Abandon();
}

bool AtomicFile::IsOpen() const { return m->fd >= 0; }

std::ostream& AtomicFile::Stream() { return *m->stream; }

bool AtomicFile::Write(const void* data, size_t size) {
    if (m->fd < 0) return false;
    m->stream->write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    return m->stream->good();
}

bool AtomicFile::Commit(bool* created) {
    if (created) *created = m->created;
    if (m->done) return false;
    if (m->fd < 0) {
        m->done = true;
        return false;
    }
    m->stream->flush();
    bool ok = m->buf->Flush() && m->stream->good();
    int err = m->buf->error();
    FileStamp stamp;
    if (ok) {
        // Read back as a reader will find it, before it takes the name.
        struct stat st {};
        std::string why;
        if (::fstat(m->fd, &st) != 0 ||
            !HashOf(m->fd, static_cast<uint64_t>(st.st_size), &stamp.hash, m->check ? &m->check : nullptr, &why)) {
            ok = false;
            err = errno;
        } else if (!why.empty()) {
            RecordFailure(m->path, "not put in place: what was written does not read back: " + why);
            ::close(m->fd);
            m->fd = -1;
            ::unlink(m->temp.c_str());
            m->done = true;
            return false;
        }
    }
    if (ok && ::fsync(m->fd) != 0) {
        ok = false;
        err = errno;
    }
    if (::close(m->fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    m->fd = -1;
    if (ok && ::rename(m->temp.c_str(), m->path.c_str()) != 0) {
        RecordFailure(m->path, "cannot put the new file in place: " + ErrnoText(errno));
        ::unlink(m->temp.c_str());
        m->done = true;
        if (created) *created = false;
        return false;
    }
    m->done = true;
    if (!ok) {
        RecordFailure(m->path, "cannot write: " + ErrnoText(err ? err : EIO));
        ::unlink(m->temp.c_str());
        return false;
    }
    // The rename moved the change time: the stamp is the placed file's.
    struct stat st {};
    if (::lstat(m->path.c_str(), &st) == 0) {
        StatInto(st, &stamp);
        NoteWritten(m->path, stamp);
    }
    return true;
}

void AtomicFile::CheckBeforeCommit(std::function<std::string(const uint8_t* data, size_t size)> check) {
    m->check = std::move(check);
}

void AtomicFile::StartWriteback() {
    if (m->fd < 0) return;
    m->stream->flush();
    // Only a hint: the disk starts on what is there while more is made.
    ::sync_file_range(m->fd, 0, 0, SYNC_FILE_RANGE_WRITE);
}

void AtomicFile::Abandon() {
    if (m->done) return;
    m->done = true;
    if (m->fd >= 0) {
        ::close(m->fd);
        m->fd = -1;
        ::unlink(m->temp.c_str());
    }
}

}  // namespace winfiles
