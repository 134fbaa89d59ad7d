#include "QtLogText.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnleaf {
namespace {

// The only Linux test of the shared UTF-8 decoder's refusals, too.
TEST(DisplayTextTest, ShowsLineEndsAsOneNewlineAndEveryByteAsSomething) {
    const std::pair<std::string, std::u16string> rows[] = {
        {"a\r\nb\rc\nd\r\r\n", u"a\nb\nc\nd\n\n"},  // CR LF, a lone CR, a lone LF; CR CR LF: two
        {"\xE8\xA8\xAD\xF0\x9F\x98\x80", u"設\U0001F600"},  // UTF-8, a surrogate pair
        {"a\xFFz", u"a\u00FFz"},                           // a stray byte shows as Latin-1
        {"a\xE8\xA8", u"a\u00E8\u00A8"},                   // so does a truncated sequence,
        {"\xC0\xAF", u"\u00C0\u00AF"},                     // an overlong form,
        {"\xED\xA0\x80", u"\u00ED\u00A0\u0080"},           // an encoded surrogate
        {"\xF4\x90\x80\x80", u"\u00F4\u0090\u0080\u0080"}};  // and what lies beyond U+10FFFF
    for (const auto& [bytes, shown] : rows) {
        EXPECT_EQ(DisplayText(bytes).toStdU16String(), shown);
        EXPECT_EQ(DisplayPosition(bytes, bytes.size()), static_cast<int>(shown.size())) << bytes;
    }
    const std::string text = "Ab\r\n\xE8\xA8\xAD\xE5\xAE\x9A\r\nx";  // byte offset -> view position
    EXPECT_EQ(DisplayPosition(text, 13), 7) << "a line end counts one, 設 one";
    EXPECT_EQ(DisplayPosition(text, 4), 3) << "inside CR LF: after it";
    EXPECT_EQ(DisplayPosition(text, 113), 7) << "beyond the end: the end";
}

}  // namespace
}  // namespace tarnleaf
