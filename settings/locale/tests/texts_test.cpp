#include "builds/model_profile.h"
#include "file/camera_settings.h"
#include "file/debug_log.h"
#include "locale/string_table.h"
#include "locale/texts.h"
#include "platform/viewer.h"

#include <QMap>
#include <QSet>

#include <gtest/gtest.h>

namespace {

QByteArray Utf16(const QString &text)
{
    QByteArray bytes("\xff\xfe", 2);
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

class MapTables : public LanguageTableStore
{
public:
    QMap<QString, QByteArray> tables; // upper-case names
    bool find(const QString &name, QByteArray *table) const override
    {
        const auto it = tables.constFind(name.toUpper());
        if (it == tables.constEnd())
            return false;
        *table = *it;
        return true;
    }
};

class TextCatalogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        store.tables["ENGLISH"] = Utf16("[font]\r\nDEFAULT_UI_FACENAME=\"Verdana\"\r\n[text]\r\n"
                                        "IDS_STRING101=\"Dash cam setting\"\r\n"
                                        "IDS_STRING102=\"Common\"\"\r\n"
                                        "IDS_STRING107=\"Cancel\"\r\n"
                                        "IDS_STRING108=\"Save\"\r\n"
                                        "IDS_STRING163=\"Line one\\nLine two\\r\\nthree\"\r\n");
        store.tables["FRENCH"] = Utf16("[text]\r\nIDS_STRING101=\"Param\u00e9trage\"\r\n"
                                       "IDS_STRING107=\r\n"
                                       "IDS_STRING108=\"\"\r\n"
                                       "IDS_STRING500=\"seulement ici\"\r\n");
        store.tables["NOTEXT"] = Utf16("[font]\r\nIDS_STRING101=\"x\"\r\n");
        store.tables["TINY"] = QByteArray("x");
    }
    MapTables store;
    DebugLogCapture log;
};

TEST_F(TextCatalogTest, ErrorLoadingBeforeSelection)
{
    TextCatalog texts(store);
    EXPECT_EQ(texts.GetText("IDS_STRING101"), "Error Loading");
}

struct LookupCase {
    const char *language;
    const char *key;
    const char *text;
};

TEST_F(TextCatalogTest, PrimaryThenEnglish)
{
    const LookupCase cases[] = {
        {"french", "IDS_STRING101", "Param\u00e9trage"},
        {"french", "ids_string101", "Param\u00e9trage"},
        {"french", "IDS_STRING107", "Cancel"}, // empty French value
        {"french", "IDS_STRING108", "Save"},   // two quotes
        {"french", "IDS_STRING500", "seulement ici"},
        {"french", "IDS_STRING102", "Common"},
        {"french", "IDS_STRING999", ""},
        {"english", "IDS_STRING102", "Common"},
        {"english", "IDS_STRING163", "Line one\nLine two\r\nthree"},
        {"notext", "IDS_STRING101", "Dash cam setting"}, // no [text] section: English
        {"tiny", "IDS_STRING108", "Save"},
    };
    for (const LookupCase &c : cases) {
        TextCatalog texts(store);
        ASSERT_TRUE(texts.SelectLanguage(c.language)) << c.language;
        EXPECT_EQ(texts.GetText(c.key), QString::fromUtf8(c.text)) << c.language << " " << c.key;
    }
}

TEST_F(TextCatalogTest, MissingTableLeavesTextsUnloaded)
{
    TextCatalog texts(store);
    ASSERT_TRUE(texts.SelectLanguage("french"));
    EXPECT_FALSE(texts.SelectLanguage("german"));
    EXPECT_FALSE(texts.loaded());
    EXPECT_EQ(texts.GetText("IDS_STRING101"), "Error Loading");
}

TEST_F(TextCatalogTest, NeitherTableParsedFails)
{
    store.tables["ENGLISH"] = QByteArray("x");
    TextCatalog texts(store);
    EXPECT_FALSE(texts.SelectLanguage("tiny"));
    EXPECT_EQ(texts.GetText("IDS_STRING101"), "Error Loading");
}

