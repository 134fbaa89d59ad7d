#include "config/IniSnapshot.h"

#include <gtest/gtest.h>

#include "config/CaseName.h"

#include <cctype>
#include <memory>
#include <string>

namespace tarnleaf {
namespace {

struct LookupCase {
    const char* name;
    std::string text;
    std::string section;
    std::string key;
    std::string expected;  // what GetIniString answers with the default "<none>"
};

class IniSnapshotLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(IniSnapshotLookup, AnswersLikeThePrivateProfileCall) {
    const auto& c = GetParam();
    const auto snapshot = IniSnapshot::Parse(c.text);
    EXPECT_EQ(snapshot.GetIniString(c.section, c.key, "<none>"), c.expected);
}

TEST_P(IniSnapshotLookup, ReadThroughItsSectionGivesTheSameAnswer) {
    const auto& c = GetParam();
    const auto snapshot = IniSnapshot::Parse(c.text);
    const IniSnapshot::Section section = snapshot.FindSection(c.section);
    const std::string answer =
        section.Find(c.key) ? std::string(section.Value(c.key)) : std::string("<none>");
    EXPECT_EQ(answer, c.expected);
}

const std::string k254(254, 'v');

INSTANTIATE_TEST_SUITE_P(
    Behaviours, IniSnapshotLookup,
    ::testing::Values(
        LookupCase{"SectionNameIgnoresCase", "[00-a0-c9-12-34-56]\nbf=x\n",
                   "00-A0-C9-12-34-56", "bf", "x"},
        LookupCase{"KeyNameIgnoresCase", "[s]\nSubnetMask=1\n", "s", "SUBNETMASK", "1"},
        LookupCase{"BlanksInsideBracketsAreTrimmed", "[ \tname ]\nk=v\n", "name", "k", "v"},
        LookupCase{"HeaderWithoutCloseBracketIsIgnored", "[a]\nk=1\n[b\nk2=2\n", "a", "k2",
                   "2"},
        LookupCase{"HeaderWithoutCloseBracketIsNoSection", "[b\nk=2\n", "b", "k", "<none>"},
        LookupCase{"TextAfterCloseBracketIsIgnored", "[a] trailing\nk=1\n", "a", "k", "1"},
        LookupCase{"ValueIsAfterTheFirstEquals", "[s]\nk = a=b \n", "s", "k", "a=b"},
        LookupCase{"KeyNameIsTrimmed", "[s]\n  \tkey \t= v\n", "s", "key", "v"},
        LookupCase{"DoubleQuotesAreRemoved", "[s]\nk=\"a b\"\n", "s", "k", "a b"},
        LookupCase{"SingleQuotesAreRemoved", "[s]\nk='a;b'\n", "s", "k", "a;b"},
        LookupCase{"UnmatchedQuoteStays", "[s]\nk=\"ab'\n", "s", "k", "\"ab'"},
        LookupCase{"QuotedBlanksAreTrimmedByTheReader", "[s]\nk=\"  x  \"\n", "s", "k", "x"},
        LookupCase{"SemicolonInsideValueIsKept", "[s]\nk=a ; b\n", "s", "k", "a ; b"},
        LookupCase{"LineWithoutEqualsIsNoKey", "[s]\nk\n", "s", "k", "<none>"},
        LookupCase{"CommentLineIsNeverAKey", "[s]\n;k=1\n", "s", ";k", "<none>"},
        LookupCase{"FirstDuplicateSectionWins", "[s]\na=1\n[S]\na=2\nb=3\n", "s", "a", "1"},
        LookupCase{"DuplicateSectionIsNotMerged", "[s]\na=1\n[S]\nb=3\n", "s", "b", "<none>"},
        LookupCase{"FirstDuplicateKeyWins", "[s]\nk=1\nK=2\n", "s", "k", "1"},
        LookupCase{"EmptyFirstDuplicateStillWins", "[s]\nk=\nk=2\n", "s", "k", ""},
        LookupCase{"CrLfLineEnds", "[s]\r\na=1\r\nb=2\r\n", "s", "b", "2"},
        LookupCase{"LoneCrLineEnds", "[s]\ra=1\rb=2\r", "s", "a", "1"},
        LookupCase{"ByteOrderMarkIsSkipped", "\xEF\xBB\xBF[s]\nk=v\n", "s", "k", "v"},
        LookupCase{"KeysBeforeAnySectionBelongNowhere", "k=1\n[s]\n", "s", "k", "<none>"},
        LookupCase{"MissingSectionGivesDefault", "[s]\nk=1\n", "t", "k", "<none>"},
        LookupCase{"EmptyValueIsEmptyNotDefault", "[s]\nk=\n", "s", "k", ""},
        LookupCase{"EmptySectionNameNeverMatches", "[]\nk=1\n", "", "k", "<none>"},
        LookupCase{"ValueIsCutTo254Bytes", "[s]\nk=" + std::string(300, 'v') + "\n", "s", "k",
                   k254},
        LookupCase{"CutHappensAfterQuotesGo", "[s]\nk=\"" + std::string(300, 'v') + "\"\n", "s",
                   "k", k254},
        LookupCase{"NonAsciiNamesMatchByteForByte", "[caf\xE9]\nk=1\n", "caf\xE9", "k", "1"},
        LookupCase{"NonAsciiBytesDoNotFoldCase", "[caf\xE9]\nk=1\n", "CAF\xC9", "k",
                   "<none>"}),
    CaseName());

// The name of entry `i` of a large table: spread over upper and lower case, so matching
// without regard to case is exercised along with the probing.
std::string NumberedName(const char* prefix, int i) {
    std::string name = prefix + std::to_string(i);
    if (i % 2 == 0) {
        for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return name;
}

TEST(IniSnapshot, EveryKeyOfALargeSectionIsFoundAndNoOther) {
    constexpr int kKeys = 3000;
    std::string text = "[big]\n";
    for (int i = 0; i < kKeys; ++i) text += NumberedName("key", i) + "=v" + std::to_string(i) + "\n";
    const auto snapshot = IniSnapshot::Parse(text);
    const auto section = snapshot.FindSection("BIG");
    ASSERT_TRUE(section.Exists());
    for (int i = 0; i < kKeys; ++i) {
        const std::string key = "Key" + std::to_string(i);
        ASSERT_EQ(section.Find(key), "v" + std::to_string(i)) << key;
    }
    for (int i = kKeys; i < 2 * kKeys; ++i) {
        ASSERT_EQ(section.Find("key" + std::to_string(i)), std::nullopt) << i;
    }
}

TEST(IniSnapshot, EverySectionOfALargeFileIsFoundAndNoOther) {
    constexpr int kSections = 5000;
    std::string text;
    for (int i = 0; i < kSections; ++i) {
        text += "[" + NumberedName("client-", i) + "]\nid=" + std::to_string(i) + "\n";
    }
    const auto snapshot = IniSnapshot::Parse(text);
    EXPECT_EQ(snapshot.SectionCount(), std::size_t{kSections});
    for (int i = 0; i < kSections; ++i) {
        const std::string name = "Client-" + std::to_string(i);
        ASSERT_EQ(snapshot.FindSection(name).Value("ID"), std::to_string(i)) << name;
    }
    EXPECT_FALSE(snapshot.FindSection("client-" + std::to_string(kSections)).Exists());
}

TEST(IniSnapshot, RepeatedSectionsCountOnce) {
    const auto snapshot = IniSnapshot::Parse("[a]\n[b]\n[A]\nk=1\n[b]\n");
    EXPECT_EQ(snapshot.SectionCount(), 2u);
    EXPECT_EQ(snapshot.FindSection("a").Find("k"), std::nullopt);
}

TEST(IniSnapshot, MissingSectionReadsEveryKeyAsMissing) {
    const auto snapshot = IniSnapshot::Parse("[s]\nk=1\n");
    for (const IniSnapshot::Section& section :
         {snapshot.FindSection("t"), snapshot.FindSection(""), IniSnapshot::Section(),
          IniSnapshot().FindSection("s")}) {
        EXPECT_FALSE(section.Exists());
        EXPECT_EQ(section.Find("k"), std::nullopt);
        EXPECT_EQ(section.Value("k"), "");
    }
}

TEST(IniSnapshot, CopyAnswersOnItsOwn) {
    auto original = std::make_unique<IniSnapshot>(IniSnapshot::Parse("[s]\nk=v\n"));
    const IniSnapshot copy = *original;
    original.reset();
    EXPECT_EQ(copy.FindSection("s").Value("k"), "v");
}

TEST(IniKey, HashIgnoresAsciiCaseOnly) {
    static_assert(IniKey("SubnetMask").Hash() == IniKey("SUBNETMASK").Hash());
    static_assert(IniKey("SubnetMask").Hash() == FoldedNameHash("subnetmask"));
    EXPECT_EQ(IniKey(std::string("Custom10")).Hash(), IniKey("cUSTOM10").Hash());
    EXPECT_NE(IniKey("caf\xE9").Hash(), IniKey("CAF\xC9").Hash());
    EXPECT_TRUE(IniKey().empty());
}

TEST(IniSnapshot, DefaultIsTrimmedAndCutLikeAValue) {
    const IniSnapshot empty;
    EXPECT_EQ(empty.GetIniString("s", "k", "  d  "), "d");
    EXPECT_EQ(empty.GetIniString("s", "k", std::string(300, 'd')), std::string(254, 'd'));
}

TEST(IniSnapshot, SpacesCutInAfterTheLengthLimit) {
    // The 254-byte cut comes first, so blanks it exposes at the end are trimmed.
    const std::string value = std::string(250, 'a') + "      bbb";
    const auto snapshot = IniSnapshot::Parse("[s]\nk=" + value + "\n");
    EXPECT_EQ(snapshot.GetIniString("s", "k", ""), std::string(250, 'a'));
}

TEST(IniSnapshot, SurvivesAMoveWithShortValues) {
    // Values live as places in the owned text; a move must not leave them dangling.
    auto first = IniSnapshot::Parse("[s]\nk=v\n");
    IniSnapshot moved = std::move(first);
    IniSnapshot assigned;
    assigned = std::move(moved);
    EXPECT_EQ(assigned.GetIniString("s", "k", ""), "v");
}

TEST(IniSnapshot, BinaryGarbageParsesWithoutHarm) {
    std::string garbage;
    std::uint32_t state = 12345;
    for (int i = 0; i < 200000; ++i) {
        state = state * 1103515245u + 12345u;
        garbage.push_back(static_cast<char>(state >> 24));
    }
    garbage += "\n[real]\nk=found\n";
    const auto snapshot = IniSnapshot::Parse(garbage);
    EXPECT_EQ(snapshot.GetIniString("real", "k", ""), "found");
}

TEST(IniSnapshot, EmbeddedNulBytesStayInsideTheirLine) {
    const std::string text("[s]\nk=a\0b\nn=2\n", 14);
    const auto snapshot = IniSnapshot::Parse(text);
    EXPECT_EQ(snapshot.GetIniString("s", "k", ""), std::string("a\0b", 3));
    EXPECT_EQ(snapshot.GetIniString("s", "n", ""), "2");
}

}  // namespace
}  // namespace tarnleaf
