#include "platform/registry_text.h"

#include <gtest/gtest.h>

namespace {

TEST(RegistryText, WineRegistryFile)
{
    const QByteArray file = "WINE REGISTRY Version 2\n"
                            ";; All keys relative to \\\\Machine\n"
                            "\n#arch=win64\n\n"
                            "[Software\\\\KESTRAVON] 1700000000\n"
                            "#time=1da0b7f2c6e4a10\n"
                            "\"LANGUAGE\"=\"FRENCH\"\n"
                            "\"Path\"=\"C:\\\\Program Files\\\\Orbilux\"\n"
                            "\"Quote\"=\"say \\\"x\\\" caf\\xe9\"\n"
                            "\"Count\"=dword:0000002a\n"
                            "@=\"default\"\n"
                            "\"Expand\"=str(2):\"%WINDIR%\"\n"
                            "\n[Software\\\\Other] 1700000001\n\"A\"=\"B\"\n";
    const QList<RegistryKey> keys = ParseRegistryText(file);
    ASSERT_EQ(keys.size(), 2);
    const RegistryKey *k = FindRegistryKey(keys, "software\\kestravon");
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(k->path, "Software\\KESTRAVON");
    ASSERT_NE(k->value("language"), nullptr);
    EXPECT_EQ(k->value("LANGUAGE")->text, "FRENCH");
    EXPECT_EQ(k->value("Path")->text, "C:\\Program Files\\Orbilux");
    EXPECT_EQ(k->value("Quote")->text, QString::fromUtf8("say \"x\" café"));
    EXPECT_EQ(k->value("Count")->type, RegistryValue::Dword);
    EXPECT_EQ(k->value("Count")->data, QByteArray("\x2a\0\0\0", 4));
    EXPECT_EQ(k->value("")->text, "default");
    EXPECT_EQ(k->value("Expand")->text, "%WINDIR%");
    EXPECT_EQ(FindRegistryKey(keys, "Software\\Missing"), nullptr);
}

TEST(RegistryText, RegeditExportWithHexContinuationAndUtf16)
{
    QString text = "Windows Registry Editor Version 5.00\r\n\r\n"
                   "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Zones\\Korea Standard Time]\r\n"
                   "\"Display\"=\"(UTC+09:00) Seoul\"\r\n"
                   "\"TZI\"=hex:e4,fd,ff,ff,00,00,00,00,\\\r\n  c4,ff,ff,ff\r\n"
                   "\"Multi\"=hex(2):41,00,42,00,00,00\r\n"
                   "\"Broken\"=hex:zz\r\n"
                   "\"NoValue\"\r\n";
    QByteArray bytes("\xff\xfe", 2);
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    const QList<RegistryKey> keys = ParseRegistryText(bytes);
    ASSERT_EQ(keys.size(), 1);
    EXPECT_EQ(keys[0].path, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Zones\\Korea Standard Time");
    ASSERT_NE(keys[0].value("TZI"), nullptr);
    EXPECT_EQ(keys[0].value("TZI")->data,
              QByteArray("\xe4\xfd\xff\xff\0\0\0\0\xc4\xff\xff\xff", 12));
    EXPECT_EQ(keys[0].value("Multi")->text, "AB");
    EXPECT_EQ(keys[0].value("Broken"), nullptr);
    EXPECT_EQ(keys[0].values.size(), 3);
}

} // namespace
