#include "streams.h"

#include "fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>

namespace tk {

int64_t TStream::Size() {
    int64_t pos = Seek(0, TSeekOrigin::soCurrent);
    int64_t end = Seek(0, TSeekOrigin::soEnd);
    Seek(pos, TSeekOrigin::soBeginning);
    return end;
}

void TStream::SetSize(int64_t) {}

int64_t TStream::Remaining() {
    int64_t r = Size() - Position();
    return r < 0 ? 0 : r;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
    if (count < 0 || (count != 0 && Read(buffer, count) != count)) throw EReadError(msg::SReadError);
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    if (count < 0 || (count != 0 && Write(buffer, count) != count)) throw EWriteError(msg::SWriteError);
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    const int64_t total = count;
    std::vector<uint8_t> buf(static_cast<size_t>(std::min<int64_t>(count, 1 << 20)));
    while (count > 0) {
        int64_t n = std::min<int64_t>(count, static_cast<int64_t>(buf.size()));
        source.ReadBuffer(buf.data(), n);
        WriteBuffer(buf.data(), n);
        count -= n;
    }
    return total;
}

// ---- THandleStream ----------------------------------------------------------

int64_t THandleStream::Read(void* buffer, int64_t count) {
    auto* p = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        size_t chunk = static_cast<size_t>(std::min<int64_t>(count - done, INT_MAX / 2));
        ssize_t n = ::read(fd_, p + done, chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    return done;
}

int64_t THandleStream::Write(const void* buffer, int64_t count) {
    auto* p = static_cast<const uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        size_t chunk = static_cast<size_t>(std::min<int64_t>(count - done, INT_MAX / 2));
        ssize_t n = ::write(fd_, p + done, chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += n;
    }
    return done;
}

int64_t THandleStream::Seek(int64_t offset, TSeekOrigin origin) {
    int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                 : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                    : SEEK_END;
    off_t r = ::lseek(fd_, static_cast<off_t>(offset), whence);
    return r < 0 ? -1 : static_cast<int64_t>(r);
}

void THandleStream::SetSize(int64_t size) {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) throw EWriteError(msg::SWriteError);
    if (Position() > size) SetPosition(size);
}

// ---- TFileStream ------------------------------------------------------------

static int OpenFile(const std::string& name, unsigned mode) {
    int flags = O_CLOEXEC;
    if (mode == fmCreate) {
        flags |= O_RDWR | O_CREAT | O_TRUNC;
    } else {
        switch (mode & 3) {
            case fmOpenWrite: flags |= O_WRONLY; break;
            case fmOpenReadWrite: flags |= O_RDWR; break;
            default: flags |= O_RDONLY; break;
        }
    }
    int fd;
    do {
        fd = ::open(name.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0 && mode != fmCreate) {
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd);
            errno = EISDIR;
            return -1;
        }
    }
    return fd;
}

TFileStream::TFileStream(const std::string& fileName, unsigned mode) : THandleStream(-1), fileName_(fileName) {
    if (mode != fmCreate && (mode & 3) == fmOpenRead) {
        try {
            fd_ = OpenInput(fileName, spool_);
        } catch (const EInOutError&) {
            throw EFOpenError(Format(msg::SFOpenError, fileName.c_str()));
        }
        return;
    }
    fd_ = OpenFile(fileName, mode);
    if (fd_ < 0) {
        if (mode == fmCreate) throw EFCreateError(Format(msg::SFCreateError, fileName.c_str()));
        throw EFOpenError(Format(msg::SFOpenError, fileName.c_str()));
    }
}

TFileStream::~TFileStream() {
    if (fd_ >= 0) ::close(fd_);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    if (!spool_) return THandleStream::Read(buffer, count);
    const int64_t n =
        std::max<int64_t>(0, std::min(count, static_cast<int64_t>(spool_->size()) - spoolPos_));
    if (n > 0) std::memcpy(buffer, spool_->data() + spoolPos_, static_cast<size_t>(n));
    spoolPos_ += n;
    return n;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    if (!spool_) return THandleStream::Seek(offset, origin);
    const int64_t base = SeekBase(origin, spoolPos_, static_cast<int64_t>(spool_->size()));
    if (base + offset < 0) return -1;
    spoolPos_ = base + offset;
    return spoolPos_;
}

// ---- TSafeFileStream --------------------------------------------------------

// The bytes go to the new file as they are written; for a device they are
// gathered first (writers seek back to patch lengths, which a pipe cannot)
// and written in place on Commit.
struct TSafeFileStream::Body {
    TFileSave save;
    TMemoryStream gathered;
    int64_t pos = 0;  // on the new file
    int64_t size = 0;
};

TSafeFileStream::TSafeFileStream(const std::string& targetName)
    : body_(std::make_unique<Body>()), target_(targetName) {
    if (int err = body_->save.Open(targetName))
        throw ESaveError(Format(msg::SFCreateError, targetName.c_str()), err);
}