TEST_F(TextCatalogTest, SelectionLogsEveryStoredKeyLine)
{
    TextCatalog texts(store);
    ASSERT_TRUE(texts.SelectLanguage("french"));
    EXPECT_EQ(texts.language(), "french");
    const QStringList want = {
        "[IDS_STRING101] = \"Param\u00e9trage\"\n",
        "[IDS_STRING107] = \"\"\n",
        "[IDS_STRING108] = \"\"\n",
        "[IDS_STRING500] = \"seulement ici\"\n",
        "[DEFAULT_UI_FACENAME] = \"Verdana\"\n",
        "[IDS_STRING101] = \"Dash cam setting\"\n",
        "[IDS_STRING102] = \"Common\"\n",
        "[IDS_STRING107] = \"Cancel\"\n",
        "[IDS_STRING108] = \"Save\"\n",
        "[IDS_STRING163] = \"Line one\\nLine two\\r\\nthree\"\n",
    };
    EXPECT_EQ(log.messages(), want);
}

// The shipped tables.
const QList<int> &TableKeys()
{
    static const QList<int> keys = [] {
        QList<int> k;
        for (int n = 101; n <= 196; ++n)
            k << n;
        k << 1630 << 1770 << 1780 << 1810;
        return k;
    }();
    return keys;
}

TEST(ShippedTables, ThreeUtf16TablesWithTheHundredKeys)
{
    DebugLogCapture log;
    const ResourceLanguageTables store;
    for (const char *name : {"ENGLISH", "FRENCH", "RUSSIA"}) {
        QByteArray bytes;
        ASSERT_TRUE(store.find(name, &bytes)) << name;
        ASSERT_GE(bytes.size(), 4);
        EXPECT_EQ(bytes.left(2), QByteArray("\xff\xfe")) << name;
        EXPECT_EQ(bytes.size() % 2, 0);
        const QString text = QString::fromUtf16(
            reinterpret_cast<const char16_t *>(bytes.constData() + 2), (bytes.size() - 2) / 2);
        EXPECT_FALSE(text.contains(QChar(0))) << name;
        EXPECT_EQ(text.count('\n'), text.count("\r\n")) << name << ": CR LF line ends";
        LanguageTable table;
        ASSERT_TRUE(table.parse(bytes));
        EXPECT_EQ(table.keyCount("text"), 100) << name;
        for (int key : TableKeys()) {
            bool found = false;
            const QString value = table.value("text", QString("IDS_STRING%1").arg(key), &found);
            EXPECT_TRUE(found && !value.isEmpty()) << name << " " << key;
        }
        EXPECT_EQ(table.value("font", "DEFAULT_UI_FACENAME"), "Verdana");
        EXPECT_EQ(table.value("font", "DEFAULT_UI_CHARSET"), "1");
        EXPECT_EQ(table.value("font", "DEFAULT_UI_CODEPAGE"), "409");
    }
    QByteArray bytes;
    EXPECT_TRUE(store.find("french", &bytes)) << "names compare without regard to case";
    EXPECT_FALSE(store.find("german", &bytes));
}

TEST(ShippedTables, QuotedTextsAreExact)
{
    DebugLogCapture log;
    const struct {
        const char *language, *key, *text;
    } cases[] = {
        {"english", "IDS_STRING101", "Dash cam setting"},
        {"english", "IDS_STRING102", "Common"},
        {"english", "IDS_STRING136",
         "Disabled  (Turn off the dash cam, once the engine is turned off)"},
        {"english", "IDS_STRING163",
         "Caution: All data will be deleted, if you format the memory card."},
        {"english", "IDS_STRING1630", "Select (Yes) to format or select (No) to cancel."},
        {"english", "IDS_STRING1810", "It is currently being used by Orbilux or another program."},
        {"english", "IDS_STRING196", "Daylight Saving Time"},
        {"french", "IDS_STRING101", "Paramétrage de la Dashcam"},
        {"french", "IDS_STRING106", "Initialiser"},
        {"french", "IDS_STRING108", "Enregistrer"},
        {"french", "IDS_STRING193", "Langue"},
        {"french", "IDS_STRING195", "Française"},
        {"french", "IDS_STRING1810",
         "It iest en cours d'utilisation par Orbilux ou un autre programme."},
        {"russia", "IDS_STRING101", "Установки видеорегистратора"},
        {"russia", "IDS_STRING102", "Основные"},
    };
    const ResourceLanguageTables store;
    for (const auto &c : cases) {
        TextCatalog texts(store);
        ASSERT_TRUE(texts.SelectLanguage(c.language));
        EXPECT_EQ(texts.GetText(c.key), QString::fromUtf8(c.text)) << c.language << " " << c.key;
    }
}

