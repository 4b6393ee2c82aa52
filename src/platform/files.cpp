#include "platform/files.h"

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/failure.h"

#ifdef _WIN32
#include "platform/windows_api.h"
// Older mingw-w64 headers lack it.
#ifndef ERROR_DISK_QUOTA_EXCEEDED
#define ERROR_DISK_QUOTA_EXCEEDED 1295L
#endif
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kavrel::platform {

namespace fs = std::filesystem;

namespace {

std::string otherReason(unsigned long code) {
    return std::string(kReasonOtherPrefix) + std::to_string(code) + ").";
}

// Numbers the temporary files of this process, so two saves never collide.
std::atomic<unsigned> temporaryCounter{0};

} // namespace

std::string errnoReason(int error) {
    switch (error) {
    case ENOENT:
        return kReasonNoFile;
    case EACCES:
    case EPERM:
        return kReasonAccessDenied;
    case EISDIR:
        return kReasonIsFolder;
    case ENOTDIR:
        return kReasonNotAFolder;
    case ENOSPC:
        return kReasonDiskFull;
#ifdef EDQUOT
    case EDQUOT:
        return kReasonQuota;
#endif
    case EROFS:
        return kReasonReadOnly;
    case ENAMETOOLONG:
        return kReasonNameTooLong;
    case EINVAL:
        return kReasonBadName;
    case EBUSY:
#ifdef ETXTBSY
    case ETXTBSY:
#endif
        return kReasonInUse;
    case EMFILE:
    case ENFILE:
        return kReasonTooManyOpen;
    case EFBIG:
#ifdef EOVERFLOW
    case EOVERFLOW:
#endif
        return kReasonTooLarge;
    case EIO:
        return kReasonIo;
#ifdef ELOOP
    case ELOOP:
        return kReasonLinks;
#endif
    case ENOMEM:
        return kReasonNoMemory;
    default:
        return otherReason(static_cast<unsigned long>(error));
    }
}

#ifndef _WIN32

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

#else // _WIN32

namespace {

fs::path widePath(const std::string& path) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(path.data()), path.size()));
}

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() {
        if (h_ != INVALID_HANDLE_VALUE)
            CloseHandle(h_);
    }
    HANDLE get() const { return h_; }
    bool close() {
        const BOOL ok = CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
        return ok != 0;
    }

private:
    HANDLE h_;
};

// Attributes of an existing entry, or a Failure naming it.
DWORD attributesOf(const char* operation, const std::string& path, const fs::path& wide) {
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        throw Failure(operation, path, lastErrorReason(GetLastError()));
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        throw Failure(operation, path, kReasonIsFolder);
    return attributes;
}

void checkReadable(const char* operation, const std::string& path, const fs::path& wide) {
    attributesOf(operation, path, wide);
    Handle file(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
        throw Failure(operation, path, lastErrorReason(GetLastError()));
}

} // namespace

std::string lastErrorReason(unsigned long error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
        return kReasonNoFile;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
        return kReasonNoFolder;
    case ERROR_ACCESS_DENIED:
        return kReasonAccessDenied;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE:
        return kReasonInUse;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return kReasonDiskFull;
    case ERROR_DISK_QUOTA_EXCEEDED:
        return kReasonQuota;
    case ERROR_WRITE_PROTECT:
        return kReasonReadOnly;
    case ERROR_FILENAME_EXCED_RANGE:
        return kReasonNameTooLong;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
        return kReasonBadName;
    case ERROR_TOO_MANY_OPEN_FILES:
        return kReasonTooManyOpen;
    case ERROR_FILE_TOO_LARGE:
        return kReasonTooLarge;
    case ERROR_NOT_READY:
        return kReasonNotReady;
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return kReasonNetwork;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return kReasonNoMemory;
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_IO_DEVICE:
        return kReasonIo;
    default:
        return otherReason(error);
    }
}

