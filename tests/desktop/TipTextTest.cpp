#include "TipText.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace tarnleaf {
namespace {

TEST(TipText, FieldHoldsAtMostSixtyThreeWholeCharactersWithMalformedUtf8Replaced) {
    const std::string emoji = "\xF0\x9F\x98\x80";
    const struct {
        const char* name;
        std::string input;
        std::u16string stored;
    } cases[] = {
        {"Empty", "", u""},
        {"SixtyThreeStayWhole", std::string(63, 'a'), std::u16string(63, u'a')},
        {"SixtyFourAreCut", std::string(64, 'b'), std::u16string(63, u'b')},
        {"JapaneseCountsCharacters", "設定ログ終了", u"設定ログ終了"},
        {"PairIsNotSplitAtTheCut", std::string(62, 'd') + emoji, std::u16string(62, u'd')},
        {"PairThatFitsIsKept", std::string(61, 'e') + emoji,
         std::u16string(61, u'e') + u"\U0001F600"},
        {"StrayContinuationByte", "a\x80z", u"a\uFFFDz"},
        {"TruncatedSequences", "\xE8\xA8z\xE8\xA8", u"\uFFFDz\uFFFD"},
        {"OverlongForms", "\xC0\xAF\xE0\x80\xAF!", u"\uFFFD\uFFFD\uFFFD!"},
        {"EncodedSurrogate", "\xED\xA0\x80x", u"\uFFFDx"},
        {"EmbeddedNulEndsTheTip", std::string("ab\0cd", 5), u"ab"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::array<char16_t, 64> field{};
        field.fill(u'x');
        WriteTipField(c.input, field);
        EXPECT_EQ(std::u16string(field.data()), c.stored);
        EXPECT_EQ(field[63], u'\0');
    }
}

TEST(TipText, ReadBackGivesUtf8WithLoneSurrogatesReplaced) {
    EXPECT_EQ(TipToUtf8(u"設定 \U0001F600"), "設定 \xF0\x9F\x98\x80");
    EXPECT_EQ(TipToUtf8(std::u16string(1, char16_t{0xD800})), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace tarnleaf
