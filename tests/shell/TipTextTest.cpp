#include "shell/TipText.h"

#include <gtest/gtest.h>

#include <array>
#include <ostream>
#include <string>

#include "shell/clsTray.h"
#include "support/FakeDesktop.h"

namespace tarnleaf {
namespace {

struct TipCase {
    const char* name;
    std::string input;
    std::u16string stored;
};

std::ostream& operator<<(std::ostream& out, const TipCase& c) { return out << c.name; }

class TipField : public ::testing::TestWithParam<TipCase> {};

TEST_P(TipField, StoresAtMostSixtyThreeCharactersThenNul) {
    std::array<char16_t, 64> field{};
    field.fill(u'x');
    WriteTipField(GetParam().input, field);
    const std::u16string stored(field.data());
    EXPECT_EQ(stored, GetParam().stored);
    EXPECT_EQ(field[63], u'\0');
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TipField,
    ::testing::Values(
        TipCase{"Empty", "", u""},
        TipCase{"SixtyThreeCharactersStayWhole", std::string(63, 'a'), std::u16string(63, u'a')},
        TipCase{"SixtyFourAreCutToSixtyThree", std::string(64, 'b'), std::u16string(63, u'b')},
        TipCase{"VeryLongIsCut", std::string(5000, 'c'), std::u16string(63, u'c')},
        TipCase{"JapaneseCountsCharactersNotBytes", "設定ログ終了", u"設定ログ終了"},
        TipCase{"PairIsNotSplitAtTheCut", std::string(62, 'd') + "\xF0\x9F\x98\x80",
                std::u16string(62, u'd')},
        TipCase{"PairThatFitsIsKept", std::string(61, 'e') + "\xF0\x9F\x98\x80",
                std::u16string(61, u'e') + u"\U0001F600"},
        TipCase{"StrayContinuationByteBecomesReplacement", "a\x80z", u"a\uFFFDz"},
        TipCase{"TruncatedSequenceBecomesReplacement", "a\xE8\xA8", u"a\uFFFD"},
        TipCase{"OverlongFormBecomesReplacement", "\xC0\xAF!", u"\uFFFD\uFFFD!"},
        TipCase{"EncodedSurrogateBecomesReplacement", "\xED\xA0\x80x", u"\uFFFDx"},
        TipCase{"EmbeddedNulEndsTheTip", std::string("ab\0cd", 5), u"ab"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(TipTextTest, ReadBackGivesTheUtf8ThatWasStored) {
    EXPECT_EQ(TipToUtf8(u"Bootp Server for Win"), "Bootp Server for Win");
    EXPECT_EQ(TipToUtf8(u"設定 \U0001F600"), "設定 \xF0\x9F\x98\x80");
    EXPECT_EQ(TipToUtf8(std::u16string(1, char16_t{0xD800})), "\xEF\xBF\xBD");
}

TEST(TipTextTest, TrayToolTipTextRoundTrips) {
    testing::FakeDesktop desktop;
    modSubClass hooks(desktop);
    auto tray = clsTray::Create(desktop, hooks);
    tray->SetToolTipText("Bootp Server for Win");
    EXPECT_EQ(tray->ToolTipText(), "Bootp Server for Win");
    tray->SetToolTipText(std::string(100, 'z'));
    EXPECT_EQ(tray->ToolTipText(), std::string(63, 'z'));
}

}  // namespace
}  // namespace tarnleaf
