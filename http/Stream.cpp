#include "http/Stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace quillory {

std::int64_t TStream::Size() {
    std::int64_t pos = Seek(0, soCurrent);
    std::int64_t size = Seek(0, soEnd);
    Seek(pos, soBeginning);
    return size;
}

void TStream::SetSize(std::int64_t) {}

// --- TStringStream ----------------------------------------------------------

namespace {
constexpr std::size_t kFastGrowthFrom = 1024 * 1024;
} // namespace

std::int64_t TStringStream::Read(char* buffer, std::int64_t count) {
    std::int64_t size = static_cast<std::int64_t>(FData.size());
    if (count <= 0 || FPosition >= size)
        return 0;
    std::int64_t n = std::min(count, size - FPosition);
    std::memcpy(buffer, FData.data() + FPosition, static_cast<std::size_t>(n));
    FPosition += n;
    return n;
}

std::int64_t TStringStream::Write(const char* buffer, std::int64_t count) {
    if (count <= 0)
        return 0;
    std::size_t pos = static_cast<std::size_t>(FPosition);
    std::size_t n = static_cast<std::size_t>(count);
    Grow(std::max(FData.size(), pos + n), false);
    if (pos > FData.size())
        FData.resize(pos); // a gap after a seek beyond the end reads as zeros
    // Bytes over the existing ones are overwritten; the rest is appended
    // into the room Grow made.
    const std::size_t over = std::min(n, FData.size() - pos);
    std::memcpy(FData.data() + pos, buffer, over);
    FData.append(buffer + over, n - over);
    FPosition += count;
    return count;
}

void TStringStream::Grow(std::size_t needed, bool exact) {
    const std::size_t old = FData.capacity();
    if (needed <= old)
        return;
    std::size_t room;
    if (FPlanned > 0 && needed <= static_cast<std::size_t>(FPlanned)) {
        // The steps are the plan divided by 8, 64, 512, ...: growing from one
        // step to the next holds at most 1/8 more than the new block, and the
        // last step is the plan itself. Memory reserved and not yet written
        // costs no pages.
        room = static_cast<std::size_t>(FPlanned);
        while (true) {
            const std::size_t next = (room + 7) / 8;
            if (next < needed || next >= room)
                break;
            room = next;
        }
    } else if (exact) {
        room = needed;
    } else {
        // Geometric growth; a large stream of unknown final size grows
        // four-fold rather than two-fold, so it is copied less often.
        room = std::max(needed, old * (old >= kFastGrowthFrom ? 4 : 2));
    }
    FData.reserve(room);
    FPeakHeld = std::max(FPeakHeld, static_cast<std::int64_t>(old + FData.capacity()));
}

std::int64_t TStringStream::PeakHeld() const {
    return std::max(FPeakHeld, static_cast<std::int64_t>(FData.capacity()));
}

void TStringStream::Reserve(std::int64_t size) {
    if (size > 0)
        Grow(static_cast<std::size_t>(size), true);
}

std::string TStringStream::TakeDataString() {
    std::string out = std::move(FData);
    FData.clear();
    FPosition = 0;
    return out;
}

std::int64_t TStringStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    std::int64_t base = origin == soBeginning ? 0
                        : origin == soCurrent ? FPosition
                                              : static_cast<std::int64_t>(FData.size());
    std::int64_t pos = base + offset;
    FPosition = pos < 0 ? 0 : pos;
    return FPosition;
}

void TStringStream::SetSize(std::int64_t newSize) {
    if (newSize < 0)
        newSize = 0;
    Grow(static_cast<std::size_t>(newSize), true);
    FData.resize(static_cast<std::size_t>(newSize));
    if (FPosition > newSize)
        FPosition = newSize;
}

// --- TFileStream ------------------------------------------------------------

namespace {
[[noreturn]] void RaiseFileError(const char* what, const std::string& name) {
    throw std::runtime_error(std::string(what) + " \"" + name + "\". " + std::strerror(errno));
}
} // namespace

TFileStream::TFileStream(const std::string& fileName, TMode mode) : FFileName(fileName) {
    int flags = mode == fmOpenRead ? O_RDONLY
                : mode == fmCreate ? O_RDWR | O_CREAT | O_TRUNC
                                   : O_RDWR;
    FHandle = ::open(fileName.c_str(), flags | O_CLOEXEC, 0644);
    if (FHandle < 0)
        RaiseFileError(mode == fmCreate ? "Cannot create file" : "Cannot open file", fileName);
}

TFileStream::~TFileStream() {
    if (FHandle >= 0)
        ::close(FHandle);
}

std::int64_t TFileStream::Read(char* buffer, std::int64_t count) {
    std::int64_t done = 0;
    while (done < count) {
        ssize_t n = ::read(FHandle, buffer + done, static_cast<std::size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            RaiseFileError("Cannot read file", FFileName);
        if (n == 0)
            break;
        done += n;
    }
    return done;
}

std::int64_t TFileStream::Write(const char* buffer, std::int64_t count) {
    std::int64_t done = 0;
    while (done < count) {
        ssize_t n = ::write(FHandle, buffer + done, static_cast<std::size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            RaiseFileError("Cannot write file", FFileName);
        done += n;
    }
    return done;
}

std::int64_t TFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
    off_t pos = ::lseek(FHandle, static_cast<off_t>(offset), whence);
    if (pos < 0)
        RaiseFileError("Cannot seek in file", FFileName);
    return pos;
}

void TFileStream::SetSize(std::int64_t newSize) {
    std::int64_t pos = Position();
    if (::ftruncate(FHandle, static_cast<off_t>(newSize < 0 ? 0 : newSize)) != 0)
        RaiseFileError("Cannot change the size of file", FFileName);
    if (pos > newSize)
        Seek(newSize, soBeginning);
}

} // namespace quillory
