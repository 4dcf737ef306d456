#include "text/codepage.h"

#include <gtest/gtest.h>

using zond::text::CodePage;

TEST(CodePage, Cp1251RoundTripsCyrillic) {
    const auto& cp = CodePage::get(1251);
    const auto encoded = cp.encode("Оперативный ё Ё №");
    EXPECT_FALSE(encoded.lossy);
    // О=0xCE п=0xEF ... ё=0xB8 Ё=0xA8 №=0xB9 in Windows-1251.
    ASSERT_EQ(encoded.bytes.size(), 17u);
    EXPECT_EQ(static_cast<unsigned char>(encoded.bytes[0]), 0xCE);
    EXPECT_EQ(static_cast<unsigned char>(encoded.bytes[1]), 0xEF);
    EXPECT_EQ(static_cast<unsigned char>(encoded.bytes[12]), 0xB8);
    EXPECT_EQ(static_cast<unsigned char>(encoded.bytes[14]), 0xA8);
    EXPECT_EQ(static_cast<unsigned char>(encoded.bytes[16]), 0xB9);
    EXPECT_EQ(cp.decode(encoded.bytes), "Оперативный ё Ё №");
}

TEST(CodePage, Cp866PlacesCyrillicDifferently) {
    // 'А' is 0x80 in code page 866 and 0xC0 in 1251.
    EXPECT_EQ(CodePage::get(866).encode("А").bytes, "\x80");
    EXPECT_EQ(CodePage::get(1251).encode("А").bytes, "\xC0");
    EXPECT_EQ(CodePage::get(866).decode("\x80"), "А");
}

TEST(CodePage, UnencodableCharacterBecomesQuestionMarkAndIsReported) {
    const auto encoded = CodePage::get(1251).encode("a€b漢");
    // The euro sign exists in 1251 (0x88); the CJK character does not.
    EXPECT_EQ(encoded.bytes,
              "a\x88"
              "b?");
    EXPECT_TRUE(encoded.lossy);
    EXPECT_FALSE(CodePage::get(1251).canEncode(U'漢'));
    EXPECT_TRUE(CodePage::get(1251).canEncode(U'Ж'));
}

// The code pages tables come in besides 1251, each by a byte its published table fixes, and a
// byte 1251 leaves undefined stays undefined (no best-fit guess) and is never written.
TEST(CodePage, OtherCodePagesAndUndefinedBytes) {
    EXPECT_EQ(CodePage::get(1250).decode("\x8A"), "Š");
    EXPECT_EQ(CodePage::get(1252).decode("\x80"), "€");
    EXPECT_EQ(CodePage::get(437).decode("\x80"), "Ç");
    EXPECT_EQ(CodePage::get(850).decode("\x9B"), "ø");
    EXPECT_EQ(CodePage::get(1251).decode("\x98"), "\xEF\xBF\xBD");
    EXPECT_FALSE(CodePage::get(1251).canEncode(U'\u0098'));
}

TEST(CodePage, UnknownCodePageIsRefused) {
    EXPECT_THROW(CodePage::get(99999), std::invalid_argument);
}

TEST(Utf, CountsCodePointsAndConvertsToUtf16) {
    EXPECT_EQ(zond::text::characterCount("Примечание"), 10u);
    EXPECT_EQ(zond::text::toUtf16("Я1"), u"Я1");
    EXPECT_EQ(zond::text::toUtf16("\xF0\x9F\x98\x80"), std::u16string({0xD83D, 0xDE00}));
    // A truncated sequence does not read past the end.
    EXPECT_EQ(zond::text::toUtf32("a\xD0"), std::u32string({U'a', 0xFFFD}));
}
