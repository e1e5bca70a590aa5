#pragma once
// A multipart/form-data request body made of text fields. The total size is
// known as soon as the fields are added; the bytes are produced one part at a
// time while the body is read for sending, and a rewind produces exactly the
// same bytes again (the boundary is fixed when the stream is created).
#include "http/Stream.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quillory {

class TFormDataField {
public:
    TFormDataField(std::string name, std::string value);

    const std::string& FieldName() const { return FFieldName; }
    const std::string& FieldValue() const { return FFieldValue; }
    void SetFieldName(const std::string& name);
    void SetFieldValue(const std::string& value);
    // Bytes this field's part occupies in the body.
    std::int32_t PartSize() const { return FPartSize; }
    // The part's bytes: delimiter line, disposition line, empty line, value, CR LF.
    std::string FormatField(const std::string& boundary) const;

private:
    void UpdatePartSize();
    std::string FFieldName;
    std::string FFieldValue;
    std::int32_t FPartSize = 0;
};

using TFormDataFields = std::vector<TFormDataField>;

class TMultiPartFormDataStream : public TStream {
public:
    TMultiPartFormDataStream();

    // Appends a text field (the value may be empty). Names and values go into
    // the body byte for byte, without any conversion or escaping.
    TFormDataField& AddFormField(const std::string& name, const std::string& value);
    TFormDataField& AddField(const std::string& name, const std::string& value) {
        return AddFormField(name, value);
    }

    // Eight hyphens and the creation time as "mmddyyhhnnsszzz": 23 characters.
    const std::string& FormBoundary() const { return FBoundary; }
    // "multipart/form-data; boundary=" and the boundary.
    const std::string& FormContentType() const { return FContentType; }
    const TFormDataFields& Fields() const { return FFields; }

    std::int64_t Read(char* buffer, std::int64_t count) override;
    // A form body is read-only: throws std::runtime_error "Unsupported operation.".
    std::int64_t Write(const char* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    // All parts plus the 31-byte closing delimiter.
    std::int64_t Size() override { return FSize + ClosingSize(); }

    // For tests and callers that need a fixed boundary (for example to compare
    // bodies byte for byte); must be called before the first field is added.
    void SetFormBoundary(const std::string& boundary);

    // Formats a creation time (local date and time with milliseconds) the way
    // the boundary is made from it.
    static std::string MakeBoundary(int year, int month, int day, int hour, int minute, int second,
                                    int msec);

private:
    std::string ClosingDelimiter() const;
    std::int64_t ClosingSize() const { return 8 + static_cast<std::int64_t>(FBoundary.size()); }
    std::string FBoundary;
    std::string FContentType;
    TFormDataFields FFields;
    std::int64_t FSize = 0;

    bool FInitialized = false;
    std::size_t FCurrentItem = 0;
    std::string FInternalBuffer;
    std::size_t FBufferOffset = 0;
    std::int64_t FPosition = 0;
};

} // namespace quillory