TEST(ShippedTables, FrenchDiffersFromEnglishWhereItShould)
{
    DebugLogCapture log;
    const ResourceLanguageTables store;
    TextCatalog english(store), french(store);
    ASSERT_TRUE(english.SelectLanguage("english"));
    ASSERT_TRUE(french.SelectLanguage("french"));
    int same = 0;
    for (int key : TableKeys()) {
        const QString k = QString("IDS_STRING%1").arg(key);
        if (english.GetText(k) == french.GetText(k))
            ++same;
    }
    // Only the texts that read the same in both languages (resolutions, "Volume", "km/h" ...).
    EXPECT_LE(same, 14);
}

TEST(StringTable, KZ7100TextsByNumber)
{
    EXPECT_EQ(StringTableText(101), "Roadlog Setting");
    EXPECT_EQ(StringTableText(104), "Surveillance");
    EXPECT_EQ(StringTableText(163), "Caution : all data will be deleted, If format memory\r\n"
                                    "Sellect (Yes) for format, Select (No) for cancel\r\n");
    EXPECT_EQ(StringTableText(183), "   ex)");
    EXPECT_EQ(StringTableText(189), " not used");
    for (int n : {1630, 1770, 1780, 1810, 100, 197})
        EXPECT_EQ(StringTableText(n), "") << n;
    for (int n = 101; n <= 196; ++n)
        EXPECT_FALSE(StringTableText(n).isEmpty()) << n;
}

TEST(StringTable, ResourceScriptSyntax)
{
    const QMap<int, QString> table = ParseStringTable(
        "STRINGTABLE\nBEGIN\n    101 \"a \"\"quoted\"\" \\\\ word\\r\\n\"\n"
        "    102, \"comma\"\n    bad \"x\"\n    103 \"unclosed\nEND\n    104 \"after\"\n");
    EXPECT_EQ(table.value(101), "a \"quoted\" \\ word\r\n");
    EXPECT_EQ(table.value(102), "comma");
    EXPECT_EQ(table.size(), 2);
}

TEST(ModelText, EachBuildHasItsSource)
{
    DebugLogCapture log;
    ASSERT_TRUE(SelectLanguage("french"));
    EXPECT_EQ(ModelText(K420_Setting, 108), "Enregistrer");
    EXPECT_EQ(ModelText(K420_Setting, 1630),
              QString::fromUtf8("Sélectionnez (Oui) pour formater ou (Non) pour annuler."));
    EXPECT_EQ(ModelText(KZ7100_Setting, 108), "Save");
    EXPECT_EQ(ModelText(KZ7100_Setting, 1630), "");
}

class FakeViewer : public ViewerProbe
{
public:
    FakeViewer(bool running, const char *language) : m_running(running), m_language(language) {}
    QString languageValue() const override { return m_language; }
    bool isRunning() const override { return m_running; }

private:
    bool m_running;
    QString m_language;
};

TEST(ChooseLanguage, ViewerLanguageFirstThenTheRecord)
{
    const struct {
        bool running;
        const char *value;
        int32_t language;
        const char *chosen;
    } cases[] = {
        {true, "FRENCH", 0, "french"},   {false, "FRENCH", 0, "english"},
        {true, "russian", 1, "english"}, {false, "russian", 1, "french"},
        {true, "", 1, "french"},         {true, "", 0, "english"},
        {true, "French", 0, "french"},   {true, "english", 5, "english"},
        {false, "", 5, "french"},        {false, "", -1, "french"},
        {true, " french", 0, "english"},
    };
    for (const auto &c : cases) {
        CameraSettings settings;
        ClearSettings(settings);
        settings.language = c.language;
        EXPECT_EQ(ChooseLanguage(settings, FakeViewer(c.running, c.value)), c.chosen)
            << c.running << " [" << c.value << "] " << c.language;
    }
}

} // namespace
