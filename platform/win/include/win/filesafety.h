// What keeps a user's files safe from the layers above: input files are read
// only when they are regular files, output is written whole or not at all,
// deletes stay inside the folder they are given and never follow a link, and
// a failure the caller's contract cannot report is kept here for the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "win/windows.h"

namespace winfiles {

// ---- Failures kept for the host ----
struct Failure {
    uint64_t serial = 0;  // increases over the life of the process
    std::string path;     // native
    std::string what;
};
WINAPI_EXPORT void RecordFailure(const std::string& path, const std::string& what);
// The serial the next failure will get: take it before an operation, then
// ask FailuresSince for what went wrong during it.
WINAPI_EXPORT uint64_t FailureMark();
WINAPI_EXPORT std::vector<Failure> FailuresSince(uint64_t mark);
// Every failure not yet taken, and forgets them.
WINAPI_EXPORT std::vector<Failure> TakeFailures();
// Forgets the failures of an operation whose failure costs only time (a
// cache), so that the host does not report them.
WINAPI_EXPORT void ForgetFailuresSince(uint64_t mark);

// ---- Reading ----
// Opens a regular file (a link to one is fine) for reading without blocking
// on a FIFO or device: -1 with errno set otherwise (EINVAL for other kinds).
WINAPI_EXPORT int OpenRegularFile(const std::string& path);
WINAPI_EXPORT bool IsRegularFile(const std::string& path);
// Asks the kernel for 2 MB pages over the whole 2 MB pages inside a large
// buffer not yet written: filling it then takes a fault per 2 MB instead of
// per 4 KB. Advice only; nothing changes where it is not taken.
WINAPI_EXPORT void AdviseLargePages(void* data, size_t size);
// For a host about to make and free large buffers (a compile: the texts,
// the collections, the subsetter's fonts): freed memory is kept for the next
// ones rather than given back and faulted in again, and the heap grows in
// one large step whose pages the kernel may back with 2 MB pages, as
// glibc.malloc.hugetlb=1 would have it. The first touch of each 4 KB page
// costs microseconds on a virtual machine.
WINAPI_EXPORT void PrepareLargeHeap();
// The whole file; false when it is no regular file or cannot be read.
// `limit` bounds what is read (larger files fail with EFBIG).
WINAPI_EXPORT bool ReadRegularFile(const std::string& path, std::string* bytes, size_t limit = size_t{1} << 30);

// ---- What a file held when it was written ----
// Enough to tell from a stat that a file is still the one written (its size,
// modification and change times to the nanosecond, and inode: a copy that
// keeps the times, or bytes written in place with the time set back, still
// change the change time), and from its bytes when the stat says otherwise
// (XXH3, 64 bits, of the content).
struct FileStamp {
    uint64_t size = 0;
    int64_t mtimeNs = 0;
    int64_t ctimeNs = 0;
    uint64_t inode = 0;
    uint64_t hash = 0;
    bool operator==(const FileStamp& o) const {
        return size == o.size && mtimeNs == o.mtimeNs && ctimeNs == o.ctimeNs && inode == o.inode && hash == o.hash;
    }
};
// The stamp of a regular file (not a link) as it is now, its content
// hashed; false when there is none or it cannot be read.
WINAPI_EXPORT bool StampFile(const std::string& path, FileStamp* stamp);
enum class StampCheck { Same, Changed, Missing };
// Whether `path` still holds what `stamp` says: a stat when its fields are
// those of the stamp, else (and always with `verify`) its bytes hashed. A
// file whose stat moved but whose bytes are the same is Same, and the
// stamp takes its new stat.
WINAPI_EXPORT StampCheck CheckStamp(const std::string& path, FileStamp* stamp, bool verify);
// The XXH3 hash of what a file holds, through a link too (the fonts of a
// profile are often links); false when it is no regular file or cannot be read.
WINAPI_EXPORT bool HashFile(const std::string& path, uint64_t* hash);
// "size,mtime,ctime,inode,hash" (the hash in hex), and back.
WINAPI_EXPORT std::string FormatStamp(const FileStamp& stamp);
WINAPI_EXPORT bool ParseStamp(const std::string& text, FileStamp* stamp);
// The files put in place by this process, with what they held: every
// AtomicFile committed, and what a writer outside this layer (the
// subsetting script, through the bridge) notes.
WINAPI_EXPORT void NoteWritten(const std::string& path, const FileStamp& stamp);
// The stamp of the last write of `path` noted at or after `mark`
// (WrittenMark, taken before the writes).
WINAPI_EXPORT bool WrittenSince(uint64_t mark, const std::string& path, FileStamp* stamp);
WINAPI_EXPORT uint64_t WrittenMark();

// ---- Names made from names ----
// The one mapping from a face name, pack name or record key to a file name:
//  - "/", "\", control characters (U+0000-U+001F, U+007F) and the private
//    characters that carry raw bytes of Linux names (U+F080-U+F0FF, U+F05C)
//    become "_";
//  - every "." of a run of two or more dots becomes "_", so no name is "."
//    or ".." or holds "..";
//  - an empty result becomes "_";
//  - the name is cut to 200 bytes of UTF-8 (whole characters), leaving room
//    for a size, style and extension within the 255 bytes Linux allows.
WINAPI_EXPORT std::u16string SafeFileName(const std::u16string& name);
// True when the name is already what SafeFileName makes of it.
WINAPI_EXPORT bool IsSafeFileName(const std::u16string& name);

// ---- Folders ----
// The absolute path with every link resolved; empty when it does not exist.
WINAPI_EXPORT std::string ResolvedPath(const std::string& path);
// Whether `path` names an entry inside `folder` (or the folder itself, with
// `allowSelf`). The folder and the directory part of the path are resolved
// through their links; the last component of the path is not, because what
// is deleted or replaced there is the entry itself, never a link's target.
WINAPI_EXPORT bool IsInside(const std::string& folder, const std::string& path, bool allowSelf = false);
// Removes `name` (one path component) from `folder`: a file, or a link as a
// link, never a directory. A name that is not there is no failure; anything
// else that fails is recorded.
WINAPI_EXPORT bool RemoveFromFolder(const std::string& folder, const std::string& name);
// Removes the temporaries ("<name>.~<pid>") that processes which no longer
// run left in `folder`; only those of `base` when it is not empty.
WINAPI_EXPORT void RemoveStaleTemporaries(const std::string& folder, const std::string& base = std::string());
// Whether `name` is a temporary ("<base>.~<pid>") that a process which no
// longer runs left behind: what a write killed before its rename leaves.
WINAPI_EXPORT bool IsStaleTemporary(const std::string& name, const std::string& base);

// A file written whole or not at all. Bytes go to "<path>.~<pid>" in the same
// folder, which replaces `path` in Commit only when every byte was written
// and flushed; a link at `path` is replaced, never written through. Anything
// that fails is recorded, and the temporary is removed. A committed file is
// noted as written (NoteWritten), its stamp hashed from the bytes read back. With `sweep`, the
// temporaries of `path` that dead processes left are removed first (a build
// that writes many files into one folder sweeps it once instead).
class WINAPI_EXPORT AtomicFile {
public:
    explicit AtomicFile(const std::string& path, bool sweep = true);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // False when the temporary could not be created.
    bool IsOpen() const;
    // The bytes go to the temporary; seekp goes back to fill in what is known last.
    std::ostream& Stream();
    // Lets the disk start on what was written so far, without waiting, so
    // that Commit has less to wait for when a large file is made piece by piece.
    void StartWriteback();
    bool Write(const void* data, size_t size);
    // Has Commit read the whole temporary back and hand its bytes to
    // `check` before the file is put in place: "" when it holds, else what
    // is wrong, which is recorded as the file's failure (the old file stays).
    void CheckBeforeCommit(std::function<std::string(const uint8_t* data, size_t size)> check);
    // Puts the file in place. False (and the old file untouched) when
    // anything failed, with *created telling whether the temporary had been
    // made at all.
    bool Commit(bool* created = nullptr);
    // Forgets what was written; the old file stays.
    void Abandon();

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

}  // namespace winfiles
