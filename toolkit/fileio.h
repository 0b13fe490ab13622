// The run-time file layer: untyped binary files read and written in blocks.
// Failures raise EInOutError with the run-time's messages ("File not found",
// "Read beyond end of file", "Disk full", ...).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sysutils.h"

namespace tk {

// Run-time I/O error codes.
enum : int {
    ioFileNotFound = 2,
    ioInvalidFilename = 3,
    ioTooManyOpenFiles = 4,
    ioAccessDenied = 5,
    ioEndOfFile = 100,
    ioDiskFull = 101,
};

// The file a save to `name` reaches: `name` itself, or when it is a
// symbolic link (or a chain of them) the file it points to, so that saving
// through a link keeps the link and updates its target. 0, or ELOOP for a
// chain that never ends.
int SaveTarget(const std::string& name, std::string& target);

// One save, the way every writer of the system saves a file:
// - a regular file, or a path that does not exist yet, gets a new file
//   beside it (written, flushed to disk, renamed into place on Commit), so a
//   failed save never destroys what it was replacing;
// - an existing device, FIFO or socket is opened and written in place
//   (/dev/null stays a device; /dev/full reports the disk as full);
// - a folder, a link loop or a path that cannot be resolved is refused
//   before anything changes.
// Every call returns 0 or the errno of the failure.
class TFileSave {
public:
    TFileSave() = default;
    ~TFileSave();  // without Commit the new file is removed
    TFileSave(const TFileSave&) = delete;
    TFileSave& operator=(const TFileSave&) = delete;

    int Open(const std::string& name);
    int Write(const void* buffer, int64_t count);  // at the current position
    // At `offset` of the new file (not for a save in place).
    int WriteAt(const void* buffer, int64_t count, int64_t offset);
    int Truncate(int64_t size);
    int Commit();
    void Discard();
    bool InPlace() const { return inPlace_; }

private:
    int fd_ = -1;
    bool inPlace_ = false;
    std::string target_;  // the file a new file replaces
    std::string temp_;    // the new file until it is renamed
};

// Inputs that cannot be sized by seeking (pipes, FIFOs, terminals,
// character devices) are read whole when opened, up to this many bytes.
inline constexpr int64_t kMaxUnsizedInput = int64_t(1) << 30;
inline constexpr const char* SInputTooLarge = "More than 1 GiB from a pipe or device";

// Opens `name` for reading. A regular file (or block device) gives its
// descriptor; anything else is read whole into `spool` and its descriptor
// closed (-1 is returned), so that readers can size and seek every input
// alike. Raises EInOutError, or EReadError for an endless input.
using TSpool = std::shared_ptr<const std::vector<uint8_t>>;
int OpenInput(const std::string& name, TSpool& spool);

// For command-line tools: "-" names standard input when read and standard
// output when saved (written in place, as a device is), and an input that
// could not be sized is kept once read, so that opening the same name again
// (to find its kind, then to load it) gives the same bytes.
void SetToolStreams(bool on);
// The text of a run-time I/O error code.
std::string InOutErrorText(int code);
// The run-time code for an errno value.
int InOutCodeFromErrno(int err);
[[noreturn]] void RaiseInOutError(int code);

class TBinaryFile {
public:
    TBinaryFile() = default;
    ~TBinaryFile();
    TBinaryFile(const TBinaryFile&) = delete;
    TBinaryFile& operator=(const TBinaryFile&) = delete;

    void Reset(const std::string& name);    // open an existing file for reading
    void Rewrite(const std::string& name);  // create or truncate for writing
    // Writes go to a new file beside `name`, which replaces it on Close();
    // a failed or abandoned write leaves the old file untouched.
    // Saves as TFileSave does: a device or FIFO is written in place.
    void RewriteReplacing(const std::string& name);
    void BlockRead(void* buffer, int64_t count);   // exactly count bytes
    void BlockWrite(const void* buffer, int64_t count);
    void Close();  // for RewriteReplacing: renames the new file into place
    bool IsOpen() const { return fd_ >= 0 || saving_ || spool_; }
    int64_t FileSize() const;

private:
    void Discard();
    int fd_ = -1;
    TFileSave save_;  // RewriteReplacing
    bool saving_ = false;
    TSpool spool_;  // Reset of an input that could not be sized
    size_t spoolPos_ = 0;
};

}  // namespace tk
