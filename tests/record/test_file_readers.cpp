// The two data-file readers on their own: bytes in, rows out.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "record/TextTableReader.h"
#include "record/XmlPacketReader.h"
#include "test_files_support.h"

namespace corvel::test {
namespace {

struct ReadCase {
    const char* name;
    std::string bytes;
    std::vector<std::string> rows;  // the rows handed over, failure or not
    bool ok;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

// Feeds the bytes in pieces of every size from 1 up, so that no case
// depends on where a read happens to cut the file.
template <typename Reader>
void ExpectRead(const ReadCase& c) {
    for (std::size_t piece :
         {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{7}, c.bytes.size() + 1}) {
        CollectingSink sink;
        Reader reader(sink);
        bool ok = true;
        for (std::size_t i = 0; i < c.bytes.size() && ok; i += piece)
            ok = reader.Feed(c.bytes.data() + i, std::min(piece, c.bytes.size() - i));
        ok = reader.Finish() && ok;
        EXPECT_EQ(ok, c.ok) << "pieces of " << piece;
        EXPECT_EQ(sink.rows, c.rows) << "pieces of " << piece;
    }
}

const std::string H = "No\tTime\tValue\tUnit\tValue2\tUnit2\r\n";

// ---- text table: the tokenizer and the lines

class TextTableRead : public ::testing::TestWithParam<ReadCase> {};
TEST_P(TextTableRead, GivesTheRowsOfItsLines) {
    ExpectRead<TextTableReader>(GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, TextTableRead,
    ::testing::Values(
        ReadCase{"TabSeparated",
                 H + "3\t10:00:01\t1.23\tm|s\tNULL\tNULL\r\n",
                 {"3|10:00:01|1.23|m|s|NULL|NULL"},
                 true},
        ReadCase{"RunsOfBlanksAreOneSeparator",
                 H + "  1 \t\t 2\x01\x1f"
                     "3 \r\n",
                 {"1|2|3|||"},
                 true},
        ReadCase{"EmptyFieldsDisappear", H + "1\t\t\tx\r\n", {"1|x||||"}, true},
        ReadCase{"TextWithASpaceIsTwoTokens", H + "1\tt\ta b\tu\r\n", {"1|t|a|b|u|"}, true},
        ReadCase{"QuotedTokenKeepsBlanks", H + "1\t\"a b\"\t\"\"\"q\"\"\"\r\n", {"1|a b|\"q\"|||"}, true},
        ReadCase{"QuoteClosesThenNextTokenStarts", H + "1\t\"ab\"cd\r\n", {"1|ab|cd|||"}, true},
        ReadCase{"UnclosedQuoteRunsToLineEnd", H + "1\t\"a b\r\n2\r\n", {"1|a b||||", "2|||||"}, true},
        ReadCase{"QuoteInsidePlainTokenIsText", H + "1\ta\"b\r\n", {"1|a\"b||||"}, true},
        ReadCase{"CrLfCrAndLfEndLines", H + "1\r2\n3\r\n4", {"1|||||", "2|||||", "3|||||", "4|||||"}, true},
        ReadCase{"FirstLineDroppedWhateverItHolds", "1\t2\t3\t4\t5\t6\t7\t8\r\n5\r\n", {"5|||||"}, true},
        ReadCase{"HeaderWithoutLineEndOnly", "No\tTime", {}, true}, ReadCase{"HeaderAlone", H, {}, true},
        ReadCase{"EmptyFirstLine", "\r\n7\r\n", {"7|||||"}, true},
        ReadCase{"BlankLinesSkipped", H + "\r\n \t \r\n\n1\r\n", {"1|||||"}, true},
        ReadCase{"SignedNumbers",
                 H + "-5\r\n+6\r\n2147483647\r\n",
                 {"-5|||||", "6|||||", "2147483647|||||"},
                 true},
        ReadCase{"NulIsNoSeparator", H + std::string("1\ta\0b\r\n", 7), {std::string("1|a\0b||||", 9)}, true},
        ReadCase{"LongTokensAreCutLater",
                 H + "1\t" + std::string(300, 'x') + "\r\n",
                 {"1|" + std::string(256, 'x') + "||||"},
                 true},
        // failures: the rows before stay, the failing line gives none
        ReadCase{"NoBytesAtAll", "", {}, false},
        ReadCase{"SevenTokens", H + "1\ta\r\n2\ta\tb\tc\td\te\tf\r\n3\r\n", {"1|a||||"}, false},
        ReadCase{"NumberNotAnInteger", H + "1\r\nx\ta\r\n3\r\n", {"1|||||"}, false},
        ReadCase{"NumberWithAFraction", H + "1.5\r\n", {}, false},
        ReadCase{"NumberTooBig", H + "2147483648\r\n", {}, false},
        ReadCase{"NumberEmptyQuoted", H + "\"\"\ta\r\n", {}, false},
        ReadCase{"NumberTooLongToKeep", H + std::string(300, '0') + "1\r\n", {}, false},
        ReadCase{"SevenTokensOnTheLastLineWithoutLineEnd", H + "1\r\n1 2 3 4 5 6 7", {"1|||||"}, false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- XML data packet

const std::string Decl = "<?xml version=\"1.0\" standalone=\"yes\"?>";
const std::string Fields =
    "<METADATA><FIELDS><FIELD attrname=\"No\" fieldtype=\"i4\"/><FIELD attrname=\"time\" "
    "fieldtype=\"string\" "
    "WIDTH=\"20\"/></FIELDS>";
const std::string Meta = Fields + "<PARAMS/></METADATA>";
std::string Packet(const std::string& rows) {
    return Decl + "<DATAPACKET Version=\"2.0\">" + Meta + "<ROWDATA>" + rows + "</ROWDATA></DATAPACKET>";
}

class XmlPacketRead : public ::testing::TestWithParam<ReadCase> {};
TEST_P(XmlPacketRead, GivesTheRowsOfItsRowElements) {
    ExpectRead<XmlPacketReader>(GetParam());
}

INSTANTIATE_TEST_SUITE_P(
    Packets, XmlPacketRead,
    ::testing::Values(
        ReadCase{
            "AsWritten",
            Packet("<ROW No=\"1\" time=\"10:00:01\" Value=\"1.23\" Unit=\"m|s\" Value2=\"x\" Unit2=\"y\"/>"),
            {"1|10:00:01|1.23|m|s|x|y"},
            true},
        ReadCase{"NoRows", Packet(""), {}, true},
        ReadCase{"NoRowData", Decl + "<DATAPACKET Version=\"2.0\">" + Meta + "</DATAPACKET>", {}, true},
        ReadCase{"EveryEscape",
                 Packet("<ROW No=\"2\" Value=\"&lt;&gt;&amp;&apos;&quot;&#013;&#010;&#009;&#092;\"/>"),
                 {"2||<>&'\"\r\n\t\\|||"},
                 true},
        ReadCase{"CharacterReferencesOfAnyCode",
                 Packet("<ROW No=\"1\" Unit=\"&#x41;&#176;&#001;&#0;&#x3A9;&#128;\"/>"),
                 {std::string("1|||A\xB0\x01\0\xCE\xA9\xC2\x80||", 14)},
                 true},
        // A reference to a character that Windows-1252 (Latin-1 where it
        // has none) or the control pictures give a byte for is that byte;
        // the same characters written as they are stay UTF-8, as packets
        // always read.
        ReadCase{"ReferencesToByteCharactersAreBytes",
                 Packet("<ROW No=\"1\" Value=\"&#8364;&#x81;&#8482;&#255;&#x178;\" "
                        "Unit=\"&#9216;&#9217;&#9247;&#9225;\"/>"),
                 {std::string("1||\x80\x81\x99\xFF\x9F|\0\x01\x1F\xE2\x90\x89||", 17)},
                 true},
        ReadCase{"CharactersAsTheyAreStayUtf8",
                 Packet("<ROW No=\"1\" Value=\"\xE2\x82\xAC\xC2\xB5\xE2\x90\x80\" Unit=\"\xB5\"/>"),
                 {"1||\xE2\x82\xAC\xC2\xB5\xE2\x90\x80|\xB5||"},
                 true},
        ReadCase{"CommentsAndInstructionsAroundTheRoot",
                 "<!-- a -->\n<?pi x?>" + Packet("<ROW No=\"1\"/>") + " <?pi y?>\r\n<!-- z -->\t",
                 {"1|||||"},
                 true},
        ReadCase{"TextBeforeTheRoot", "x" + Packet("<ROW No=\"1\"/>"), {}, false},
        ReadCase{"TextBetweenDeclarationAndRoot",
                 Decl + "\n-\n" + Packet("<ROW No=\"1\"/>").substr(Decl.size()),
                 {},
                 false},
        ReadCase{"TextAfterTheRoot", Packet("<ROW No=\"1\"/>") + "\r\nx", {"1|||||"}, false},
        ReadCase{"ReferenceAfterTheRoot", Packet("<ROW No=\"1\"/>") + "&amp;", {"1|||||"}, false},
        ReadCase{"ByteOrderMarkNotAtTheStart", " \xEF\xBB\xBF" + Packet("<ROW No=\"1\"/>"), {}, false},
        ReadCase{"CutByteOrderMarkAlone", "\xEF\xBB", {}, false},
        ReadCase{"LineBreaksAndTabsInValuesAreBlanks",
                 Packet("<ROW No=\"1\" Value=\"a\r\nb\tc\nd\"/>"),
                 {"1||a b c d|||"},
                 true},
        ReadCase{
            "ChangeLogAndRowState",
            Decl + "<DATAPACKET Version=\"2.0\">" + Fields +
                "<PARAMS CHANGE_LOG=\"1 0 4 2 0 4\" LCID=\"1033\" DATASET_DELTA=\"1\"/></METADATA><ROWDATA>"
                "<ROW RowState=\"4\" No=\"1\"/><ROW RowState=\"4\" No=\"2\" "
                "time=\"t\"/></ROWDATA></DATAPACKET>",
            {"1|||||", "2|t||||"},
            true},
        ReadCase{"AttributesInAnyOrderAndCase",
                 Packet("<ROW Unit2='u2' VALUE='v' no='9' Time=\"t\" unit='u' value2='v2'/>"),
                 {"9|t|v|u|v2|u2"},
                 true},
        ReadCase{"FieldsMissingFromRows",
                 Packet("<ROW Value=\"v\"/><ROW No=\"4\" Unit2=\"z\"/>"),
                 {"0||v|||", "4|||||z"},
                 true},
        ReadCase{"WhiteSpaceAndCommentsEverywhere",
                 "\xEF\xBB\xBF" + Decl + "\r\n<!-- saved -->\n<DATAPACKET\n Version = \"2.0\" >\n  " + Meta +
                     "\n  <ROWDATA>\n    <ROW\tNo=\"1\"\n\tValue=\"a\" />\n    <ROW No=\"2\"></ROW>\n  "
                     "</ROWDATA>\n"
                     "</DATAPACKET >\n<!-- end -->\n",
                 {"1||a|||", "2|||||"},
                 true},
        ReadCase{"UnknownAttributesAndElementsPassedOver",
                 Packet("<ROW No=\"1\" Extra=\"e\"><X a=\"b\"><ROW No=\"5\"/></X></ROW>"),
                 {"1|||||"},
                 true},
        ReadCase{"RowsAfterAFailureAreNotReached",
                 Packet("<ROW No=\"1\"/><ROW No=\"z\"/><ROW No=\"3\"/>"),
                 {"1|||||"},
                 false},
        ReadCase{"NotAPacket", Decl + "<TABLE><ROWDATA><ROW No=\"1\"/></ROWDATA></TABLE>", {}, false},
        ReadCase{"Empty", "", {}, false}, ReadCase{"TextAlone", "No\tTime\r\n1\t2\r\n", {}, false},
        ReadCase{"Unclosed", Decl + "<DATAPACKET><ROWDATA><ROW No=\"1\"/>", {"1|||||"}, false},
        ReadCase{"MismatchedEnd", Decl + "<DATAPACKET><ROWDATA></DATAPACKET></ROWDATA>", {}, false},
        ReadCase{"TwoRoots", Packet("") + "<DATAPACKET/>", {}, false},
        ReadCase{"CutInsideATag", Packet("<ROW No=\"1\"/>").substr(0, 200), {}, false},
        ReadCase{"AttributeWithoutQuotes", Packet("<ROW No=1/>"), {}, false},
        ReadCase{"AttributesRunTogether", Packet("<ROW No=\"1\"Value=\"2\"/>"), {}, false},
        ReadCase{"TwoAttributesForOneField", Packet("<ROW No=\"1\" no=\"2\"/>"), {}, false},
        ReadCase{"LessThanInAValue", Packet("<ROW No=\"1\" Value=\"a<b\"/>"), {}, false},
        ReadCase{"BadCharacterReference", Packet("<ROW No=\"1\" Value=\"&#xD800;\"/>"), {}, false},
        ReadCase{"CharacterReferenceTooBig", Packet("<ROW No=\"1\" Value=\"&#99999999999;\"/>"), {}, false},
        // Nothing can be declared: a document type declaration is refused
        // before it is read, and no entity but the predefined ones exists.
        ReadCase{"DocumentType",
                 Decl + "<!DOCTYPE DATAPACKET>" + Packet("<ROW No=\"1\"/>").substr(Decl.size()),
                 {},
                 false},
        ReadCase{
            "ExternalEntity",
            Decl +
                "<!DOCTYPE d [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><DATAPACKET><ROWDATA><ROW No=\"1\" "
                "Value=\"&x;\"/></ROWDATA></DATAPACKET>",
            {},
            false},
        ReadCase{"EntityBomb",
                 "<!DOCTYPE d [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
                 "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]><DATAPACKET><ROWDATA><ROW No=\"1\" "
                 "Value=\"&c;\"/>"
                 "</ROWDATA></DATAPACKET>",
                 {},
                 false},
        ReadCase{"UndeclaredEntity", Packet("<ROW No=\"1\" Value=\"&nbsp;\"/>"), {}, false},
        ReadCase{"EntityInAnotherElement", Decl + "<DATAPACKET Version=\"&v;\"/>", {}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(XmlPacketRead, RefusesMarkupLongerThanItKeeps) {
    const std::string bytes =
        Packet("<ROW No=\"1\" Value=\"" + std::string(2 * XmlPacketReader::kMaxMarkup, 'v') + "\"/>");
    CollectingSink sink;
    XmlPacketReader reader(sink);
    bool ok = true;
    for (std::size_t i = 0; i < bytes.size() && ok; i += 65536)
        ok = reader.Feed(bytes.data() + i, std::min<std::size_t>(65536, bytes.size() - i));
    EXPECT_FALSE(ok && reader.Finish());
    EXPECT_TRUE(sink.rows.empty());
}

TEST(XmlPacketRead, RefusesNestingDeeperThanItKeeps) {
    std::string bytes = "<DATAPACKET>";
    for (std::size_t i = 0; i < XmlPacketReader::kMaxDepth; ++i) bytes += "<a>";
    CollectingSink sink;
    XmlPacketReader reader(sink);
    EXPECT_FALSE(reader.Feed(bytes.data(), bytes.size()));
}

}  // namespace
}  // namespace corvel::test
