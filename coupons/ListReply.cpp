#include "coupons/ListReply.h"

#include <algorithm>

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
