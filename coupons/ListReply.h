#pragma once
// Decoding of the list replies of the coupon service (the coupon list, the
// redemption statistics and a single coupon).
//
// A list reply is a run of records, each followed by "^", with "OK" at the
// very end; a record is a row of double-quoted fields separated by ",". The
// format has no escaping. Records are split at "^" and fields at the
// three-character sequence "\",\"" (not at line breaks and single commas), so
// commas and line breaks inside values survive; the first field loses its
// leading quote and the last its closing quote. What the format cannot carry
// ("^" and "\",\"") is refused on entry (see FitsListReply).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace quillory {

using TListRecord = std::vector<std::string>;

// A record that cannot be decoded. Records before it have been delivered.
class EListReplyError : public std::runtime_error {
public:
    EListReplyError(const std::string& message, std::size_t recordIndex)
        : std::runtime_error(message), RecordIndex(recordIndex) {}
    std::size_t RecordIndex; // 0-based index of the failing record
};

// Calls `onRecord` for every record of `reply`, in order. A record with fewer
// than `minFields` fields throws EListReplyError; so does anything `onRecord`
// throws, which ends the decoding the same way. The reply "OK" (and "^OK")
// has no records; line breaks after the list are ignored.
void ForEachListRecord(std::string_view reply, std::size_t minFields,
                       const std::function<void(TListRecord&)>& onRecord);

// Calls `onRecord` for every record of `reply`, in order, with its fields
// read where they stand: `fields` holds the first `keptFields` of them (empty
// beyond the record's own `fieldCount`) and stays valid only during the call.
// Nothing is allocated per record or field. A record with fewer than
// `minFields` fields throws EListReplyError; what `onRecord` throws passes
// through unchanged.
using TInPlaceRecordReader =
    std::function<void(const std::string_view* fields, std::size_t fieldCount)>;
void ForEachListRecordInPlace(std::string_view reply, std::size_t minFields, std::size_t keptFields,
                              const TInPlaceRecordReader& onRecord);

// The records of a reply decoded up to the first failure.
struct TListReply {
    std::vector<TListRecord> Records;
    bool Complete = true; // false when a record failed; Records holds those before it
    std::string Error;
};
TListReply DecodeListReply(std::string_view reply, std::size_t minFields = 0);

// A list reply decoded in place: the reply's bytes are kept, and each record
// is a row of offsets into them, so decoding allocates nothing per field. Only
// the first `keptFields` fields of a record are kept (the rest are counted).
// Decoding stops at the first record with fewer than `minFields` fields; the
// records before it stay, Complete() is false and Error() says why.
class TListReplyView {
public:
    TListReplyView() = default;
    // Takes the reply over (move it in to avoid a copy).
    TListReplyView(std::string reply, std::size_t minFields, std::size_t keptFields);
    // Reads `reply` where it stands: it must outlive the view. (A reply with
    // "^OK" inside its values is copied once, to remove them.)
    static TListReplyView Borrowing(std::string_view reply, std::size_t minFields,
                                    std::size_t keptFields);

    std::size_t RecordCount() const { return FFieldCounts.size(); }
    // How many fields the record has (kept or not).
    std::size_t FieldCount(std::size_t record) const { return FFieldCounts[record]; }
    // Field `field` of record `record`; empty when the record has no such
    // field or it was not kept.
    std::string_view Field(std::size_t record, std::size_t field) const {
        if (field >= FKept || field >= FFieldCounts[record])
            return {};
        const TSpan& s = FSpans[record * FKept + field];
        return std::string_view(Bytes() + s.Begin, s.End - s.Begin);
    }
    bool Complete() const { return FError.empty(); }
    const std::string& Error() const { return FError; }
    std::size_t KeptFields() const { return FKept; }
    // The decoded records' bytes, from the first record to the end of the
    // last (the end marker left out).
    std::string_view Body() const { return std::string_view(Bytes(), FEnd); }

private:
    struct TSpan {
        std::uint32_t Begin;
        std::uint32_t End;
    };
    void Prepare(std::string_view reply, std::size_t minFields);
    void Decode(std::size_t end, std::size_t minFields);
    const char* Bytes() const { return FBorrowed ? FBorrowed : FBytes.data(); }

    std::string FBytes;
    const char* FBorrowed = nullptr; // the reply read in place, when not owned
    std::size_t FKept = 0;
    std::size_t FEnd = 0;                    // where the records end
    std::vector<TSpan> FSpans;               // RecordCount() * FKept
    std::vector<std::uint32_t> FFieldCounts; // per record
    std::string FError;
};

// The reply with every "^OK" removed.
std::string RemoveListEnds(std::string_view reply);

// Whether the list is whole: its end marker "OK" stands at the very end (line
// breaks after it aside), either alone (the empty list) or right after the
// "^" of the last record. A reply cut short anywhere lacks it, since no value
// can hold a "^".
bool HasListEnd(std::string_view reply);

// Why a list reply without its end marker is refused.
inline constexpr const char* kListEndMissing =
    "The reply ends without its end marker \"OK\": it was cut short or is not a list.";

// Splits one record's text into its fields (no "^" handling).
TListRecord SplitListRecord(std::string_view record);

// Whether a value can travel in a list reply and come back unchanged: it
// holds no "^" and no "\",\"", and does not end in "\"," (which would form a
// separator with the next field).
bool FitsListReply(std::string_view value);

// Every double-quote character removed.
std::string RemoveQuotes(std::string_view text);
// Leading and trailing blanks and control characters removed.
std::string TrimText(std::string_view text);

} // namespace quillory
