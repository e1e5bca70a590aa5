#pragma once
// Byte streams: the sources and targets of HTTP bodies. TStringStream keeps
// the bytes in memory, TFileStream in a file; TMultiPartFormDataStream
// (MultiPartFormDataStream.h) produces a form body on demand.
#include <cstdint>
#include <string>

namespace quillory {

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    virtual ~TStream() = default;

    // Delivers up to `count` bytes and returns how many were delivered
    // (0 at the end).
    virtual std::int64_t Read(char* buffer, std::int64_t count) = 0;
    // Writes `count` bytes at the position and returns how many were written.
    virtual std::int64_t Write(const char* buffer, std::int64_t count) = 0;
    virtual std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) = 0;
    // Size in bytes. The default asks Seek for the end and returns to the
    // position it was at.
    virtual std::int64_t Size();
    // Grows or cuts the stream without moving the position (unless the
    // position lies beyond the new end). Streams whose size is fixed ignore it.
    virtual void SetSize(std::int64_t newSize);
    // A hint that the stream will grow to `size` bytes: memory streams make
    // room without filling it; others ignore it.
    virtual void Reserve(std::int64_t size) { (void)size; }
    // A promise that the stream will hold at most `most` bytes (a body
    // limit): memory streams then grow in steps that never hold more than
    // 1.125 times that at once, the old block included while it is copied.
    // Others ignore it. 0 or less drops the promise.
    virtual void PlanCapacity(std::int64_t most) { (void)most; }

    std::int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(std::int64_t pos) { Seek(pos, soBeginning); }

    void WriteString(const std::string& bytes) {
        Write(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    }
};

// Bytes in memory.
class TStringStream : public TStream {
public:
    TStringStream() = default;
    explicit TStringStream(std::string data) : FData(std::move(data)) {}

    std::int64_t Read(char* buffer, std::int64_t count) override;
    std::int64_t Write(const char* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return static_cast<std::int64_t>(FData.size()); }
    void SetSize(std::int64_t newSize) override;
    void Reserve(std::int64_t size) override;
    void PlanCapacity(std::int64_t most) override { FPlanned = most; }

    const std::string& DataString() const { return FData; }
    // The most bytes of memory the stream has held at once: its block, and
    // while growing the old and the new block together.
    std::int64_t PeakHeld() const;
    // Hands the bytes over without copying them; the stream is empty after.
    std::string TakeDataString();

private:
    // Makes room for `needed` bytes: exactly that many when `exact` (and no
    // plan says otherwise), else with room to grow.
    void Grow(std::size_t needed, bool exact);
    std::string FData;
    std::int64_t FPosition = 0;
    std::int64_t FPlanned = 0;
    std::int64_t FPeakHeld = 0;
};

// A file opened for reading or created (replaced) for writing. Failures throw
// std::runtime_error naming the file and the system's reason.
class TFileStream : public TStream {
public:
    enum TMode { fmOpenRead, fmCreate, fmOpenReadWrite };
    TFileStream(const std::string& fileName, TMode mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    std::int64_t Read(char* buffer, std::int64_t count) override;
    std::int64_t Write(const char* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    void SetSize(std::int64_t newSize) override;

    const std::string& FileName() const { return FFileName; }

private:
    std::string FFileName;
    int FHandle = -1;
};

} // namespace quillory
