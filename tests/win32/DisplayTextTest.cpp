// The pure text helpers of the Windows desktop and console.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Win32ConsoleLoop.h"
#include "DisplayText.h"

namespace tarnleaf {
namespace {

TEST(DecodeForDisplay, Utf8BecomesUtf16AndEachInvalidByteStaysOneCharacter) {
    // Invalid: another code page, a cut sequence, an overlong form, an encoded surrogate and
    // a lead byte beyond Unicode. Nothing is lost or merged.
    const std::pair<std::string, std::wstring> rows[] = {
        {"size [300]\r\n", L"size [300]\r\n"}, {"設定", L"\u8A2D\u5B9A"},
        {"\xF0\x9F\x8D\x83", L"\xD83C\xDF43"}, {"\x83\x65", L"\x83\x65"},
        {"a\xE8\xA8", L"a\xE8\xA8"},          {"\xC0\xAF", L"\xC0\xAF"}};
    for (const auto& [bytes, text] : rows) EXPECT_EQ(DecodeForDisplay(bytes), text) << bytes;
    EXPECT_EQ(DecodeForDisplay("\xED\xA0\x80").size(), 3u);
    EXPECT_EQ(DecodeForDisplay("\xF5\x80\x80\x80").size(), 4u);
}

TEST(CommandLineTail, DropsTheProgramNameAndTheBlanksAfterIt) {
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {L"tarnleaf.exe", L""},
        {L"tarnleaf.exe -NOLOG", L"-NOLOG"},
        {L"\"C:\\Program Files\\Tarnleaf\\tarnleaf.exe\" -nolog", L"-nolog"},
        {L"\"C:\\a b\\tarnleaf.exe\"", L""},
        {L"tarnleaf.exe  \t -NOLOG  x", L"-NOLOG  x"},
        {L"\"unterminated -NOLOG", L""},
        {L"", L""},
        {L"t.exe --config \"C:\\my dir\\T.ini\" -NOLOG", L"--config \"C:\\my dir\\T.ini\" -NOLOG"}};
    for (const auto& [commandLine, tail] : rows) {
        EXPECT_EQ(CommandLineTail(commandLine), tail);
    }
}

TEST(LineSplitter, LinesEndAtLfOrCrLfAcrossChunksOverlongOnesAreDroppedQuitStopsTheRest) {
    struct Row { std::vector<std::string_view> chunks; std::vector<std::string> lines; };
    const Row rows[] = {
        {{"t\r\nl", "\nq\n"}, {"t", "l", "q"}},
        {{"t"}, {}},  // an unfinished line waits for its end
        {{"0123456789abcdef\nl\n01234567\n"}, {"l", "01234567"}},  // the limit is 8
        {{"q\nt\n"}, {"q"}}};  // the line callback's false stops the rest
    for (const Row& row : rows) {
        LineSplitter splitter{8};
        std::vector<std::string> lines;
        for (const std::string_view chunk : row.chunks) {
            splitter.Feed(chunk, [&](std::string_view line) {
                lines.emplace_back(line);
                return line != "q";
            });
        }
        EXPECT_EQ(lines, row.lines) << row.chunks.front();
    }
}

}  // namespace
}  // namespace tarnleaf
