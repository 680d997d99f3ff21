#include "file/debug_log.h"
#include "locale/language_table.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

QByteArray Utf16Table(const QString &text)
{
    QByteArray bytes("\xff\xfe", 2);
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

struct ParseCase {
    const char *name;
    const char *table; // lines joined with CR LF
    const char *section;
    const char *key;
    bool found;
    const char *value;
};

class ParseCases : public ::testing::TestWithParam<ParseCase>
{};

TEST_P(ParseCases, FindsWhatTheRulesSay)
{
    const ParseCase &c = GetParam();
    QString text = QString::fromUtf8(c.table);
    text.replace("\n", "\r\n");
    DebugLogCapture log;
    LanguageTable table;
    ASSERT_TRUE(table.parse(Utf16Table(text)));
    bool found = false;
    const QString value = table.value(c.section, c.key, &found);
    EXPECT_EQ(found, c.found);
    EXPECT_EQ(value, QString::fromUtf8(c.value));
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ParseCases,
    ::testing::Values(
        ParseCase{"DoubledClosingQuote", "[text]\nIDS_STRING102=\"Common\"\"", "text",
                  "IDS_STRING102", true, "Common"},
        ParseCase{"UnquotedValueWithComment", "[text]\nIDS_STRING120 =  Resolution   ; note",
                  "text", "IDS_STRING120", true, "Resolution"},
        ParseCase{"QuotedValueKeepsSemicolons", "[text]\nK=\"a; b ;c\"", "text", "K", true,
                  "a; b ;c"},
        ParseCase{"TextAfterClosingQuoteIgnored", "[text]\nK=\"abc\" more", "text", "K", true,
                  "abc"},
        ParseCase{"UnclosedQuoteRunsToLineEnd", "[text]\nK=\"abc def", "text", "K", true,
                  "abc def"},
        ParseCase{"ApostrophesQuoteToo", "[text]\nK='say \"hi\"'", "text", "K", true, "say \"hi\""},
        ParseCase{"QuotedValueKeepsBlanks", "[text]\nK=\"  padded  \"", "text", "K", true,
                  "  padded  "},
        ParseCase{"BlanksAndTabsAfterEquals", "[text]\nK=\t \tvalue", "text", "K", true, "value"},
        ParseCase{"ValueMayContainEquals", "[text]\nK=a=b", "text", "K", true, "a=b"},
        ParseCase{"QuotedKeyTakenUnchanged", "[text]\n\" My Key \" = v", "text", " My Key ", true,
                  "v"},
        ParseCase{"QuotedKeyWithoutEqualsIgnored", "[text]\n\"K\" x = v", "text", "K", false, ""},
        ParseCase{"EmptyKeyIgnored", "[text]\n  = v", "text", "", false, ""},
        ParseCase{"EmptyQuotedKeyIgnored", "[text]\n\"\"=v", "text", "", false, ""},
        ParseCase{"LineWithoutEqualsIsKeyWithEmptyValue", "[text]\nLONELY line", "text",
                  "lonely LINE", true, ""},
        ParseCase{"EmptyValue", "[text]\nK=", "text", "K", true, ""},
        ParseCase{"EmptyQuotedValue", "[text]\nK=\"\"", "text", "K", true, ""},
        ParseCase{"KeysIgnoreCase", "[text]\nids_string101=\"x\"", "text", "IDS_STRING101", true,
                  "x"},
        ParseCase{"SectionsIgnoreCase", "[TeXt]\nK=v", "TEXT", "k", true, "v"},
        ParseCase{"SectionNameTrimmed", "[  text  ]\nK=v", "text", "K", true, "v"},
        ParseCase{"LaterValueWins", "[text]\nK=first\nk=second", "text", "K", true, "second"},
        ParseCase{"RepeatedSectionAccumulates", "[text]\nA=1\n[font]\nX=2\n[TEXT]\nB=3", "text",
                  "A", true, "1"},
        ParseCase{"RepeatedSectionAccumulatesLater", "[text]\nA=1\n[font]\nX=2\n[TEXT]\nB=3",
                  "text", "B", true, "3"},
        ParseCase{"EmptySectionClosesTheSection", "[text]\nA=1\n[]\nB=2", "text", "B", false, ""},
        ParseCase{"BlankSectionNameClosesToo", "[text]\nA=1\n[   ]\nB=2", "text", "B", false, ""},
        ParseCase{"LinesBeforeFirstSectionIgnored", "K=v\n[text]", "text", "K", false, ""},
        ParseCase{"CommentLineIgnored", "[text]\n;K=v", "text", ";K", false, ""},
        ParseCase{"LinesTrimmed", "[text]\n   \t K = v \t  ", "text", "K", true, "v"},
        ParseCase{"CarriageReturnsDropped", "[text]\nK=a\rb", "text", "K", true, "ab"},
        ParseCase{"BackslashEscapesStayRaw", "[text]\nK=one\\ntwo", "text", "K", true, "one\\ntwo"},
        ParseCase{"OtherSectionNotText", "[font]\nDEFAULT_UI_CHARSET=1", "font",
                  "default_ui_charset", true, "1"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(LanguageTable, NulEndsTheText)
{
    QString text = QString("[text]\r\nA=1\r\n") + QChar(0) + QString("B=2\r\n");
    LanguageTable table;
    DebugLogCapture log;
    ASSERT_TRUE(table.parse(Utf16Table(text)));
    EXPECT_EQ(table.value("text", "A"), "1");
    bool found = true;
    table.value("text", "B", &found);
    EXPECT_FALSE(found);
}

TEST(LanguageTable, AnsiTableIsWindows1252UpToNul)
{
    LanguageTable table;
    DebugLogCapture log;
    const char raw[] = "[text]\r\nK=\"Fran\xe7"
                       "aise \x80\"\r\n\0L=2";
    ASSERT_TRUE(table.parse(QByteArray(raw, sizeof raw - 1)));
    EXPECT_EQ(table.value("text", "K"), QString::fromUtf8("Française €"));
    EXPECT_EQ(table.keyCount("text"), 1);
}

TEST(LanguageTable, TooShortParsesNothing)
{
    LanguageTable table;
    EXPECT_FALSE(table.parse(QByteArray()));
    EXPECT_FALSE(table.parse(QByteArray("[")));
    EXPECT_FALSE(table.hasSection("text"));
}

TEST(LanguageTable, OddUtf16LengthDropsTheLastByte)
{
    QByteArray bytes = Utf16Table("[text]\nK=\"\u0416\"");
    bytes.append('X');
    LanguageTable table;
    DebugLogCapture log;
    ASSERT_TRUE(table.parse(bytes));
    EXPECT_EQ(table.value("text", "K"), QString::fromUtf8("Ж"));
}

TEST(LanguageTable, StoredKeyLinesAreLogged)
{
    DebugLogCapture log;
    LanguageTable table;
    ASSERT_TRUE(table.parse(Utf16Table("[text]\r\nIDS_STRING102=\"Common\"\"\r\n;c=1\r\n"
                                       "Bare\r\nK = v ; c\r\n= nothing\r\n")));
    EXPECT_EQ(log.messages(), (QStringList{"[IDS_STRING102] = \"Common\"\n", "[K] = \"v\"\n"}));
}

} // namespace
