// Byte streams: files, memory, read-only views. A short read through
// ReadBuffer raises "Stream read error"; readers check sizes against
// Remaining() before allocating.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "sysutils.h"

namespace tk {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// Where a seek's offset counts from, for a stream at `position` of `size`
// bytes.
inline int64_t SeekBase(TSeekOrigin origin, int64_t position, int64_t size) {
    return origin == TSeekOrigin::soBeginning ? 0 : origin == TSeekOrigin::soCurrent ? position : size;
}

class TStream {
public:
    virtual ~TStream() = default;
    TStream() = default;
    TStream(const TStream&) = delete;
    TStream& operator=(const TStream&) = delete;

    // Transfer up to count bytes; return how many were moved.
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    virtual int64_t Size();
    virtual void SetSize(int64_t size);

    int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t pos) { Seek(pos, TSeekOrigin::soBeginning); }
    // Bytes between the position and the end (never negative).
    int64_t Remaining();

    // Exactly count bytes or EReadError / EWriteError.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    // Copies count bytes from source (count 0: all of source from its start).
    int64_t CopyFrom(TStream& source, int64_t count);

    template <class T>
    T ReadLE() {
        T v;
        ReadBuffer(&v, sizeof v);
        return v;  // the platform is little-endian, as the files are
    }
    template <class T>
    void WriteLE(T v) {
        WriteBuffer(&v, sizeof v);
    }
};

// File open modes.
enum : unsigned {
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmCreate = 0xFF00,
};

class THandleStream : public TStream {
public:
    explicit THandleStream(int fd) : fd_(fd) {}
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t size) override;
    int Handle() const { return fd_; }

protected:
    int fd_ = -1;
};

// A file opened (fmOpenRead/Write/ReadWrite) or created (fmCreate, which
// truncates). Fails with "Cannot open file %s" / "Cannot create file %s".
// Opened for reading, an input that cannot be sized (a pipe, FIFO or
// character device) is read whole at once, so it sizes and seeks as a file.
class TFileStream : public THandleStream {
public:
    TFileStream(const std::string& fileName, unsigned mode);
    ~TFileStream() override;
    const std::string& FileName() const { return fileName_; }
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;

protected:
    std::string fileName_;
    std::shared_ptr<const std::vector<uint8_t>> spool_;
    int64_t spoolPos_ = 0;
};

// A save: the file written as TFileSave saves (a new file beside the target
// put in its place only on Commit(), so a failed save never destroys the
// file it was replacing; a device or FIFO written in place). Without
// Commit() nothing of it remains. Failures to start report "Cannot create
// file %s" with the target's name; failed writes "Stream write error", or
// "Disk full" when the disk is.
// A save that could not start: "Cannot create file %s", and the system's
// reason (an errno value) for those who show more.
class ESaveError : public EFCreateError {
public:
    ESaveError(std::string message, int code)
        : EFCreateError(std::move(message)), ErrorCode(code) {}
    const char* ClassName() const noexcept override { return "EFCreateError"; }
    int ErrorCode;
};

class TSafeFileStream : public TStream {
public:
    explicit TSafeFileStream(const std::string& targetName);
    ~TSafeFileStream() override;
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override;
    void SetSize(int64_t size) override;
    void Commit();  // flushes, closes and renames; raises EWriteError on failure
    const std::string& TargetName() const { return target_; }

private:
    [[noreturn]] void Fail(int err);
    struct Body;
    std::unique_ptr<Body> body_;
    std::string target_;
    bool committed_ = false;
};

// Growable stream in memory.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> bytes) : data_(std::move(bytes)) {}
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }
    void SetSize(int64_t size) override;

    uint8_t* Memory() { return data_.data(); }
    const std::vector<uint8_t>& Bytes() const { return data_; }
    std::vector<uint8_t> TakeBytes();
    void Clear();
    void LoadFromStream(TStream& s);
    void LoadFromFile(const std::string& fileName);
    void SaveToStream(TStream& s);
    void SaveToFile(const std::string& fileName);

private:
    std::vector<uint8_t> data_;
    int64_t pos_ = 0;
};

// Read-only stream over bytes owned by someone else.
class TPointerStream : public TStream {
public:
    TPointerStream(const void* data, int64_t size)
        : data_(static_cast<const uint8_t*>(data)), size_(size) {}
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return size_; }

private:
    const uint8_t* data_;
    int64_t size_;
    int64_t pos_ = 0;
};

// Whole-file helpers for tools and tests.
std::vector<uint8_t> ReadFileBytes(const std::string& fileName);
void WriteFileBytes(const std::string& fileName, const void* data, size_t size);

}  // namespace tk
