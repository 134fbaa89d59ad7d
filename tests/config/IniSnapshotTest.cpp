#include "IniSnapshot.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace tarnleaf {
namespace {

using namespace std::string_literals;

struct LookupCase {
    const char* name;
    std::string text;
    const char *section, *key;
    std::string expected;  // "<none>" when the key is missing
};

const std::string k254(254, 'v');

const LookupCase kLookups[] = {
    {"NamesIgnoreAsciiCase", "[00-a0-c9-12-34-56]\nSubnetMask=1\n", "00-A0-C9-12-34-56",
     "SUBNETMASK", "1"},
    {"NonAsciiBytesDoNotFoldCase", "[caf\xE9]\nk=1\n", "CAF\xC9", "k", "<none>"},
    {"SectionNameIsTrimmed", "[ \tname ]\nk=v\n", "name", "k", "v"},
    {"KeyNameIsTrimmed", "[s]\n  \tkey \t= v\n", "s", "key", "v"},
    {"UnclosedHeaderIsIgnored", "[a]\nk=1\n[b\nk2=2\n", "a", "k2", "2"},
    {"TextAfterCloseBracketIsIgnored", "[a] trailing\nk=1\n", "a", "k", "1"},
    {"EmptySectionNameNeverMatches", "[]\nk=1\n", "", "k", "<none>"},
    {"KeysBeforeAnySectionBelongNowhere", "k=1\n[s]\n", "s", "k", "<none>"},
    {"ValueIsAfterTheFirstEquals", "[s]\nk = a=b \n", "s", "k", "a=b"},
    {"SingleQuotesGoSemicolonsStay", "[s]\nk='a; b'\n", "s", "k", "a; b"},
    {"UnmatchedQuoteStays", "[s]\nk=\"ab'\n", "s", "k", "\"ab'"},
    {"LineWithoutEqualsIsNoKey", "[s]\nk\n", "s", "k", "<none>"},
    {"CommentLineIsNeverAKey", "[s]\n;k=1\n", "s", ";k", "<none>"},
    {"FirstDuplicateSectionWins", "[s]\na=1\n[S]\na=2\n", "s", "a", "1"},
    {"FirstDuplicateKeyWinsEvenEmpty", "[s]\nk=\nK=2\n", "s", "k", ""},
    {"CrLfLineEnds", "[s]\r\na=1\r\nb=2\r\n", "s", "b", "2"},
    {"LoneCrLineEnds", "[s]\ra=1\rb=2\r", "s", "a", "1"},
    {"ByteOrderMarkIsSkipped", "\xEF\xBB\xBF[s]\nk=v\n", "s", "k", "v"},
    {"NulBytesStayInsideTheirLine", "[s]\nk=a\0b\nn=2\n"s, "s", "k", "a\0b"s},
    {"ValueIsCutTo254Bytes", "[s]\nk=" + std::string(300, 'v'), "s", "k", k254},
    {"CutHappensAfterQuotesGo", "[s]\nk=\"" + std::string(300, 'v') + "\"", "s", "k", k254},
    {"BlanksTheCutExposesAreTrimmed", "[s]\nk=" + std::string(250, 'v') + "      bbb", "s", "k",
     std::string(250, 'v')},
};

TEST(IniSnapshot, AnswersLikeThePrivateProfileCallAndSoDoesItsSectionView) {
    for (const LookupCase& c : kLookups) {
        SCOPED_TRACE(c.name);
        const auto snapshot = IniSnapshot::Parse(c.text);
        EXPECT_EQ(snapshot.GetIniString(c.section, c.key, "<none>"), c.expected);
        const IniSnapshot::Section section = snapshot.FindSection(c.section);
        EXPECT_EQ(section.Find(c.key) ? std::string(section.Value(c.key)) : "<none>", c.expected);
    }
}

TEST(IniSnapshot, EveryNameOfALargeFileIsFoundAndNoOther) {
    constexpr int kCount = 3000;
    std::string text, bigSection = "[big]\n";
    // Names alternate in letter case, so the probing is exercised along with the folding.
    for (int i = 0; i < kCount; ++i) {
        const std::string n = std::to_string(i);
        text += (i % 2 ? "[client-" : "[CLIENT-") + n + "]\nid=" + n + "\n";
        bigSection += (i % 2 ? "key" : "KEY") + n + "=v" + n + "\n";
    }
    const auto snapshot = IniSnapshot::Parse(text + bigSection);
    EXPECT_EQ(snapshot.SectionCount(), std::size_t{kCount + 1});
    const auto big = snapshot.FindSection("BIG");
    for (int i = 0; i < kCount; ++i) {
        const std::string n = std::to_string(i);
        ASSERT_EQ(big.Find("Key" + n), "v" + n);
        ASSERT_EQ(big.Find("key" + std::to_string(kCount + i)), std::nullopt);
        ASSERT_EQ(snapshot.FindSection("Client-" + n).Value("ID"), n);
    }
    EXPECT_FALSE(snapshot.FindSection("client-" + std::to_string(kCount)).Exists());
}

TEST(IniSnapshot, CopiesAndMovesAnswerOnTheirOwn) {
    // Values are places in the owned text; short texts move by copy, and must not dangle.
    auto original = std::make_unique<IniSnapshot>(IniSnapshot::Parse("[s]\nk=v\n"));
    const IniSnapshot copy = *original;
    IniSnapshot moved;
    moved = std::move(*original);
    original.reset();
    EXPECT_EQ(copy.FindSection("s").Value("k"), "v");
    EXPECT_EQ(moved.GetIniString("s", "k", ""), "v");
}

}  // namespace
}  // namespace tarnleaf
