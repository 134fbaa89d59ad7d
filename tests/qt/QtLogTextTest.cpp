#include "QtLogText.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tarnleaf {
namespace {

TEST(DisplayTextTest, ShowsLineEndsAsOneNewlineAndEveryByteAsSomething) {
    const std::pair<std::string, std::u16string> rows[] = {
        {"a\r\nb\r\n", u"a\nb\n"},                         // CR LF is one line end
        {"a\rb\nc", u"a\nb\nc"},                           // so are a lone CR and a lone LF
        {"a\r\r\nb", u"a\n\nb"},                           // CR CR LF: two
        {"\xE8\xA8\xAD\xE5\xAE\x9A", u"設定"},             // UTF-8
        {"\xF0\x9F\x98\x80", u"\U0001F600"},               // four bytes: a surrogate pair
        {"a\xFFz", u"a\u00FFz"},                           // a stray byte shows as Latin-1
        {"a\xE8\xA8", u"a\u00E8\u00A8"},                   // so does a truncated sequence,
        {"\xC0\xAF", u"\u00C0\u00AF"},                     // an overlong form,
        {"\xED\xA0\x80", u"\u00ED\u00A0\u0080"},           // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\u00F4\u0090\u0080\u0080"},  // and what lies beyond U+10FFFF
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)}};
    for (const auto& [bytes, shown] : rows) {
        EXPECT_EQ(DisplayText(bytes).toStdU16String(), shown) << bytes;
    }
}

TEST(DisplayPositionTest, CountsLineEndsAsOneAndCharactersAsTheViewDoes) {
    const std::string text = "Ab\r\n\xE8\xA8\xAD\xE5\xAE\x9A\r\nx";
    // Byte offset -> view position; between CR and LF counts as after the line end.
    const std::pair<std::size_t, int> rows[] = {{0, 0}, {2, 2}, {3, 3},  {4, 3},
                                                {7, 4}, {10, 5}, {13, 7}, {113, 7}};
    for (const auto& [offset, position] : rows) {
        EXPECT_EQ(DisplayPosition(text, offset), position) << "offset " << offset;
    }
}

}  // namespace
}  // namespace tarnleaf