TSafeFileStream::~TSafeFileStream() = default;

void TSafeFileStream::Fail(int err) {
    body_->save.Discard();
    committed_ = true;
    if (err == ENOSPC || err == EDQUOT || err == EFBIG) throw EWriteError(msg::SDiskFull);
    throw EWriteError(msg::SWriteError);
}

int64_t TSafeFileStream::Read(void*, int64_t) {
    return 0;
}

int64_t TSafeFileStream::Write(const void* buffer, int64_t count) {
    if (committed_ || count <= 0) return 0;
    if (body_->save.InPlace()) return body_->gathered.Write(buffer, count);
    if (int err = body_->save.WriteAt(buffer, count, body_->pos)) Fail(err);
    body_->pos += count;
    body_->size = std::max(body_->size, body_->pos);
    return count;
}

int64_t TSafeFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    if (body_->save.InPlace()) return body_->gathered.Seek(offset, origin);
    const int64_t base = SeekBase(origin, body_->pos, body_->size);
    if (base + offset < 0) return -1;
    body_->pos = base + offset;
    return body_->pos;
}

int64_t TSafeFileStream::Size() {
    return body_->save.InPlace() ? body_->gathered.Size() : body_->size;
}

void TSafeFileStream::SetSize(int64_t size) {
    if (body_->save.InPlace()) {
        body_->gathered.SetSize(size);
        return;
    }
    if (int err = body_->save.Truncate(size)) Fail(err);
    body_->size = size;
    body_->pos = std::min(body_->pos, size);
}

void TSafeFileStream::Commit() {
    if (committed_) return;
    if (body_->save.InPlace()) {
        const auto& bytes = body_->gathered.Bytes();
        if (int err = body_->save.Write(bytes.data(), static_cast<int64_t>(bytes.size())))
            Fail(err);
    }
    if (int err = body_->save.Commit()) Fail(err);
    committed_ = true;
}

// ---- TMemoryStream ----------------------------------------------------------

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    int64_t avail = static_cast<int64_t>(data_.size()) - pos_;
    int64_t n = std::max<int64_t>(0, std::min(count, avail));
    if (n > 0) std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(n));
    pos_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    size_t end = static_cast<size_t>(pos_ + count);
    if (end > data_.size()) {
        if (end > data_.capacity()) data_.reserve(std::max(end, data_.capacity() * 2));
        data_.resize(end);
    }
    std::memcpy(data_.data() + pos_, buffer, static_cast<size_t>(count));
    pos_ += count;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    const int64_t base = SeekBase(origin, pos_, static_cast<int64_t>(data_.size()));
    int64_t p = base + offset;
    if (p < 0) p = 0;
    pos_ = p;
    return pos_;
}

void TMemoryStream::SetSize(int64_t size) {
    data_.resize(static_cast<size_t>(size));
    if (pos_ > size) pos_ = size;
}

std::vector<uint8_t> TMemoryStream::TakeBytes() {
    pos_ = 0;
    return std::move(data_);
}

void TMemoryStream::Clear() {
    data_.clear();
    pos_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& s) {
    s.SetPosition(0);
    int64_t n = s.Size();
    data_.resize(static_cast<size_t>(n));
    s.ReadBuffer(data_.data(), n);
    pos_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
    TFileStream f(fileName, fmOpenRead);
    LoadFromStream(f);
}

void TMemoryStream::SaveToStream(TStream& s) { s.WriteBuffer(data_.data(), static_cast<int64_t>(data_.size())); }

void TMemoryStream::SaveToFile(const std::string& fileName) {
    TFileStream f(fileName, fmCreate);
    SaveToStream(f);
}

// ---- TPointerStream ---------------------------------------------------------

int64_t TPointerStream::Read(void* buffer, int64_t count) {
    int64_t n = std::max<int64_t>(0, std::min(count, size_ - pos_));
    if (n > 0) std::memcpy(buffer, data_ + pos_, static_cast<size_t>(n));
    pos_ += n;
    return n;
}

int64_t TPointerStream::Write(const void*, int64_t) { return 0; }

int64_t TPointerStream::Seek(int64_t offset, TSeekOrigin origin) {
    const int64_t base = SeekBase(origin, pos_, size_);
    int64_t p = base + offset;
    pos_ = p < 0 ? 0 : p;
    return pos_;
}

// ---- helpers ----------------------------------------------------------------

std::vector<uint8_t> ReadFileBytes(const std::string& fileName) {
    TFileStream f(fileName, fmOpenRead);
    std::vector<uint8_t> bytes(static_cast<size_t>(f.Size()));
    f.ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
    return bytes;
}

void WriteFileBytes(const std::string& fileName, const void* data, size_t size) {
    TFileStream f(fileName, fmCreate);
    f.WriteBuffer(data, static_cast<int64_t>(size));
}

}  // namespace tk
