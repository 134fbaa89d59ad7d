#include "IniSnapshot.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

namespace tarnleaf {
namespace {

const std::string k250(250, 'v');

// A file saved as UTF-16 (Notepad's "Unicode"): its byte-order mark, then the units.
std::string Utf16File(std::u16string_view text, bool little = true) {
    std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
    for (const char16_t unit : text) {
        const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
        bytes += little ? std::string{low, high} : std::string{high, low};
    }
    return bytes;
}

// A file, the section and key asked for, and the answer ("<none>" when the key is missing).
const std::tuple<const char*, std::string, const char*, const char*, std::string> kLookups[] = {
    {"NamesIgnoreAsciiCase", "[00-a0-c9]\nSubnetMask=1\n", "00-A0-C9", "SUBNETMASK", "1"},
    {"NonAsciiBytesDoNotFoldCase", "[caf\xE9]\nk=1\n", "CAF\xC9", "k", "<none>"},
    {"NamesAreTrimmed", "[ \tname ]\n  \tkey \t= v\n", "name", "key", "v"},
    {"UnclosedHeaderIsIgnored", "[a]\nk=1\n[b\nk2=2\n", "a", "k2", "2"},
    {"KeysBeforeAnySectionBelongNowhere", "k=1\n[s]\n", "s", "k", "<none>"},
    {"ValueIsAfterTheFirstEquals", "[s]\nk = a=b \n", "s", "k", "a=b"},
    {"SingleQuotesGoSemicolonsStay", "[s]\nk='a; b'\n", "s", "k", "a; b"},
    {"FirstDuplicateSectionAndKeyWinEvenEmpty", "[s]\nk=\nK=2\n[S]\nk=3\n", "s", "k", ""},
    {"LoneCrLineEnds", "[s]\ra=1\rb=2\r", "s", "a", "1"},
    {"ByteOrderMarkIsSkipped", "\xEF\xBB\xBF[s]\nk=v\n", "s", "k", "v"},
    {"Utf16IsReadAsUtf8", Utf16File(u"[s]\r\nk=\u8A2D\u5B9A\r\n"), "s", "k",
     "\xE8\xA8\xAD\xE5\xAE\x9A"},
    {"Utf16BigEndianPairsItsSurrogates", Utf16File(u"[s]\nk=\U0001F600", false), "s", "k",
     "\xF0\x9F\x98\x80"},
    {"Utf16LoneSurrogateIsReplacedAndAnOddByteDropped",
     Utf16File(u"[s]\nk=a\xD800" u"b") + "x", "s", "k", "a\xEF\xBF\xBD" "b"},
    {"NulBytesStayInsideTheirLine", std::string("[s]\nk=a\0b\n", 10), "s", "k", {"a\0b", 3}},
    {"ValueIsCutTo254BytesAfterQuotesGo", "[s]\nk=\"" + k250 + "vvvvvv\"", "s", "k", k250 + "vvvv"},
    {"BlanksTheCutExposesAreTrimmed", "[s]\nk=" + k250 + "      bbb", "s", "k", k250},
};

TEST(IniSnapshot, AnswersLikeThePrivateProfileCallAndSoDoesItsSectionView) {
    for (const auto& [name, text, section, key, expected] : kLookups) {
        const auto snapshot = IniSnapshot::Parse(text);
        EXPECT_EQ(snapshot.GetIniString(section, key, "<none>"), expected) << name;
        const IniSnapshot::Section view = snapshot.FindSection(section);
        EXPECT_EQ(view.Find(key) ? std::string(view.Value(key)) : "<none>", expected) << name;
    }
}

// Names alternate in letter case, so the probing is exercised along with the folding. Each
// section and each key of the big section comes twice: the second time it does not count.
TEST(IniSnapshot, EveryNameOfALargeFileIsFoundAndNoOtherAlsoInACopyOrMove) {
    constexpr int kCount = 3000;
    std::string text, again, big = "[big]\n", bigAgain;
    for (int i = 0; i < kCount; ++i) {
        const std::string n = std::to_string(i);
        text += (i % 2 ? "[client-" : "[CLIENT-") + n + "]\nid=" + n + "\n";
        again += "[Client-" + n + "]\nid=again\nmore=1\n";
        big += (i % 2 ? "key" : "KEY") + n + "=v" + n + "\n";
        bigAgain += "Key" + n + "=again\n";
    }
    const auto snapshot = IniSnapshot::Parse(text + again + big + bigAgain + again);
    EXPECT_EQ(snapshot.SectionCount(), std::size_t{kCount + 1});
    const auto bigSection = snapshot.FindSection("BIG");
    for (int i = 0; i < kCount; ++i) {
        const std::string n = std::to_string(i);
        ASSERT_EQ(bigSection.Find("Key" + n), "v" + n);
        ASSERT_EQ(bigSection.Find("key" + std::to_string(kCount + i)), std::nullopt);
        ASSERT_EQ(snapshot.FindSection("Client-" + n).Value("ID"), n);
        ASSERT_EQ(snapshot.FindSection("Client-" + n).Find("more"), std::nullopt);
    }
    // Values are places in the owned text; short texts move by copy, and must not dangle.
    auto original = std::make_unique<IniSnapshot>(IniSnapshot::Parse("[s]\nk=v\n"));
    const IniSnapshot copy = *original;
    IniSnapshot moved;
    moved = std::move(*original);
    original.reset();
    EXPECT_EQ(copy.GetIniString("s", "k", "") + moved.GetIniString("s", "k", ""), "vv");
}

}  // namespace
}  // namespace tarnleaf
