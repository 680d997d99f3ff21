#include "file/ansi_text.h"

#include <gtest/gtest.h>

namespace {

TEST(AnsiText, Windows1252RoundTripsAndStopsAtNul)
{
    const char bytes[] = "A\x80\x99\xe9\xff\0ignored";
    const QString text = AnsiToWide(bytes, sizeof bytes);
    EXPECT_EQ(text, QString::fromUtf8("A€™éÿ"));
    EXPECT_EQ(WideToAnsi(text), QByteArray("A\x80\x99\xe9\xff"));
}

TEST(AnsiText, UnmappableCharactersBecomeQuestionMarks)
{
    EXPECT_EQ(WideToAnsi(QString::fromUtf8("Zürich Москва")), QByteArray("Z\xfcrich ??????"));
}

TEST(AnsiText, LengthLimitsTheConversion)
{
    EXPECT_EQ(AnsiToWide("ABCDEFGH", 4), QString("ABCD"));
}

} // namespace
