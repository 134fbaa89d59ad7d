#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DisplayText.h"
#include "Win32ConsoleLoop.h"

namespace tarnleaf {
namespace {

// The shared decoder's refusals are all checked on Linux (DisplayTextTest of the Qt view).
TEST(DecodeForDisplay, Utf8BecomesUtf16AndEachInvalidByteStaysOneCharacter) {
    EXPECT_EQ(DecodeForDisplay("設定\xF0\x9F\x8D\x83 [3]\r\n"), L"\u8A2D\u5B9A\xD83C\xDF43 [3]\r\n");
    EXPECT_EQ(DecodeForDisplay("a\xE8\xA8"), L"a\xE8\xA8");
}

TEST(CommandLineTail, DropsTheProgramNameAndTheBlanksAfterIt) {
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {L"\"C:\\Program Files\\Tarnleaf\\tarnleaf.exe\" -nolog", L"-nolog"},
        {L"tarnleaf.exe  \t -NOLOG  x", L"-NOLOG  x"},
        {L"tarnleaf.exe", L""},
        {L"\"unterminated -NOLOG", L""}};
    for (const auto& [commandLine, tail] : rows) EXPECT_EQ(CommandLineTail(commandLine), tail);
}

TEST(LineSplitter, LinesEndAtLfOrCrLfAcrossChunksOverlongOnesAreDroppedQuitStopsTheRest) {
    LineSplitter splitter{8};
    std::vector<std::string> lines;
    const auto take = [&](std::string_view line) { return lines.emplace_back(line), line != "q"; };
    splitter.Feed("t\r\nl", take);
    EXPECT_EQ(lines, std::vector<std::string>{"t"}) << "an unfinished line waits for its end";
    splitter.Feed("\n0123456789abcdef\nu\n01234567\nq\nt\n", take);  // the limit is 8
    EXPECT_EQ(lines, (std::vector<std::string>{"t", "l", "u", "01234567", "q"}));
}

}  // namespace
}  // namespace tarnleaf
