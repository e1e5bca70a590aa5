#include "coupons/ListReply.h"
#include "coupons/CouponList.h"
#include "coupons/CouponRecord.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

using namespace quillory;

namespace {

// A record written the way the server writes it.
std::string Encode(const TListRecord& fields) {
    std::string out = "\"";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += "\",\"";
        out += fields[i];
    }
    return out + "\"^";
}

std::string EncodeList(const std::vector<TListRecord>& records) {
    std::string out;
    for (const auto& r : records)
        out += Encode(r);
    return out + "OK";
}

const TListRecord kFirst = {
    "12",         "ABCDEF",  "Spring sale", "0",
    "1",          "3",       "2008-6-30",   "http://shop.example/order?id=1",
    "no comment", "2008-5-1"};
const TListRecord kSecond = {"13", "QWERTY",   "Winter", "1", "3",
                             "0",  "2009-1-2", "",       "",  "2008-5-2"};

} // namespace

TEST(ListReplyDecoding, QuotedRecordsLoseOnlyTheirOuterQuotes) {
    const auto reply = DecodeListReply(EncodeList({kFirst, kSecond}));
    ASSERT_TRUE(reply.Complete) << reply.Error;
    ASSERT_EQ(reply.Records.size(), 2u);
    EXPECT_EQ(reply.Records[0], kFirst);
    EXPECT_EQ(reply.Records[1], kSecond);
    // The id is the first field: its leading quote is gone.
    EXPECT_EQ(reply.Records[0][0], "12");
    EXPECT_EQ(reply.Records[1].back(), "2008-5-2");
}

TEST(ListReplyDecoding, EmptyListsHaveNoRecords) {
    for (const char* reply : {"OK", "^OK", "OK\r\n", "^OK\n", ""}) {
        const auto decoded = DecodeListReply(reply, 4);
        EXPECT_TRUE(decoded.Complete) << reply;
        EXPECT_TRUE(decoded.Records.empty()) << reply;
    }
}

TEST(ListReplyDecoding, CommasLineBreaksAndQuotesInsideValuesSurvive) {
    const TListRecord tricky = {"7",
                                "a,b",
                                "Name, with \"quotes\"",
                                "0",
                                "2",
                                "10",
                                "2010-1-1",
                                "http://x.example/?a=1,b=2",
                                "line one\r\nline two,\nthree\r",
                                "2010-1-1"};
    const auto reply = DecodeListReply(EncodeList({tricky, kSecond}), kCouponRecordFields);
    ASSERT_TRUE(reply.Complete) << reply.Error;
    ASSERT_EQ(reply.Records.size(), 2u);
    EXPECT_EQ(reply.Records[0], tricky);
    EXPECT_EQ(reply.Records[1], kSecond);
}

TEST(ListReplyDecoding, AShortRecordEndsDecodingAndKeepsTheRecordsBeforeIt) {
    const std::string reply =
        Encode(kFirst) + Encode({"14", "SHORT", "x"}) + Encode(kSecond) + "OK";
    const auto decoded = DecodeListReply(reply, 4);
    EXPECT_FALSE(decoded.Complete);
    ASSERT_EQ(decoded.Records.size(), 1u);
    EXPECT_EQ(decoded.Records[0], kFirst);
    EXPECT_NE(decoded.Error.find("Record 2"), std::string::npos) << decoded.Error;

    std::vector<std::string> seen;
    try {
        ForEachListRecord(reply, 4, [&](TListRecord& r) { seen.push_back(r[1]); });
        FAIL() << "a short record must end decoding";
    } catch (const EListReplyError& e) {
        EXPECT_EQ(e.RecordIndex, 1u);
    }
    EXPECT_EQ(seen, std::vector<std::string>{"ABCDEF"});
}

TEST(ListReplyDecoding, AnErrorOfTheReaderEndsDecodingAsAFailedRecord) {
    int calls = 0;
    EXPECT_THROW(ForEachListRecord(EncodeList({kFirst, kSecond, kFirst}), 0,
                                   [&](TListRecord& r) {
                                       ++calls;
                                       if (r[1] == "QWERTY")
                                           throw std::invalid_argument("bad date");
                                   }),
                 EListReplyError);
    EXPECT_EQ(calls, 2);
}

