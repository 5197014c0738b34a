#include "Core/CString.h"

#include <gtest/gtest.h>

using qel::CString;

TEST(CString, WidthFollowsContentAndComparesAcrossWidths) {
    CString narrow("caf\xE9");
    EXPECT_FALSE(narrow.isWide());
    CString wide = CString::fromUtf8("caf\xC3\xA9");
    EXPECT_FALSE(wide.isWide()) << "U+00E9 fits 8 bits";
    EXPECT_EQ(narrow, wide);

    CString euro = CString::fromUtf8("10 \xE2\x82\xAC");
    EXPECT_TRUE(euro.isWide());
    EXPECT_EQ(euro.length(), 4u);
    EXPECT_EQ(euro.at(3), 0x20ACu);
    EXPECT_EQ(euro.substr(0, 3), CString("10 "));
    EXPECT_LT(CString("10 "), euro);
    EXPECT_EQ(euro.toUtf8(), "10 \xE2\x82\xAC");

    // Widening keeps what was stored before, also across the inline/heap boundary.
    for (size_t n : {0, 5, 15, 16, 31, 32, 100}) {
        CString s(std::string(n, 'x'));
        s.appendChar(0x3A9);
        ASSERT_EQ(s.length(), n + 1);
        EXPECT_TRUE(s.isWide());
        EXPECT_EQ(s.substr(0, n), CString(std::string(n, 'x')));
        EXPECT_EQ(s.at(n), 0x3A9u);
    }
}

TEST(CString, Utf8DecodingSkipsStrayBytesAndStopsAtTruncation) {
    EXPECT_EQ(CString::fromUtf8("a\x80"
                                "b\xF8"
                                "c"),
              CString("abc"));
    EXPECT_EQ(CString::fromUtf8("ab\xE2\x82"), CString("ab"));
    CString astral = CString::fromUtf8("\xF0\x9F\x8E\xB8");
    EXPECT_EQ(astral.length(), 2u) << "surrogate pair";
    EXPECT_EQ(astral.toUtf8(), "\xF0\x9F\x8E\xB8");
}

TEST(CString, CopyMoveAndAppendKeepContents) {
    CString longText("a text long enough to leave the inline buffer behind");
    CString copy = longText;
    CString moved = std::move(copy);
    EXPECT_EQ(moved, longText);
    EXPECT_TRUE(copy.isEmpty());
    CString shortText("short");
    CString movedShort = std::move(shortText);
    EXPECT_EQ(movedShort, "short");
    CString& alias = movedShort;
    movedShort = alias; // self-assignment keeps the value
    EXPECT_EQ(movedShort, "short");
    CString built;
    for (int i = 0; i < 200; ++i)
        built += char('a' + i % 26);
    EXPECT_EQ(built.length(), 200u);
    EXPECT_EQ(built.at(199), uint32_t('a' + 199 % 26));
    EXPECT_EQ(CString(u"\u03A9mega") + " x", CString::fromUtf8("\xCE\xA9mega x"));
}

TEST(CString, SplitTrimCaseAndSearch) {
    auto pieces = CString("..a..bc.d.").split('.');
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0], "a");
    EXPECT_EQ(pieces[1], "bc");
    EXPECT_EQ(pieces[2], "d");
    EXPECT_TRUE(CString("...").split('.').empty());
    EXPECT_EQ(CString(" \t x y \r\n").trimmed(), "x y");
    EXPECT_EQ(CString("   ").trimmed(), "");
    EXPECT_TRUE(CString("Shared::Audio").equalsNoCase(CString("shared::AUDIO")));
    EXPECT_LT(CString("abc").compareNoCase(CString("ABD")), 0);
    EXPECT_EQ(CString("\xC9t\xE9").toUpper(), CString("\xC9T\xC9"));
    EXPECT_EQ(CString("a.b.c").find('.', 2), 3u);
    EXPECT_EQ(CString("a.b.c").rfind('.'), 3u);
    EXPECT_EQ(CString("shared::audio").find(CString("::")), 6u);
    EXPECT_EQ(CString("abc").find(CString("x")), CString::npos);
    EXPECT_TRUE(CString("shared::x").startsWith(CString("shared::")));
    EXPECT_TRUE(CString("file.cpf").endsWith(CString(".cpf")));
}

TEST(CString, DecimalConversions) {
    int32_t i = 0;
    EXPECT_TRUE(CString("-5").parseInt32(i));
    EXPECT_EQ(i, -5);
    EXPECT_TRUE(CString("2147483647").parseInt32(i));
    EXPECT_FALSE(CString("2147483648").parseInt32(i));
    EXPECT_TRUE(CString("-2147483648").parseInt32(i));
    EXPECT_EQ(i, INT32_MIN);
    for (const char* bad : {"", "-", "1x", " 1", "1.0"})
        EXPECT_FALSE(CString(bad).parseInt32(i)) << bad;
    int64_t big = 0;
    EXPECT_FALSE(CString("9223372036854775808").parseInt64(big));
    EXPECT_TRUE(CString("-9223372036854775808").parseInt64(big));
    EXPECT_EQ(big, INT64_MIN);
    double d = 0;
    EXPECT_TRUE(CString("0.015").parseDouble(d));
    EXPECT_DOUBLE_EQ(d, 0.015);
    EXPECT_TRUE(CString("-1e3").parseDouble(d));
    EXPECT_EQ(d, -1000);
    EXPECT_FALSE(CString("1.5 ").parseDouble(d));
    EXPECT_FALSE(CString("").parseDouble(d));
    EXPECT_EQ(CString::fromInt(-42), "-42");
    EXPECT_EQ(CString::fromUInt(4294967295u), "4294967295");
    EXPECT_EQ(CString::fromDouble(2.5, 0), "3");
    EXPECT_EQ(CString::fromDouble(-2.5, 0), "-3");
    EXPECT_EQ(CString::fromDouble(0.00005, 4), "0.0001");
    EXPECT_EQ(CString::fromDouble(-0.00001, 4), "0.0000");
    EXPECT_EQ(CString::format("%d-%s", 7, "x"), "7-x");
    EXPECT_EQ(CString::format("%s", std::string(300, 'z').c_str()).length(), 300u);
}

TEST(CString, EqualStringsHashAlikeAcrossWidths) {
    CString wide(u"abc");
    wide.widen();
    EXPECT_TRUE(wide.isWide());
    EXPECT_EQ(wide, CString("abc"));
    EXPECT_EQ(wide.hash(), CString("abc").hash());
}
