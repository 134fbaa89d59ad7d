// The pure text helpers of the Windows desktop and console: log text for display, the
// command line's tail and the console's line splitting.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32/Win32ConsoleLoop.h"
#include "platform/win32/Win32Desktop.h"

namespace tarnleaf {
namespace {

TEST(DecodeForDisplay, Utf8BecomesUtf16) {
    EXPECT_EQ(DecodeForDisplay("size [300]\r\n"), L"size [300]\r\n");
    EXPECT_EQ(DecodeForDisplay("設定"), std::wstring(L"\u8A2D\u5B9A"));
    EXPECT_EQ(DecodeForDisplay("\xF0\x9F\x8D\x83"), std::wstring(L"\xD83C\xDF43"));  // a leaf
}

TEST(DecodeForDisplay, EveryInvalidByteShowsAsOneCharacter) {
    // A name from the network in another code page, a cut sequence, an overlong form and
    // an encoded surrogate: each byte stays visible, nothing is lost or merged.
    EXPECT_EQ(DecodeForDisplay("\x83\x65"), std::wstring(L"\x83\x65"));
    EXPECT_EQ(DecodeForDisplay("a\xE8\xA8"), std::wstring(L"a\xE8\xA8"));
    EXPECT_EQ(DecodeForDisplay("\xC0\xAF"), std::wstring(L"\xC0\xAF"));
    EXPECT_EQ(DecodeForDisplay("\xED\xA0\x80").size(), 3u);
    EXPECT_EQ(DecodeForDisplay("\xF5\x80\x80\x80").size(), 4u);
}

TEST(DecodeForDisplay, PrefixAtACharacterBoundaryDecodesToAPrefixOfTheWhole) {
    // The caret offset of the log view is a byte offset; its position in the control is
    // the length of the decoded prefix, so the two must agree for every boundary.
    const std::string text = "date [1]\r\nserver host name [\x83\x65]\r\n設定\r\n\xF0\x9F\x8D\x83!";
    const std::wstring whole = DecodeForDisplay(text);
    for (const std::size_t cut : {0u, 10u, 28u, 30u, 33u, 36u, 40u, 41u}) {
        ASSERT_LE(cut, text.size());
        const std::wstring prefix = DecodeForDisplay(std::string_view(text).substr(0, cut));
        EXPECT_EQ(whole.compare(0, prefix.size(), prefix), 0) << "cut at " << cut;
    }
}

struct TailCase {
    const wchar_t* commandLine;
    const wchar_t* tail;
};

class CommandLineTailTest : public ::testing::TestWithParam<TailCase> {};

TEST_P(CommandLineTailTest, DropsTheProgramNameAndTheBlanksAfterIt) {
    EXPECT_EQ(CommandLineTail(GetParam().commandLine), GetParam().tail);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, CommandLineTailTest,
    ::testing::Values(TailCase{L"tarnleaf.exe", L""}, TailCase{L"tarnleaf.exe -NOLOG", L"-NOLOG"},
                      TailCase{L"\"C:\\Program Files\\Tarnleaf\\tarnleaf.exe\" -nolog", L"-nolog"},
                      TailCase{L"\"C:\\a b\\tarnleaf.exe\"", L""},
                      TailCase{L"tarnleaf.exe  \t -NOLOG  x", L"-NOLOG  x"},
                      TailCase{L"\"unterminated -NOLOG", L""},
                      TailCase{L"", L""},
                      TailCase{L"tarnleaf.exe --config \"C:\\my dir\\T.ini\" -NOLOG",
                               L"--config \"C:\\my dir\\T.ini\" -NOLOG"}));

class LineSplitterTest : public ::testing::Test {
protected:
    std::vector<std::string> Feed(std::string_view bytes, int stopAfter = -1) {
        splitter_.Feed(bytes, [&](std::string_view line) {
            lines_.emplace_back(line);
            return stopAfter < 0 || static_cast<int>(lines_.size()) < stopAfter;
        });
        return lines_;
    }

    LineSplitter splitter_{8};
    std::vector<std::string> lines_;
};

TEST_F(LineSplitterTest, LfAndCrLfEndLinesAcrossChunks) {
    Feed("t\r\nl");
    EXPECT_EQ(Feed("\nq\n"), (std::vector<std::string>{"t", "l", "q"}));
}

TEST_F(LineSplitterTest, OverlongLineIsDroppedWholeAndTheNextOneCounts) {
    EXPECT_EQ(Feed("0123456789abcdef\nq\n"), (std::vector<std::string>{"q"}));
}

TEST_F(LineSplitterTest, LineOfExactlyTheLimitIsKept) {
    EXPECT_EQ(Feed("01234567\n"), (std::vector<std::string>{"01234567"}));
}

TEST_F(LineSplitterTest, QuitStopsTheRestOfTheChunk) {
    EXPECT_EQ(Feed("q\nt\n", 1), (std::vector<std::string>{"q"}));
}

TEST_F(LineSplitterTest, UnfinishedLineWaitsForItsEnd) {
    EXPECT_TRUE(Feed("t").empty());
    EXPECT_EQ(Feed("\r\n"), (std::vector<std::string>{"t"}));
}

}  // namespace
}  // namespace tarnleaf