std::uint64_t fileSize(const std::string& path) {
    const fs::path wide = widePath(path);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data))
        throw Failure(kOpOpenFile, path, lastErrorReason(GetLastError()));
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        throw Failure(kOpOpenFile, path, kReasonIsFolder);
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string readFile(const std::string& path) {
    const fs::path wide = widePath(path);
    // Opening a folder fails with "access denied"; say what it really is.
    attributesOf(kOpReadFile, path, wide);
    Handle file(CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                            nullptr));
    if (file.get() == INVALID_HANDLE_VALUE)
        throw Failure(kOpReadFile, path, lastErrorReason(GetLastError()));
    if (GetFileType(file.get()) != FILE_TYPE_DISK)
        throw Failure(kOpReadFile, path, kReasonNotAFile);
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        throw Failure(kOpReadFile, path, lastErrorReason(GetLastError()));

    std::string bytes;
    bytes.resize(static_cast<std::size_t>(size.QuadPart) + 1);
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size())
            bytes.resize(bytes.size() * 2);
        const std::size_t room = bytes.size() - filled;
        const DWORD ask = room > (1u << 30) ? (1u << 30) : static_cast<DWORD>(room);
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes.data() + filled, ask, &got, nullptr))
            throw Failure(kOpReadFile, path, lastErrorReason(GetLastError()));
        if (got == 0)
            break;
        filled += got;
    }
    bytes.resize(filled);
    return bytes;
}

void writeFileReplacing(const std::string& path, std::string_view bytes) {
    const fs::path wide = widePath(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    if (existed && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw Failure(kOpWriteFile, path, kReasonIsFolder);

    fs::path folder = wide.parent_path();
    if (folder.empty())
        folder = L".";
    fs::path temporary;
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 100 && h == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = folder / (L".kavrel-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(temporaryCounter++) + L".tmp");
        h = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
                throw Failure(kOpWriteFile, path,
                              error == ERROR_FILE_NOT_FOUND ? std::string(kReasonNoFolder)
                                                            : lastErrorReason(error));
        }
    }
    if (h == INVALID_HANDLE_VALUE)
        throw Failure(kOpWriteFile, path, lastErrorReason(ERROR_FILE_EXISTS));
    Handle file(h);

    auto fail = [&](DWORD error) {
        if (file.get() != INVALID_HANDLE_VALUE)
            file.close();
        DeleteFileW(temporary.c_str());
        throw Failure(kOpWriteFile, path, lastErrorReason(error));
    };

    std::size_t written = 0;
    while (written < bytes.size()) {
        const std::size_t rest = bytes.size() - written;
        const DWORD ask = rest > (1u << 30) ? (1u << 30) : static_cast<DWORD>(rest);
        DWORD put = 0;
        if (!WriteFile(file.get(), bytes.data() + written, ask, &put, nullptr))
            fail(GetLastError());
        if (put == 0)
            fail(ERROR_DISK_FULL);
        written += put;
    }
    if (!FlushFileBuffers(file.get()))
        fail(GetLastError());
    if (!file.close())
        fail(GetLastError());
    // Keep the visible attributes of the file replaced; a read-only one makes
    // the move below fail with "access denied", as it should.
    if (existed)
        SetFileAttributesW(temporary.c_str(),
                           attributes &
                               (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));
    if (!MoveFileExW(temporary.c_str(), wide.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        fail(GetLastError());
}

void copyFile(const std::string& from, const std::string& to) {
    const fs::path wideFrom = widePath(from);
    const fs::path wideTo = widePath(to);
    checkReadable(kOpCopyFile, from, wideFrom);
    std::error_code ec;
    if (from == to || fs::equivalent(wideFrom, wideTo, ec))
        return;
    const DWORD attributes = GetFileAttributesW(wideTo.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw Failure(kOpCopyFile, to, kReasonIsFolder);
    if (!CopyFileW(wideFrom.c_str(), wideTo.c_str(), FALSE)) {
        const DWORD error = GetLastError();
        // The source was readable a moment ago: a missing entry is the target's folder.
        throw Failure(kOpCopyFile, to,
                      error == ERROR_FILE_NOT_FOUND ? std::string(kReasonNoFolder)
                                                    : lastErrorReason(error));
    }
}

void removeFileIfPresent(const std::string& path) {
    const fs::path wide = widePath(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        throw Failure(kOpRemoveFile, path, kReasonIsFolder);
    if (!DeleteFileW(wide.c_str())) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            throw Failure(kOpRemoveFile, path, lastErrorReason(error));
    }
}

bool fileExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(widePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

#endif

} // namespace kavrel::platform
