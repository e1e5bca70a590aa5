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

// The records of a reply decoded up to the first failure.
struct TListReply {
    std::vector<TListRecord> Records;
    bool Complete = true; // false when a record failed; Records holds those before it
    std::string Error;
};
TListReply DecodeListReply(std::string_view reply, std::size_t minFields = 0);

// The reply with every "^OK" removed.
std::string RemoveListEnds(std::string_view reply);

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
