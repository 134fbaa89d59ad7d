#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DisplayText.h"

namespace tarnleaf {
namespace {

// The shared decoder's refusals are all checked on Linux (DisplayTextTest of the Qt view).
TEST(DecodeForDisplay, Utf8BecomesUtf16AndEachInvalidByteStaysOneCharacter) {
    EXPECT_EQ(DecodeForDisplay("設定\xF0\x9F\x8D\x83 [3]\r\n"), L"\u8A2D\u5B9A\xD83C\xDF43 [3]\r\n");
    EXPECT_EQ(DecodeForDisplay("a\xE8\xA8"), L"a\xE8\xA8");
    EXPECT_EQ(DisplayLength("設定\xF0\x9F\x8D\x83 [3]\r\n"), 10u) << "as long as it is shown";
}

TEST(CommandLineTail, DropsTheProgramNameAndTheBlanksAfterIt) {
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {L"\"C:\\Program Files\\Tarnleaf\\tarnleaf.exe\" -nolog", L"-nolog"},
        {L"tarnleaf.exe  \t -NOLOG  x", L"-NOLOG  x"},
        {L"tarnleaf.exe", L""},
        {L"\"unterminated -NOLOG", L""}};
    for (const auto& [commandLine, tail] : rows) EXPECT_EQ(CommandLineTail(commandLine), tail);
}


}  // namespace
}  // namespace tarnleaf
