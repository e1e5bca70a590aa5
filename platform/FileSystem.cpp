#include "FileSystem.h"

#include <cerrno>
#include <cstdio>
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

namespace {
[[noreturn]] void ThrowCreate(const std::string& path, int err) {
    throw std::runtime_error("Cannot create file \"" + path + "\". " + std::strerror(err));
}
} // namespace

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::string tmp = path + ".tmp-XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0)
        ThrowCreate(path, errno);
    // Keep the permissions an existing file had; new files get the usual 0644.
    struct stat st {};
    mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    ::fchmod(fd, mode);
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
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
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
