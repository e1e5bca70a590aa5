#include "http/MultiPartFormDataStream.h"

#include <gtest/gtest.h>

#include <regex>

using namespace quillory;

namespace {

std::string ReadAll(TStream& s, std::int64_t block) {
    std::string out;
    std::string buffer(static_cast<std::size_t>(block), '\0');
    while (true) {
        std::int64_t n = s.Read(buffer.data(), block);
        if (n == 0)
            break;
        EXPECT_LE(n, block);
        out.append(buffer.data(), static_cast<std::size_t>(n));
    }
    return out;
}

const std::string B = "--------030509140709042";

TEST(MultiPartFormDataStreamTest, ListRequestBodyIsByteExact) {
    TMultiPartFormDataStream form;
    form.SetFormBoundary(B);
    form.AddFormField("action", "5");
    form.AddFormField("end", "");
    EXPECT_EQ(form.Fields()[0].PartSize(), 79);
    EXPECT_EQ(form.Fields()[1].PartSize(), 75);
    EXPECT_EQ(form.Size(), 185);
    const std::string expected = "--" + B + "\r\n" +
                                 "Content-Disposition: form-data; name=\"action\"\r\n"
                                 "\r\n"
                                 "5\r\n"
                                 "--" +
                                 B + "\r\n" +
                                 "Content-Disposition: form-data; name=\"end\"\r\n"
                                 "\r\n"
                                 "\r\n"
                                 "\r\n--" +
                                 B + "--\r\n";
    EXPECT_EQ(expected.size(), 185u);
    EXPECT_EQ(ReadAll(form, 185), expected);
    EXPECT_EQ(form.FormContentType(), "multipart/form-data; boundary=" + B);
}

TEST(MultiPartFormDataStreamTest, AnyBlockSizeGivesTheSameBodyAndRewindRepeatsIt) {
    TMultiPartFormDataStream form;
    form.AddFormField("action", "3");
    form.AddFormField("coupname", "50% off \"spring\"\r\nline two");
    form.AddFormField("", "empty name");
    form.AddField("end", "");
    const std::int64_t size = form.Size();
    const std::string one = ReadAll(form, 1);
    EXPECT_EQ(static_cast<std::int64_t>(one.size()), size);
    EXPECT_EQ(form.Size(), size);
    for (std::int64_t block : {7, 32768, static_cast<int>(size)}) {
        EXPECT_EQ(form.Seek(0, soBeginning), 0);
        EXPECT_EQ(ReadAll(form, block), one) << block;
    }
    EXPECT_NE(one.find("50% off \"spring\"\r\nline two\r\n"), std::string::npos);
    EXPECT_NE(one.find("name=\"\"\r\n"), std::string::npos);
    // Value bytes are counted exactly.
    EXPECT_EQ(form.Fields()[1].PartSize(), 72 + 8 + 26);
}

TEST(MultiPartFormDataStreamTest, SeekRulesAndReadOnly) {
    TMultiPartFormDataStream form;
    form.AddFormField("a", "b");
    std::string head(10, '\0');
    EXPECT_EQ(form.Read(head.data(), 10), 10);
    EXPECT_EQ(form.Seek(5, soBeginning), 10); // no movement
    EXPECT_EQ(form.Seek(3, soCurrent), 10);
    EXPECT_EQ(form.Seek(0, soEnd), form.Size());
    EXPECT_EQ(form.Position(), 10);
    EXPECT_THROW(form.Write("x", 1), std::runtime_error);
    try {
        form.Write("x", 1);
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Unsupported operation.");
    }
    // Reading on after the end delivers nothing.
    std::string rest = ReadAll(form, 64);
    EXPECT_EQ(static_cast<std::int64_t>(rest.size()), form.Size() - 10);
    char c;
    EXPECT_EQ(form.Read(&c, 1), 0);
}

TEST(MultiPartFormDataStreamTest, BoundaryIsEightHyphensAndFifteenDigits) {
    TMultiPartFormDataStream form;
    EXPECT_TRUE(std::regex_match(form.FormBoundary(), std::regex("-{8}[0-9]{15}")))
        << form.FormBoundary();
    EXPECT_EQ(TMultiPartFormDataStream::MakeBoundary(2009, 3, 5, 14, 7, 9, 42),
              "--------030509140709042");
}

TEST(MultiPartFormDataStreamTest, EmptyFormReadsAsItsClosingDelimiter) {
    TMultiPartFormDataStream form;
    EXPECT_EQ(form.Size(), 31);
    EXPECT_EQ(ReadAll(form, 100), "\r\n--" + form.FormBoundary() + "--\r\n");
}

} // namespace
