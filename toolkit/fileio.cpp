#include "fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <map>
#include <string_view>
#include <vector>

namespace tk {

int SaveTarget(const std::string& name, std::string& target) {
    std::string path = name;
    // As many links as the system itself follows.
    for (int hops = 0; hops <= 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            target = path;
            return 0;
        }
        std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
        const ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size());
        if (n < 0) return errno;
        if (static_cast<size_t>(n) >= buf.size()) return ENAMETOOLONG;
        std::string link(buf.data(), static_cast<size_t>(n));
        if (!link.empty() && link[0] != '/') {
            // Relative to the folder holding the link.
            const auto slash = path.rfind('/');
            if (slash != std::string::npos) link = path.substr(0, slash + 1) + link;
        }
        path = link;
    }
    return ELOOP;
}

// ---- TFileSave ----------------------------------------------------------------

namespace {

// SetToolStreams.
bool toolStreams = false;

int OpenRetry(const char* name, int flags, mode_t mode) {
    int fd;
    do {
        fd = ::open(name, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// Writes all `count` bytes, at `offset` or (for -1) where the file stands;
// 0 or the errno that stopped it (ENOSPC when the file takes no more).
int WriteWhole(int fd, const void* buffer, int64_t count, int64_t offset = -1) {
    auto* p = static_cast<const uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        const auto chunk = static_cast<size_t>(std::min<int64_t>(count - done, INT_MAX / 2));
        const ssize_t n = offset < 0 ? ::write(fd, p + done, chunk)
                                     : ::pwrite(fd, p + done, chunk, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return ENOSPC;
        done += n;
    }
    return 0;
}

// A new file's name beside `target`: "NAME.XXXXXX.tmp", with NAME cut when
// the whole would pass the folder's limit on name length.
std::string TempPattern(const std::string& target) {
    const auto slash = target.rfind('/');
    const std::string dir =
        slash == std::string::npos ? std::string(".") : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    long nameMax = ::pathconf(dir.c_str(), _PC_NAME_MAX);
    if (nameMax <= 0) nameMax = NAME_MAX;
    const size_t suffix = std::string_view(".XXXXXX.tmp").size();
    if (base.size() + suffix > static_cast<size_t>(nameMax))
        base.resize(static_cast<size_t>(nameMax) > suffix ? static_cast<size_t>(nameMax) - suffix
                                                          : 0);
    return (slash == std::string::npos ? std::string() : dir) + base + ".XXXXXX.tmp";
}

void SyncFolderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string dir =
        slash == std::string::npos ? std::string(".") : path.substr(0, slash ? slash : 1);
    const int fd = OpenRetry(dir.c_str(), O_RDONLY | O_DIRECTORY, 0);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

TFileSave::~TFileSave() {
    Discard();
}

void TFileSave::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    target_.clear();
    inPlace_ = false;
}

int TFileSave::Open(const std::string& name) {
    Discard();
    if (name.empty()) return ENOENT;
    if (toolStreams && name == "-") {
        fd_ = ::fcntl(1, F_DUPFD_CLOEXEC, 3);
        if (fd_ < 0) return errno;
        inPlace_ = true;
        return 0;
    }
    std::string target;
    if (int err = SaveTarget(name, target)) return err;
    struct stat st;
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return errno;
    if (exists && S_ISDIR(st.st_mode)) return EISDIR;
    if (exists && !S_ISREG(st.st_mode)) {
        // A device, FIFO or socket is the destination itself: written in
        // place, never replaced by a file.
        const int fd = OpenRetry(target.c_str(), O_WRONLY | O_NOCTTY, 0);
        if (fd < 0) return errno;
        fd_ = fd;
        inPlace_ = true;
        return 0;
    }
    if (exists && ::access(target.c_str(), W_OK) != 0) return errno;
    std::string pattern = TempPattern(target);
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    const int fd = ::mkostemps(buf.data(), 4, O_CLOEXEC);
    if (fd < 0) return errno;
    // Keep the mode of the file being replaced, or the usual one for a new file.
    if (exists) {
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    fd_ = fd;
    temp_ = buf.data();
    target_ = target;
    return 0;
}

int TFileSave::Write(const void* buffer, int64_t count) {
    if (fd_ < 0) return EBADF;
    return WriteWhole(fd_, buffer, count);
}

int TFileSave::WriteAt(const void* buffer, int64_t count, int64_t offset) {
    if (fd_ < 0) return EBADF;
    if (inPlace_) return ESPIPE;
    return WriteWhole(fd_, buffer, count, offset);
}

int TFileSave::Truncate(int64_t size) {
    if (fd_ < 0) return EBADF;
    if (inPlace_) return ESPIPE;
    return ::ftruncate(fd_, static_cast<off_t>(size)) == 0 ? 0 : errno;
}

int TFileSave::Commit() {
    if (fd_ < 0) return EBADF;
    int err = 0;
    // A device may not sync (EINVAL, ENOTSUP); what it did not take was
    // reported by the writes.
    if (::fsync(fd_) != 0 && errno != EINVAL && errno != ENOTSUP && errno != EROFS) err = errno;
    if (::close(fd_) != 0 && !err) err = errno;
    fd_ = -1;
    if (!err && !temp_.empty()) {
        if (::rename(temp_.c_str(), target_.c_str()) != 0)
            err = errno;
        else {
            temp_.clear();
            SyncFolderOf(target_);
        }
    }
    Discard();
    return err;
}

// ---- Inputs -------------------------------------------------------------------

namespace {

std::map<std::string, TSpool>& KeptInputs() {
    static std::map<std::string, TSpool> kept;
    return kept;
}

// Reads to the end, in growing steps, never past the bound.
TSpool ReadWhole(int fd) {
    auto bytes = std::make_shared<std::vector<uint8_t>>();
    std::vector<uint8_t>& b = *bytes;
    size_t size = 0;
    for (;;) {
        if (b.size() - size < (64 << 10))
            b.resize(
                std::min<size_t>(std::max<size_t>(b.size() * 2, 1 << 20), kMaxUnsizedInput + 1));
        const size_t room =
            std::min<size_t>(b.size() - size, static_cast<size_t>(kMaxUnsizedInput) + 1 - size);
        const ssize_t n = ::read(fd, b.data() + size, room);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            RaiseInOutError(InOutCodeFromErrno(err));
        }
        if (n == 0) break;
        size += static_cast<size_t>(n);
        if (size > static_cast<size_t>(kMaxUnsizedInput)) {
            ::close(fd);
            throw EReadError(SInputTooLarge);
        }
    }
    ::close(fd);
    b.resize(size);
    b.shrink_to_fit();
    return bytes;
}

}  // namespace

void SetToolStreams(bool on) {
    toolStreams = on;
}

int OpenInput(const std::string& name, TSpool& spool) {
    spool.reset();
    if (name.empty()) RaiseInOutError(ioFileNotFound);
    const bool standardInput = toolStreams && name == "-";
    if (toolStreams) {
        auto it = KeptInputs().find(name);
        if (it != KeptInputs().end()) {
            spool = it->second;
            return -1;
        }
    }
    const int fd = standardInput ? ::fcntl(0, F_DUPFD_CLOEXEC, 3)
                                 : OpenRetry(name.c_str(), O_RDONLY | O_NOCTTY, 0);
    if (fd < 0) RaiseInOutError(InOutCodeFromErrno(errno));
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        RaiseInOutError(ioAccessDenied);
    }
    // Standard input is read from where it stands, once, whatever it is.
    if (!standardInput && (S_ISREG(st.st_mode) || S_ISBLK(st.st_mode))) return fd;
    spool = ReadWhole(fd);
    if (toolStreams) KeptInputs()[name] = spool;
    return -1;
}

std::string InOutErrorText(int code) {
    switch (code) {
        case ioFileNotFound: return msg::SFileNotFound;
        case ioInvalidFilename: return msg::SInvalidFilename;
        case ioTooManyOpenFiles: return msg::STooManyOpenFiles;
        case ioAccessDenied: return msg::SAccessDenied;
        case ioEndOfFile: return msg::SEndOfFile;
        case ioDiskFull: return msg::SDiskFull;
        default: return Format(msg::SInOutError, code);
    }
}

int InOutCodeFromErrno(int err) {
    switch (err) {
        case ENOENT: return ioFileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case EINVAL: return ioInvalidFilename;
        case EMFILE:
        case ENFILE: return ioTooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY: return ioAccessDenied;
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return ioDiskFull;
        default: return err;
    }
}

void RaiseInOutError(int code) { throw EInOutError(code, InOutErrorText(code)); }

TBinaryFile::~TBinaryFile() { Discard(); }

void TBinaryFile::Discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    save_.Discard();
    saving_ = false;
    spool_.reset();
    spoolPos_ = 0;
}

void TBinaryFile::Reset(const std::string& name) {
    Discard();
    fd_ = OpenInput(name, spool_);
}

void TBinaryFile::Rewrite(const std::string& name) {
    Discard();
    if (name.empty()) RaiseInOutError(ioFileNotFound);
    int fd = OpenRetry(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0) RaiseInOutError(InOutCodeFromErrno(errno));
    fd_ = fd;
}

void TBinaryFile::RewriteReplacing(const std::string& name) {
    Discard();
    if (name.empty()) RaiseInOutError(ioFileNotFound);
    if (int err = save_.Open(name))
        RaiseInOutError(err == EISDIR ? ioAccessDenied : InOutCodeFromErrno(err));
    saving_ = true;
}

void TBinaryFile::BlockRead(void* buffer, int64_t count) {
    if (spool_) {
        if (count < 0 || static_cast<uint64_t>(count) > spool_->size() - spoolPos_) {
            spoolPos_ = spool_->size();
            RaiseInOutError(ioEndOfFile);
        }
        if (count) std::memcpy(buffer, spool_->data() + spoolPos_, static_cast<size_t>(count));
        spoolPos_ += static_cast<size_t>(count);
        return;
    }
    if (fd_ < 0) RaiseInOutError(103);  // file not open
    auto* p = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        ssize_t n = ::read(fd_, p + done, static_cast<size_t>(std::min<int64_t>(count - done, INT_MAX / 2)));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) RaiseInOutError(InOutCodeFromErrno(errno));
        if (n == 0) RaiseInOutError(ioEndOfFile);
        done += n;
    }
}

void TBinaryFile::BlockWrite(const void* buffer, int64_t count) {
    if (saving_) {
        if (int err = save_.Write(buffer, count)) RaiseInOutError(InOutCodeFromErrno(err));
        return;
    }
    if (fd_ < 0) RaiseInOutError(103);
    if (int err = WriteWhole(fd_, buffer, count)) RaiseInOutError(InOutCodeFromErrno(err));
}

void TBinaryFile::Close() {
    if (saving_) {
        saving_ = false;
        if (int err = save_.Commit()) RaiseInOutError(InOutCodeFromErrno(err));
        return;
    }
    if (spool_) {
        Discard();
        return;
    }
    if (fd_ < 0) return;
    int r = ::close(fd_);
    fd_ = -1;
    if (r != 0) RaiseInOutError(InOutCodeFromErrno(errno));
}

int64_t TBinaryFile::FileSize() const {
    if (spool_) return static_cast<int64_t>(spool_->size());
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

}  // namespace tk
