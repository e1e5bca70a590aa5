#include "coupons/ListReply.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace quillory {

namespace {

constexpr std::string_view kListEnd = "^OK";
constexpr std::string_view kFieldSeparator = "\",\"";

// The reply with every "^OK" removed and line breaks at its end cut off.
std::string ListBody(std::string_view reply) {
    std::string out = RemoveListEnds(reply);
    while (!out.empty() && (out.back() == '\r' || out.back() == '\n'))
        out.pop_back();
    return out;
}

} // namespace

std::string RemoveListEnds(std::string_view reply) {
    std::string out;
    out.reserve(reply.size());
    std::size_t pos = 0;
    for (;;) {
        std::size_t hit = reply.find(kListEnd, pos);
        if (hit == std::string_view::npos) {
            out.append(reply.substr(pos));
            break;
        }
        out.append(reply.substr(pos, hit - pos));
        pos = hit + kListEnd.size();
    }
    return out;
}

bool HasListEnd(std::string_view reply) {
    while (!reply.empty() && (reply.back() == '\r' || reply.back() == '\n'))
        reply.remove_suffix(1);
    if (reply == "OK")
        return true;
    return reply.size() >= kListEnd.size() &&
           reply.substr(reply.size() - kListEnd.size()) == kListEnd;
}

TListRecord SplitListRecord(std::string_view record) {
    TListRecord fields;
    if (record.empty())
        return fields;
    // The outer quotes go first, so that a value beginning or ending with a
    // comma cannot form a separator with them.
    if (record.front() == '"')
        record.remove_prefix(1);
    if (!record.empty() && record.back() == '"')
        record.remove_suffix(1);
    std::size_t pos = 0;
    for (;;) {
        std::size_t hit = record.find(kFieldSeparator, pos);
        if (hit == std::string_view::npos) {
            fields.emplace_back(record.substr(pos));
            break;
        }
        fields.emplace_back(record.substr(pos, hit - pos));
        pos = hit + kFieldSeparator.size();
    }
    return fields;
}

void ForEachListRecord(std::string_view reply, std::size_t minFields,
                       const std::function<void(TListRecord&)>& onRecord) {
    const std::string body = ListBody(reply);
    if (body == "OK" || body.empty())
        return;
    std::string_view rest(body);
    std::size_t index = 0;
    while (!rest.empty()) {
        std::size_t end = rest.find('^');
        std::string_view text = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        TListRecord fields = SplitListRecord(text);
        if (fields.size() < minFields) {
            throw EListReplyError("Record " + std::to_string(index + 1) + " of the reply has " +
                                      std::to_string(fields.size()) + " fields; " +
                                      std::to_string(minFields) + " are needed.",
                                  index);
        }
        try {
            onRecord(fields);
        } catch (const std::exception& e) {
            throw EListReplyError("Record " + std::to_string(index + 1) +
                                      " of the reply cannot be read: " + e.what(),
                                  index);
        }
        ++index;
    }
}

namespace {

const char* FindByte(const char* from, const char* to, char c) {
    const void* hit = std::memchr(from, c, static_cast<std::size_t>(to - from));
    return hit ? static_cast<const char*>(hit) : to;
}

std::string ShortRecordMessage(std::size_t index, std::size_t fields, std::size_t minFields) {
    return "Record " + std::to_string(index + 1) + " of the reply has " + std::to_string(fields) +
           " fields; " + std::to_string(minFields) + " are needed.";
}

// Where the list ends: before the "^OK" after which only more "^OK" and line
// breaks follow.
std::size_t ListEnd(std::string_view b) {
    std::size_t end = b.size();
    for (;;) {
        while (end > 0 && (b[end - 1] == '\r' || b[end - 1] == '\n'))
            --end;
        if (end >= 3 && b.substr(end - 3, 3) == kListEnd) {
            end -= 3;
            continue;
        }
        return end;
    }
}

// Whether a "^OK" stands before `end` (a value holding one): the general rule
// removes it, which needs a copy of the reply.
bool HasInnerListEnd(std::string_view b, std::size_t end) {
    for (const char *p = b.data(), *stop = b.data() + end;;) {
        p = FindByte(p, stop, '^');
        if (p == stop)
            return false;
        if (b.substr(static_cast<std::size_t>(p - b.data()), 3) == kListEnd)
            return true;
        ++p;
    }
}

// Splits the record [a, z) at every "\",\"", calling onField(index, begin,
// end) for each field; returns the number of fields (0 for an empty record).
template <class TOnField>
std::size_t SplitInPlace(const char* a, const char* z, TOnField&& onField) {
    if (a == z)
        return 0;
    // The outer quotes go first, so that a value beginning or ending with a
    // comma cannot form a separator with them.
    if (*a == '"')
        ++a;
    if (a != z && z[-1] == '"')
        --z;
    std::size_t fields = 0;
    const char* fieldStart = a;
    const char* q = a;
    for (;;) {
        q = FindByte(q, z, '"');
        if (z - q >= 3 && q[1] == ',' && q[2] == '"') {
            onField(fields++, fieldStart, q);
            q += 3;
            fieldStart = q;
            continue;
        }
        if (q == z || z - q < 3) {
            onField(fields++, fieldStart, z);
            return fields;
        }
        ++q;
    }
}

} // namespace

