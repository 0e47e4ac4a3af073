// The compact row store gives back every text it was given, and the text
// table writes it in the file format the loader and spreadsheets read.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <fstream>
#include <sstream>

#include "record/ReadingLogStore.h"
#include "record/TextTable.h"

namespace corvel::test {
namespace {

using Store = ReadingLogStore;

std::string Repeat(const std::string& piece, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += piece;
    return out;
}

struct TextCase {
    const char* name;
    std::string given;
    std::string kept;
};

class StoreTexts : public ::testing::TestWithParam<TextCase> {};

// Every text field, whether it is kept in the row or in the pool.
TEST_P(StoreTexts, ComeBackAsGivenUpToTwentyCharacters) {
    const TextCase& c = GetParam();
    Store store;
    store.Append(1, 0, c.given, c.given, c.given, c.given);
    store.Append(2, "10:00:00", c.given, "m|s", c.given, "C");
    for (int field : {Store::Value, Store::Unit, Store::Value2, Store::Unit2})
        EXPECT_EQ(store.Text(0, field), c.kept) << "field " << field;
    EXPECT_EQ(store.Text(1, Store::Value), c.kept);
    EXPECT_EQ(store.Text(1, Store::Value2), c.kept);
    EXPECT_EQ(store.Text(1, Store::Unit), "m|s");
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StoreTexts,
    ::testing::Values(TextCase{"Empty", "", ""}, TextCase{"Short", "1.23", "1.23"},
                      TextCase{"ElevenBytes", "-1234.56789", "-1234.56789"},
                      TextCase{"TwelveBytes", "-1234.567890", "-1234.567890"},
                      TextCase{"Twenty", "01234567890123456789", "01234567890123456789"},
                      TextCase{"TwentyOne", "012345678901234567890", "01234567890123456789"},
                      TextCase{"Blanks", "  a  ", "  a  "},
                      TextCase{"NulInside", std::string("a\0b", 3), std::string("a\0b", 3)},
                      // Twenty-one characters of two bytes each: cut after the twentieth.
                      TextCase{"Utf8", Repeat("\xC2\xB0", 21), Repeat("\xC2\xB0", 20)},
                      TextCase{"StrayContinuationBytes", Repeat("\x80", 25), Repeat("\x80", 20)}),
    [](const auto& info) { return std::string(info.param.name); });

struct TimeTextCase {
    const char* name;
    const char* separator;
    const char* given;
};

class StoreTimeTexts : public ::testing::TestWithParam<TimeTextCase> {};

// A loaded row keeps whatever its time text was.
TEST_P(StoreTimeTexts, ComeBackAsGiven) {
    Store store(GetParam().separator);
    store.Append(3, GetParam().given, "v", "u", "", "");
    EXPECT_EQ(store.Text(0, Store::Time), GetParam().given);
}

INSTANTIATE_TEST_SUITE_P(Times, StoreTimeTexts,
                         ::testing::Values(TimeTextCase{"Usual", ":", "10:00:01"},
                                           TimeTextCase{"Midnight", ":", "00:00:00"},
                                           TimeTextCase{"LastSecond", ":", "23:59:59"},
                                           TimeTextCase{"HourOutOfRange", ":", "24:00:00"},
                                           TimeTextCase{"OneDigitHour", ":", "9:07:03"},
                                           TimeTextCase{"OtherSeparator", ":", "10.00.01"},
                                           TimeTextCase{"LocaleSeparator", ".", "10.00.01"},
                                           TimeTextCase{"LongSeparator", " h ", "10 h 00 h 01"},
                                           TimeTextCase{"Placeholder", ":", "NULL"},
                                           TimeTextCase{"Empty", ":", ""},
                                           TimeTextCase{"Letters", ":", "ab:cd:ef"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReadingLogStore, KeepsRowsInAppendOrderAcrossBlocksWithRepeatedNumbers) {
    Store store;
    const int rows = 70000;  // more than one block
    for (int i = 0; i < rows; ++i)
        store.Append(i % 500, i % 86400, std::to_string(i), "u" + std::to_string(i % 300),
                     i % 2 ? "" : std::to_string(-i), "C");
    ASSERT_EQ(store.RowCount(), rows);
    for (int i : {0, 1, 499, 500, 65535, 65536, 69999}) {
        EXPECT_EQ(store.RecordNo(i), i % 500);
        EXPECT_EQ(store.Text(i, Store::Value), std::to_string(i));
        EXPECT_EQ(store.Text(i, Store::Unit), "u" + std::to_string(i % 300));
        EXPECT_EQ(store.Text(i, Store::Value2), i % 2 ? "" : std::to_string(-i));
        EXPECT_EQ(store.Text(i, Store::Time), store.FormatTime(i % 86400));
    }
    store.Clear();
    EXPECT_EQ(store.RowCount(), 0);
    store.Append(9, 3661, "1", "m|s", "", "");
    EXPECT_EQ(store.Text(0, Store::Time), "01:01:01");
    EXPECT_EQ(store.Text(0, Store::Unit), "m|s");
}

// ---- text table

struct FieldCase {
    std::string text;
    std::string written;
};

class TextTableField : public ::testing::TestWithParam<FieldCase> {};

TEST_P(TextTableField, LosesBlanksAtBothEndsAndNeverComesOutEmpty) {
    EXPECT_EQ(TextTable::Field(GetParam().text), GetParam().written);
}

INSTANTIATE_TEST_SUITE_P(Fields, TextTableField,
                         ::testing::Values(FieldCase{"1.23", "1.23"}, FieldCase{"", "NULL"},
                                           FieldCase{"   ", "NULL"}, FieldCase{" a ", "a"},
                                           FieldCase{"a b", "a b"}, FieldCase{"\t\x01x\x1f ", "x"},
                                           FieldCase{std::string("\0", 1), "NULL"},
                                           FieldCase{"\x7fx", "\x7fx"}, FieldCase{"NULL", "NULL"}));

std::string Written(const Store& store) {
    std::ostringstream out;
    TextTable::Write(store, out);
    return out.str();
}

TEST(TextTable, AnEmptyLogIsTheHeaderLineAlone) {
    EXPECT_EQ(Written(Store()), "No\tTime\tValue\tUnit\tValue2\tUnit2\r\n");
}

TEST(TextTable, WritesOneLinePerRowInTableOrder) {
    Store store;
    store.Append(3, 36001, "1.23", "m|s", "", "");
    store.Append(3, "9:07:03", " 25.1 ", "C", "x y", " ");
    store.Append(-1, 0, "OL", "", "0", "F");
    EXPECT_EQ(Written(store),
              "No\tTime\tValue\tUnit\tValue2\tUnit2\r\n"
              "3\t10:00:01\t1.23\tm|s\tNULL\tNULL\r\n"
              "3\t9:07:03\t25.1\tC\t\"x y\"\tNULL\r\n"
              "-1\t00:00:00\tOL\tNULL\t0\tF\r\n");
}

TEST(TextTable, SavesTheFileAndReportsWhenItCannot) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Store store;
    store.Append(1, 0, "1", "u", "2", "v");
    const std::string path = QDir(dir.path()).filePath("log.xls").toStdString();
    // An existing longer file is overwritten, not appended to.
    std::ofstream(path) << std::string(500, 'z');
    ASSERT_TRUE(TextTable::Save(store, path));
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, Written(store));

    EXPECT_FALSE(TextTable::Save(store, QDir(dir.path()).filePath("missing/log.txt").toStdString()));
}

}  // namespace
}  // namespace corvel::test
