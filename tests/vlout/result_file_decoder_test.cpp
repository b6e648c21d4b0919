// vlout's check of the layout and its decoding, on bytes in memory.
#include "tools/vlout/result_file_decoder.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "tests/output/result_layout.h"

namespace {

using nxtest::FreshRecordBytes;

std::vector<std::uint8_t> Record(std::u16string_view line) {
    auto bytes = FreshRecordBytes(line);
    return {bytes.begin(), bytes.end()};
}

TEST(DecodeResultFile, WellFormedFiles) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::vector<std::u16string> fields;
    };
    std::vector<std::uint8_t> withRemnant = Record(u"1\u00A72\u00A7");
    withRemnant[60] = 'L';  // the rest of an earlier, longer line beyond the terminator
    const Case cases[] = {
        {"measurement",
         Record(u" 0.5000\u00A7 99.5000\u00A712.346\u00A7"),
         {u" 0.5000", u" 99.5000", u"12.346"}},
        {"empty distance",
         Record(u"0\u00A1\u00E300'00\"\u00A7-0\u00A1\u00E300'01\"\u00A7\u00A7"),
         {u"0\u00A1\u00E300'00\"", u"-0\u00A1\u00E300'01\"", u""}},
        {"version", Record(u"1\u00A72\u00A73\u00A74\u00A7"), {u"1", u"2", u"3", u"4"}},
        {"49 units, terminator on bytes 98-99",
         Record(std::u16string(48, u'x') + u"\u00A7"),
         {std::u16string(48, u'x')}},
        {"filler not checked", withRemnant, {u"1", u"2"}},
    };
    for (const Case& c : cases) {
        vlout::DecodedResultFile decoded = vlout::DecodeResultFile(c.bytes);
        EXPECT_TRUE(decoded.ok()) << c.name << ": " << decoded.error;
        EXPECT_EQ(decoded.fields, c.fields) << c.name;
    }
}

TEST(DecodeResultFile, MalformedFilesSayWhatIsWrong) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::string error;
    };
    // Three full 19-character fields: the writer cuts the line inside the third field.
    std::u16string cut = std::u16string(19, u'a') + u"\u00A7" + std::u16string(19, u'b') +
                         u"\u00A7" + std::u16string(9, u'c');
    const Case cases[] = {
        {"empty file", {}, "is 0 bytes long; a result file is exactly 100 bytes"},
        {"one byte short", std::vector<std::uint8_t>(99, 0),
         "is 99 bytes long; a result file is exactly 100 bytes"},
        {"one byte long", std::vector<std::uint8_t>(101, 0),
         "is 101 bytes long; a result file is exactly 100 bytes"},
        {"no terminator", std::vector<std::uint8_t>(100, 'A'),
         "has no 16-bit zero terminator within its 100 bytes"},
        {"zero bytes at odd offsets are no terminator",
         [] {
             std::vector<std::uint8_t> b(100, 0);
             for (std::size_t i = 0; i < 100; i += 2) b[i] = 'A';  // U+0041 throughout
             return b;
         }(),
         "has no 16-bit zero terminator within its 100 bytes"},
        {"empty line", std::vector<std::uint8_t>(100, 0), "holds an empty line: no field at all"},
        {"last field not closed", Record(u"1\u00A72\u00A73"),
         "field 3 is not closed by \"\u00A7\": the line ends in \"3\""},
        {"a line cut by the writer", Record(cut),
         "field 3 is not closed by \"\u00A7\": the line ends in \"ccccccccc\""},
        {"fresh filler and no line", Record(u""), "holds an empty line: no field at all"},
        {"controls in the quoted tail are escaped", Record(u"a\u00A7\u001b[2J"),
         "field 2 is not closed by \"\u00A7\": the line ends in \"\\u001b[2J\""},
    };
    for (const Case& c : cases) {
        vlout::DecodedResultFile decoded = vlout::DecodeResultFile(c.bytes);
        EXPECT_FALSE(decoded.ok()) << c.name;
        EXPECT_TRUE(decoded.fields.empty()) << c.name;
        EXPECT_EQ(decoded.error, c.error) << c.name;
    }
}

TEST(DecodeResultFile, TextAndJsonOutput) {
    struct Case {
        std::u16string field;
        std::string text, json;
    };
    const Case cases[] = {
        {u" 99.5000", " 99.5000", "\" 99.5000\""},
        {u"1\u00A1\u00E301'01\"", "1\u00A1\u00E301'01\"", "\"1\u00A1\u00E301'01\\\"\""},
        {u"", "", "\"\""},
        {u"back\\slash", "back\\slash", "\"back\\\\slash\""},
        {u"\U0001F600", "\U0001F600", "\"\U0001F600\""},
        {std::u16string(1, u'\xD800') + u"x", "\uFFFDx", "\"\uFFFDx\""},  // a lone surrogate
        {u"two\nlines\u001b[2J\u009b", "two\\u000alines\\u001b[2J\\u009b",
         "\"two\\u000alines\\u001b[2J\\u009b\""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(vlout::FieldsAsText({c.field}), c.text + "\n");
        EXPECT_EQ(vlout::FieldsAsJson("F", {c.field}),
                  "{\"file\": \"F\", \"fields\": [" + c.json + "]}\n");
    }
    EXPECT_EQ(vlout::FieldsAsJson("dir/\"odd\"\\name", {u"1", u"2"}),
              "{\"file\": \"dir/\\\"odd\\\"\\\\name\", \"fields\": [\"1\", \"2\"]}\n");
}

}  // namespace