TEST(ListReplyDecoding, EmptyRecordsBetweenSeparatorsFailAndATrailingSeparatorDoesNot) {
    EXPECT_FALSE(DecodeListReply(Encode(kFirst) + "^" + Encode(kSecond) + "OK", 4).Complete);
    const auto decoded = DecodeListReply(Encode(kFirst) + Encode(kSecond), 4);
    EXPECT_TRUE(decoded.Complete);
    EXPECT_EQ(decoded.Records.size(), 2u);
}

TEST(ListReplyDecoding, SplitRecordHandlesSingleAndEmptyFields) {
    EXPECT_EQ(SplitListRecord("\"\""), TListRecord{""});
    EXPECT_EQ(SplitListRecord("\"\"\"\""), TListRecord{"\"\""});
    EXPECT_EQ(SplitListRecord("\"a\",\"\",\"\""), (TListRecord{"a", "", ""}));
    EXPECT_TRUE(SplitListRecord("").empty());
    // Text without the outer quotes is taken as it stands.
    EXPECT_EQ(SplitListRecord("a\",\"b"), (TListRecord{"a", "b"}));
}

TEST(ListReplyValues, OnlyWhatTheFormatCannotCarryIsRefused) {
    for (const char* ok : {"", "plain", "a,b", "\"quoted\"", "\",x", "x\"", "50% off",
                           "'; DROP TABLE coupons; --", "l1\r\nl2", "OK", "\xe9t\xe9"})
        EXPECT_TRUE(FitsListReply(ok)) << ok;
    for (const char* bad : {"a^b", "^OK", "a\",\"b", "\",\"", "ends\","})
        EXPECT_FALSE(FitsListReply(bad)) << bad;
}

// Every value FitsListReply accepts comes back unchanged, whatever its
// position in the record; the alphabet is made of the characters that matter.
TEST(ListReplyValues, AcceptedValuesRoundTripInEveryPosition) {
    std::mt19937 rng(20261209);
    const std::string alphabet = "\",^OK\r\na";
    std::uniform_int_distribution<int> len(0, 6), pick(0, static_cast<int>(alphabet.size()) - 1);
    int tested = 0;
    for (int round = 0; round < 4000; ++round) {
        TListRecord record;
        for (int f = 0; f < 4; ++f) {
            std::string v;
            for (int n = len(rng); n > 0; --n)
                v += alphabet[static_cast<std::size_t>(pick(rng))];
            record.push_back(v);
        }
        bool fits = true;
        for (const auto& v : record)
            fits = fits && FitsListReply(v);
        if (!fits)
            continue;
        // A line break at the very end of the list is no part of it.
        if (!record.back().empty() &&
            (record.back().back() == '\r' || record.back().back() == '\n'))
            continue;
        ++tested;
        const auto decoded = DecodeListReply(EncodeList({record, record}));
        ASSERT_TRUE(decoded.Complete);
        ASSERT_EQ(decoded.Records.size(), 2u);
        ASSERT_EQ(decoded.Records[0], record);
        ASSERT_EQ(decoded.Records[1], record);
    }
    EXPECT_GT(tested, 300);
}

namespace {

// The records of an in-place decode, copied out for comparison.
std::vector<TListRecord> RecordsOf(const TListReplyView& view) {
    std::vector<TListRecord> out;
    for (std::size_t r = 0; r < view.RecordCount(); ++r) {
        TListRecord fields;
        for (std::size_t f = 0; f < std::min(view.FieldCount(r), view.KeptFields()); ++f)
            fields.emplace_back(view.Field(r, f));
        out.push_back(fields);
    }
    return out;
}

} // namespace

