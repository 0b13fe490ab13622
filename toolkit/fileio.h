// The run-time file layer: untyped binary files read and written in blocks.
// Failures raise EInOutError with the run-time's messages ("File not found",
// "Read beyond end of file", "Disk full", ...).
#pragma once

#include <cstdint>
#include <string>

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

// The file a save to `name` replaces: `name` itself, or when it is a
// symbolic link (or a chain of them) the file it points to, so that saving
// through a link keeps the link and updates its target.
std::string SaveTarget(const std::string& name);

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
    void RewriteReplacing(const std::string& name);
    void BlockRead(void* buffer, int64_t count);   // exactly count bytes
    void BlockWrite(const void* buffer, int64_t count);
    void Close();  // for RewriteReplacing: renames the new file into place
    bool IsOpen() const { return fd_ >= 0; }
    int64_t FileSize() const;

private:
    void Discard();
    int fd_ = -1;
    std::string target_;  // RewriteReplacing: the file to replace
    std::string temp_;
};

}  // namespace tk
