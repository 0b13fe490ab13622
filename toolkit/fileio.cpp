#include "fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <vector>

namespace tk {

std::string SaveTarget(const std::string& name) {
    std::string path = name;
    // As many links as the system itself follows.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
        const ssize_t n = ::readlink(path.c_str(), buf.data(), buf.size());
        if (n < 0 || static_cast<size_t>(n) >= buf.size()) return path;
        std::string link(buf.data(), static_cast<size_t>(n));
        if (!link.empty() && link[0] != '/') {
            // Relative to the folder holding the link.
            const auto slash = path.rfind('/');
            if (slash != std::string::npos) link = path.substr(0, slash + 1) + link;
        }
        path = link;
    }
    return path;
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
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
    target_.clear();
}

static int OpenRetry(const char* name, int flags, mode_t mode) {
    int fd;
    do {
        fd = ::open(name, flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

void TBinaryFile::Reset(const std::string& name) {
    Discard();
    if (name.empty()) RaiseInOutError(ioFileNotFound);
    int fd = OpenRetry(name.c_str(), O_RDONLY, 0);
    if (fd < 0) RaiseInOutError(InOutCodeFromErrno(errno));
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        RaiseInOutError(ioAccessDenied);
    }
    fd_ = fd;
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
    struct stat st;
    bool exists = ::stat(name.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) RaiseInOutError(ioAccessDenied);
    if (exists && ::access(name.c_str(), W_OK) != 0) RaiseInOutError(InOutCodeFromErrno(errno));
    // Through a symbolic link the file it points to is replaced, not the link.
    const std::string target = SaveTarget(name);
    std::string pattern = target + ".XXXXXX.tmp";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    int fd = ::mkstemps(buf.data(), 4);
    if (fd < 0) RaiseInOutError(InOutCodeFromErrno(errno));
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    if (exists) {
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd, 0666 & ~mask);
    }
    fd_ = fd;
    temp_ = buf.data();
    target_ = target;
}

void TBinaryFile::BlockRead(void* buffer, int64_t count) {
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
    if (fd_ < 0) RaiseInOutError(103);
    auto* p = static_cast<const uint8_t*>(buffer);
    int64_t done = 0;
    while (done < count) {
        ssize_t n = ::write(fd_, p + done, static_cast<size_t>(std::min<int64_t>(count - done, INT_MAX / 2)));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) RaiseInOutError(InOutCodeFromErrno(errno));
        if (n == 0) RaiseInOutError(ioDiskFull);
        done += n;
    }
}

void TBinaryFile::Close() {
    if (fd_ < 0) return;
    if (temp_.empty()) {
        int r = ::close(fd_);
        fd_ = -1;
        if (r != 0) RaiseInOutError(InOutCodeFromErrno(errno));
        return;
    }
    bool ok = ::fsync(fd_) == 0 || errno == EINVAL;
    int err = ok ? 0 : errno;
    if (::close(fd_) != 0 && ok) {
        ok = false;
        err = errno;
    }
    fd_ = -1;
    if (ok && ::rename(temp_.c_str(), target_.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        Discard();
        RaiseInOutError(InOutCodeFromErrno(err));
    }
    temp_.clear();
    target_.clear();
}

int64_t TBinaryFile::FileSize() const {
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
}

}  // namespace tk
