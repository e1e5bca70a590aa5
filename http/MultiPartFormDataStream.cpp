#include "http/MultiPartFormDataStream.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <stdexcept>

namespace quillory {

namespace {

const char kCRLF[] = "\r\n";
const std::string kDisposition = "Content-Disposition: form-data; name=\"";

} // namespace

// --- TFormDataField ---------------------------------------------------------

TFormDataField::TFormDataField(std::string name, std::string value)
    : FFieldName(std::move(name)), FFieldValue(std::move(value)) {
    UpdatePartSize();
}

void TFormDataField::SetFieldName(const std::string& name) {
    FFieldName = name;
    UpdatePartSize();
}

void TFormDataField::SetFieldValue(const std::string& value) {
    FFieldValue = value;
    UpdatePartSize();
}

void TFormDataField::UpdatePartSize() {
    // "--" boundary CRLF, disposition line, CRLF, value, CRLF.
    FPartSize = static_cast<std::int32_t>(72 + FFieldName.size() + FFieldValue.size());
}

std::string TFormDataField::FormatField(const std::string& boundary) const {
    std::string part;
    part.reserve(static_cast<std::size_t>(FPartSize) + boundary.size());
    part += "--";
    part += boundary;
    part += kCRLF;
    part += kDisposition;
    part += FFieldName;
    part += '"';
    part += kCRLF;
    part += kCRLF;
    part += FFieldValue;
    part += kCRLF;
    return part;
}

// --- TMultiPartFormDataStream -----------------------------------------------

std::string TMultiPartFormDataStream::MakeBoundary(int year, int month, int day, int hour,
                                                   int minute, int second, int msec) {
    char digits[32];
    std::snprintf(digits, sizeof digits, "%02d%02d%02d%02d%02d%02d%03d", month % 100, day % 100,
                  year % 100, hour % 100, minute % 100, second % 100, msec % 1000);
    return std::string("--------") + digits;
}

TMultiPartFormDataStream::TMultiPartFormDataStream() {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t t = system_clock::to_time_t(now);
    int msec = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm local{};
    localtime_r(&t, &local);
    SetFormBoundary(MakeBoundary(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                 local.tm_hour, local.tm_min, local.tm_sec, msec));
}

void TMultiPartFormDataStream::SetFormBoundary(const std::string& boundary) {
    FBoundary = boundary;
    FContentType = "multipart/form-data; boundary=" + FBoundary;
}

TFormDataField& TMultiPartFormDataStream::AddFormField(const std::string& name,
                                                       const std::string& value) {
    FFields.emplace_back(name, value);
    // The part size assumes a 23-character boundary, like the one made at creation.
    FSize += FFields.back().PartSize() + static_cast<std::int64_t>(FBoundary.size()) - 23;
    return FFields.back();
}

std::int64_t TMultiPartFormDataStream::Read(char* buffer, std::int64_t count) {
    if (!FInitialized) {
        FInitialized = true;
        FCurrentItem = 0;
        FInternalBuffer.clear();
        FBufferOffset = 0;
        if (FFields.empty()) {
            // An empty form is just the closing delimiter, so what is read
            // always matches Size().
            FInternalBuffer = ClosingDelimiter();
            FCurrentItem = 1;
        }
    }
    std::int64_t delivered = 0;
    while (delivered < count) {
        std::size_t buffered = FInternalBuffer.size() - FBufferOffset;
        if (FCurrentItem >= FFields.size() && buffered == 0)
            break; // the closing delimiter (when there were fields) is delivered too
        if (buffered == 0) {
            FInternalBuffer = FFields[FCurrentItem].FormatField(FBoundary);
            FBufferOffset = 0;
            ++FCurrentItem;
            buffered = FInternalBuffer.size();
        }
        std::size_t n = static_cast<std::size_t>(
            std::min<std::int64_t>(count - delivered, static_cast<std::int64_t>(buffered)));
        std::memcpy(buffer + delivered, FInternalBuffer.data() + FBufferOffset, n);
        FBufferOffset += n;
        delivered += static_cast<std::int64_t>(n);
        FPosition += static_cast<std::int64_t>(n);
        if (FCurrentItem == FFields.size()) {
            // After the last field: the closing delimiter, once.
            FInternalBuffer.erase(0, FBufferOffset);
            FBufferOffset = 0;
            FInternalBuffer += ClosingDelimiter();
            ++FCurrentItem;
        }
    }
    return delivered;
}

std::string TMultiPartFormDataStream::ClosingDelimiter() const {
    return std::string(kCRLF) + "--" + FBoundary + "--" + kCRLF;
}

std::int64_t TMultiPartFormDataStream::Write(const char*, std::int64_t) {
    throw std::runtime_error("Unsupported operation.");
}

std::int64_t TMultiPartFormDataStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    switch (origin) {
    case soBeginning:
        if (offset == 0) {
            FInitialized = false;
            FPosition = 0;
            FInternalBuffer.clear();
            FBufferOffset = 0;
            return 0;
        }
        return FPosition;
    case soCurrent:
        return FPosition;
    case soEnd:
        return Size();
    }
    return 0;
}

} // namespace quillory