// The in-place decoder and the general one agree on every reply, also on
// replies the server would never write ("^OK" inside values, stray line
// breaks, empty and short records): same records, same point of failure.
TEST(ListReplyView, AgreesWithTheGeneralDecoderOnArbitraryReplies) {
    std::mt19937 rng(8);
    const std::string alphabet = "\",^OK\r\nab";
    std::uniform_int_distribution<int> len(0, 40), pick(0, static_cast<int>(alphabet.size()) - 1);
    for (int round = 0; round < 20000; ++round) {
        std::string reply;
        for (int n = len(rng); n > 0; --n)
            reply += alphabet[static_cast<std::size_t>(pick(rng))];
        if (round % 3 == 0)
            reply += "^OK";
        for (std::size_t minFields : {0u, 2u}) {
            const TListReply general = DecodeListReply(reply, minFields);
            const TListReplyView view(reply, minFields, 64);
            ASSERT_EQ(view.Complete(), general.Complete) << reply;
            ASSERT_EQ(RecordsOf(view), general.Records) << reply;
            if (!general.Complete) {
                ASSERT_EQ(view.Error(), general.Error) << reply;
            }
            // The record-by-record reader, too.
            std::vector<TListRecord> read;
            std::string error;
            try {
                ForEachListRecordInPlace(
                    reply, minFields, 64, [&](const std::string_view* f, std::size_t count) {
                        read.emplace_back(f, f + std::min<std::size_t>(count, 64));
                    });
            } catch (const EListReplyError& e) {
                error = e.what();
                ASSERT_EQ(e.RecordIndex, read.size()) << reply;
            }
            ASSERT_EQ(read, general.Records) << reply;
            ASSERT_EQ(error, general.Error) << reply;
        }
    }
}

TEST(ListReplyInPlace, KeepsOnlyTheFieldsAskedForAndLeavesMissingOnesEmpty) {
    std::vector<std::vector<std::string>> seen;
    std::vector<std::size_t> counts;
    ForEachListRecordInPlace(
        EncodeList({kFirst, {"7", "x"}}), 0, 3, [&](const std::string_view* f, std::size_t count) {
            seen.push_back({std::string(f[0]), std::string(f[1]), std::string(f[2])});
            counts.push_back(count);
        });
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(counts[0], kFirst.size());
    EXPECT_EQ(seen[0][2], "Spring sale");
    EXPECT_EQ(counts[1], 2u);
    EXPECT_EQ(seen[1], (std::vector<std::string>{"7", "x", ""}));
}

TEST(ListReplyView, KeepsOnlyTheFieldsAskedForAndCountsTheRest) {
    const TListReplyView view(EncodeList({kFirst, kSecond}), 4, 3);
    ASSERT_EQ(view.RecordCount(), 2u);
    EXPECT_EQ(view.FieldCount(0), kFirst.size());
    EXPECT_EQ(view.Field(0, 2), "Spring sale");
    EXPECT_EQ(view.Field(1, 0), "13");
    EXPECT_EQ(view.Field(1, 5), ""); // not kept
}

TEST(CouponList, RowsCarryNameCodeExpiredAndATrimmedId) {
    const TCouponList list(EncodeList({{"\" 12 \"", "CODE", "Name, sale", " \"1\" "},
                                       {"13", "X", "Y", "0"},
                                       {"14", "Z", "W", "yes"}}));
    ASSERT_EQ(list.Count(), 3u);
    EXPECT_TRUE(list.Complete());
    EXPECT_EQ(list.Id(0), "12");
    EXPECT_EQ(list.Name(0), "Name, sale");
    EXPECT_EQ(list.Code(0), "CODE");
    EXPECT_TRUE(list.Expired(0));
    EXPECT_FALSE(list.Expired(1));
    EXPECT_FALSE(list.Expired(2));
    // A short record ends the list; the rows before it stay.
    const TCouponList cut(Encode({"1", "A", "B", "0"}) + Encode({"2", "C"}) + "OK");
    EXPECT_EQ(cut.Count(), 1u);
    EXPECT_FALSE(cut.Complete());
    EXPECT_EQ(cut.Error(), "Record 2 of the reply has 2 fields; 4 are needed.");
}

TEST(CouponList, SortsByColumnKeepingTheReplyOrderForTies) {
    const TCouponList list(EncodeList({{"1", "b", "beta", "1"},
                                       {"2", "A", "Alpha", "0"},
                                       {"3", "a", "alpha", "1"},
                                       {"4", "C", "Gamma", "0"}}));
    using O = std::vector<std::uint32_t>;
    EXPECT_EQ(list.SortedOrder(ccName, false), (O{1, 2, 0, 3}));
    EXPECT_EQ(list.SortedOrder(ccName, true), (O{3, 0, 1, 2}));
    EXPECT_EQ(list.SortedOrder(ccCode, false), (O{1, 2, 0, 3}));
    EXPECT_EQ(list.SortedOrder(ccExpired, false), (O{1, 3, 0, 2}));
}