TListReplyView::TListReplyView(std::string reply, std::size_t minFields, std::size_t keptFields)
    : FBytes(std::move(reply)), FKept(keptFields) {
    Prepare(FBytes, minFields);
}

TListReplyView TListReplyView::Borrowing(std::string_view reply, std::size_t minFields,
                                         std::size_t keptFields) {
    TListReplyView view;
    view.FKept = keptFields;
    view.FBorrowed = reply.data() ? reply.data() : "";
    view.Prepare(reply, minFields);
    return view;
}

void TListReplyView::Prepare(std::string_view b, std::size_t minFields) {
    if (b.size() >= std::numeric_limits<std::uint32_t>::max())
        throw EListReplyError("The reply is too large to be read.", 0);
    std::size_t end = ListEnd(b);
    if (HasInnerListEnd(b, end)) {
        FBytes = ListBody(b);
        FBorrowed = nullptr;
        end = FBytes.size();
    }
    Decode(end, minFields);
}

void TListReplyView::Decode(std::size_t end, std::size_t minFields) {
    const char* const base = Bytes();
    FEnd = end;
    const std::string_view body(base, end);
    if (body.empty() || body == "OK")
        return;
    const char* const stop = base + end;
    // Rough size guess: keeps the vectors from regrowing many times.
    FFieldCounts.reserve(end / 128 + 1);
    FSpans.reserve((end / 128 + 1) * FKept);
    std::size_t index = 0;
    const char* pos = base;
    while (pos < stop) {
        const char* recordEnd = FindByte(pos, stop, '^');
        const std::size_t first = FSpans.size();
        const std::size_t fields =
            SplitInPlace(pos, recordEnd, [&](std::size_t field, const char* b, const char* e) {
                if (field < FKept)
                    FSpans.push_back({static_cast<std::uint32_t>(b - base),
                                      static_cast<std::uint32_t>(e - base)});
            });
        pos = recordEnd == stop ? stop : recordEnd + 1;
        if (fields < minFields) {
            FSpans.resize(first);
            FError = ShortRecordMessage(index, fields, minFields);
            return;
        }
        // Pad to a full row, so every record has FKept spans.
        for (std::size_t f = fields; f < FKept; ++f)
            FSpans.push_back({0, 0});
        FFieldCounts.push_back(static_cast<std::uint32_t>(fields));
        ++index;
    }
}

void ForEachListRecordInPlace(std::string_view reply, std::size_t minFields, std::size_t keptFields,
                              const TInPlaceRecordReader& onRecord) {
    std::string copy;
    std::size_t end = ListEnd(reply);
    if (HasInnerListEnd(reply, end)) {
        copy = ListBody(reply);
        reply = copy;
        end = copy.size();
    }
    const std::string_view body = reply.substr(0, end);
    if (body.empty() || body == "OK")
        return;
    std::vector<std::string_view> fields(keptFields);
    const char* pos = body.data();
    const char* const stop = pos + body.size();
    for (std::size_t index = 0; pos < stop; ++index) {
        const char* recordEnd = FindByte(pos, stop, '^');
        std::fill(fields.begin(), fields.end(), std::string_view());
        const std::size_t count =
            SplitInPlace(pos, recordEnd, [&](std::size_t field, const char* b, const char* e) {
                if (field < keptFields)
                    fields[field] = std::string_view(b, static_cast<std::size_t>(e - b));
            });
        pos = recordEnd == stop ? stop : recordEnd + 1;
        if (count < minFields)
            throw EListReplyError(ShortRecordMessage(index, count, minFields), index);
        onRecord(fields.data(), count);
    }
}

TListReply DecodeListReply(std::string_view reply, std::size_t minFields) {
    TListReply out;
    try {
        ForEachListRecord(reply, minFields,
                          [&](TListRecord& fields) { out.Records.push_back(std::move(fields)); });
    } catch (const EListReplyError& e) {
        out.Complete = false;
        out.Error = e.what();
    }
    return out;
}

bool FitsListReply(std::string_view value) {
    if (value.find('^') != std::string_view::npos)
        return false;
    if (value.find(kFieldSeparator) != std::string_view::npos)
        return false;
    return !(value.size() >= 2 && value.substr(value.size() - 2) == "\",");
}

std::string RemoveQuotes(std::string_view text) {
    std::string out(text);
    out.erase(std::remove(out.begin(), out.end(), '"'), out.end());
    return out;
}

std::string TrimText(std::string_view text) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    std::size_t b = 0, e = text.size();
    while (b < e && blank(text[b]))
        ++b;
    while (e > b && blank(text[e - 1]))
        --e;
    return std::string(text.substr(b, e - b));
}

} // namespace quillory
