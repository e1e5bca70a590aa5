#include "FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace quillory {

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::string ReadWholeFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error("Cannot open file \"" + path + "\". " + std::strerror(errno));
    std::string out;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int err = errno;
            ::close(fd);
            throw std::runtime_error("Cannot read file \"" + path + "\". " + std::strerror(err));
        }
        if (n == 0)
            break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return out;
}

TRegularFileRead ReadRegularFileChecked(const std::string& path, std::size_t maxBytes) {
    TRegularFileRead result;
    result.MaxBytes = maxBytes;
    auto refuse = [&](TFileRefusal why, int err = 0) {
        result.Refusal = why;
        result.Error = err;
        return result;
    };
    struct stat st {};
    // Look before opening: opening a named pipe blocks until a writer comes,
    // and opening a device may do anything.
    if (::stat(path.c_str(), &st) != 0)
        return refuse(errno == ENOENT || errno == ENOTDIR ? TFileRefusal::Missing
                                                          : TFileRefusal::Unreadable,
                      errno);
    if (!S_ISREG(st.st_mode))
        return refuse(TFileRefusal::NotRegular);
    if (static_cast<std::uintmax_t>(st.st_size) > maxBytes)
        return refuse(TFileRefusal::TooLarge);
    // O_NONBLOCK: should the path be swapped for a pipe since the look, the
    // open still returns at once, and the second look refuses it.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return refuse(errno == ENOENT ? TFileRefusal::Missing : TFileRefusal::Unreadable, errno);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return refuse(TFileRefusal::NotRegular);
    }
    if (static_cast<std::uintmax_t>(st.st_size) > maxBytes) {
        ::close(fd);
        return refuse(TFileRefusal::TooLarge);
    }
    std::string out;
    out.resize(static_cast<std::size_t>(st.st_size) + 1);
    std::size_t done = 0;
    for (;;) {
        if (done == out.size()) {
            if (done > maxBytes)
                break; // it grew past the limit while being read
            out.resize(std::min(out.size() * 2 + 1, maxBytes + 1));
        }
        ssize_t n = ::read(fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            return refuse(TFileRefusal::Unreadable, err);
        }
        if (n == 0)
            break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (done > maxBytes)
        return refuse(TFileRefusal::TooLarge);
    out.resize(done);
    result.Bytes = std::move(out);
    return result;
}

std::optional<std::string> ReadRegularFile(const std::string& path, std::size_t maxBytes) {
    return ReadRegularFileChecked(path, maxBytes).Bytes;
}

std::string TRegularFileRead::Reason() const {
    switch (Refusal) {
    case TFileRefusal::None:
        return {};
    case TFileRefusal::NotRegular:
        return "Not a regular file";
    case TFileRefusal::TooLarge: {
        constexpr std::size_t MiB = 1024 * 1024;
        if (MaxBytes >= MiB && MaxBytes % MiB == 0)
            return "Larger than " + std::to_string(MaxBytes / MiB) + " MiB";
        return "Larger than " + std::to_string(MaxBytes) + " bytes";
    }
    case TFileRefusal::Missing:
        return std::strerror(Error != 0 ? Error : ENOENT);
    case TFileRefusal::Unreadable:
        return Error != 0 ? std::strerror(Error) : "Cannot be read";
    }
    return {};
}

std::string ReadRegularFileOrThrow(const std::string& path, std::size_t maxBytes) {
    TRegularFileRead read = ReadRegularFileChecked(path, maxBytes);
    if (!read.Bytes)
        throw std::runtime_error("Cannot open file \"" + path + "\". " + read.Reason());
    return std::move(*read.Bytes);
}

namespace {
[[noreturn]] void ThrowCreate(const std::string& path, int err) {
    throw std::runtime_error("Cannot create file \"" + path + "\". " + std::strerror(err));
}
[[noreturn]] void ThrowCreate(const std::string& path, const std::string& reason) {
    throw std::runtime_error("Cannot create file \"" + path + "\". " + reason);
}
} // namespace

void WriteWholeFile(const std::string& path, const std::string& bytes, unsigned createMode) {
    // The file actually replaced: a symbolic link stays and its file changes.
    std::string target = path;
    struct stat st {};
    bool exists = false;
    if (::lstat(path.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            if (char* real = ::realpath(path.c_str(), nullptr)) {
                target = real;
                std::free(real);
            } else if (errno != ENOENT) {
                ThrowCreate(path, errno);
            }
            // A dangling link: the file it names is created.
        }
        if (::stat(target.c_str(), &st) == 0) {
            exists = true;
            if (!S_ISREG(st.st_mode))
                ThrowCreate(path, "Not a regular file");
            // A file the user may not write stays as it is, even though the
            // folder would let a new file take its place.
            if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
                ThrowCreate(path, errno);
        }
    }
    std::string tmp = target + ".tmp-XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0)
        ThrowCreate(path, errno);
    // Keep the permissions an existing file had; new files get `createMode`
    // (mkstemp made the temporary file 0600, so a private file is never
    // readable by others, not even for a moment).
    // The owner is kept where the user may keep it (root writing a seller's file).
    if (exists) {
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid())
            (void)::fchown(fd, st.st_uid, st.st_gid);
        ::fchmod(fd, st.st_mode & 07777);
    } else {
        ::fchmod(fd, static_cast<mode_t>(createMode & 07777));
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            int err = errno;
            ::close(fd);
            ::unlink(tmp.c_str());
            ThrowCreate(path, err);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        ThrowCreate(path, err);
    }
    if (::rename(tmp.c_str(), target.c_str()) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        ThrowCreate(path, err);
    }
}

std::string ExtractFileName(const std::string& path) {
    auto pos = path.find_last_of("/\\");
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

} // namespace quillory
