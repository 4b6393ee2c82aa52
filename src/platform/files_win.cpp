// Whole-file operations on Windows, through the wide-character API.
#include "platform/files.h"

#include <atomic>
#include <filesystem>
#include <system_error>

#include "platform/failure.h"
#include "platform/system_errors.h"
#include "common/utf8_text.h"

#ifdef _WIN32
#include "common/windows_api.h"

namespace kavrel::platform {

namespace fs = std::filesystem;

namespace {

// Numbers the temporary files of this process, so two saves never collide.
std::atomic<unsigned> temporaryCounter{0};

} // namespace

namespace {

fs::path widePath(const std::string& path) {
    return utf8::toPath(path);
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

} // namespace kavrel::platform

#endif
