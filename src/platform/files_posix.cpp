// Whole-file operations on POSIX systems.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/failure.h"
#include "platform/system_errors.h"

#ifndef _WIN32

namespace kavrel::platform {

namespace fs = std::filesystem;

namespace {

// Numbers the temporary files of this process, so two saves never collide.
std::atomic<unsigned> temporaryCounter{0};

} // namespace

namespace {

// Closes a descriptor on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    // Closes now and reports the result: some file systems only report a
    // failed write when the file is closed.
    int close() {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

fs::path parentOf(const std::string& path) {
    fs::path parent = fs::path(path).parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

// ENOENT says nothing about which part of the path is missing; tell the user.
std::string reasonFor(int error, const std::string& path) {
    if (error == ENOENT) {
        std::error_code ec;
        return fs::is_directory(parentOf(path), ec) ? kReasonNoFile : kReasonNoFolder;
    }
    return errnoReason(error);
}

} // namespace

std::uint64_t fileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        throw Failure(kOpOpenFile, path, reasonFor(errno, path));
    if (S_ISDIR(st.st_mode))
        throw Failure(kOpOpenFile, path, kReasonIsFolder);
    if (!S_ISREG(st.st_mode))
        throw Failure(kOpOpenFile, path, kReasonNotAFile);
    return static_cast<std::uint64_t>(st.st_size);
}

namespace {

std::string readWhole(const char* operation, const std::string& path) {
    // O_NONBLOCK: opening a named pipe must not hang the program; it is refused below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        throw Failure(operation, path, reasonFor(errno, path));
    Descriptor file(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw Failure(operation, path, errnoReason(errno));
    if (S_ISDIR(st.st_mode))
        throw Failure(operation, path, kReasonIsFolder);
    if (!S_ISREG(st.st_mode))
        throw Failure(operation, path, kReasonNotAFile);

    // The size is a hint: the file may change between fstat and read.
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size())
            bytes.resize(bytes.size() * 2);
        const ssize_t got = ::read(fd, bytes.data() + filled, bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw Failure(operation, path, errnoReason(errno));
        }
        if (got == 0)
            break;
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return bytes;
}

// `durable`: the data and the new name reach the disk before it returns, as
// a user's document must; a copy that can be made again need not wait for that.
void replaceWith(const char* operation, const std::string& path, std::string_view bytes,
                 bool durable) {
    // Replace what a symbolic link points to, not the link itself.
    std::string target = path;
    struct stat linkSt {};
    if (::lstat(path.c_str(), &linkSt) == 0 && S_ISLNK(linkSt.st_mode)) {
        std::error_code ec;
        const fs::path resolved = fs::weakly_canonical(fs::path(path), ec);
        if (!ec)
            target = resolved.string();
    }

    struct stat st {};
    const bool existed = ::stat(target.c_str(), &st) == 0;
    if (existed && S_ISDIR(st.st_mode))
        throw Failure(operation, path, kReasonIsFolder);
    if (existed && !S_ISREG(st.st_mode))
        throw Failure(operation, path, kReasonNotAFile);

    const fs::path folder = parentOf(target);
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = (folder / (".kavrel-" + std::to_string(::getpid()) + "-" +
                               std::to_string(temporaryCounter++) + ".tmp"))
                        .string();
        // A new file gets the usual rights (0666 less the umask); a replaced
        // one gets its predecessor's below.
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                    existed ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST)
            throw Failure(operation, path, reasonFor(errno, target));
    }
    if (fd < 0)
        throw Failure(operation, path, errnoReason(EEXIST));
    Descriptor file(fd);

    auto fail = [&](int error) {
        if (file.get() >= 0)
            file.close();
        ::unlink(temporary.c_str());
        throw Failure(operation, path, reasonFor(error, target));
    };

    if (existed) {
        // Best effort: only the owner or root may change these.
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
        }
        if (::fchmod(fd, st.st_mode & 07777) != 0) {
        }
    }

    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            fail(errno);
        }
        if (put == 0)
            fail(ENOSPC);
        written += static_cast<std::size_t>(put);
    }
    // EINVAL: a file system that cannot sync; the data is written all the same.
    if (durable && ::fsync(fd) != 0 && errno != EINVAL)
        fail(errno);
    if (file.close() != 0)
        fail(errno);
    if (::rename(temporary.c_str(), target.c_str()) != 0)
        fail(errno);

    if (!durable)
        return;
    // Make the new directory entry itself durable; nothing to report if not.
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

} // namespace

std::string readFile(const std::string& path) {
    return readWhole(kOpReadFile, path);
}

void writeFileReplacing(const std::string& path, std::string_view bytes) {
    replaceWith(kOpWriteFile, path, bytes, true);
}

void copyFile(const std::string& from, const std::string& to) {
    std::string bytes = readWhole(kOpCopyFile, from);
    std::error_code ec;
    if (from == to || fs::equivalent(fs::path(from), fs::path(to), ec))
        return;
    // Not std::filesystem::copy_file: it reports a full disk as an I/O error
    // and leaves a truncated target behind. Through a temporary file the
    // target is either the whole copy or what it was before. The copies of an
    // assembly job can be made again, so they do not wait for the disk.
    replaceWith(kOpCopyFile, to, bytes, false);
}

void removeFileIfPresent(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        throw Failure(kOpRemoveFile, path, kReasonIsFolder);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT && errno != ENOTDIR)
        throw Failure(kOpRemoveFile, path, errnoReason(errno));
}

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

} // namespace kavrel::platform

#endif
