#include "FilePath.h"

#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

#ifdef _WIN32
#define ROOT "C:\\"
#define SEP "\\"
#else
#define ROOT "/"
#define SEP "/"
#endif

TEST(FilePath, JoiningAddsOneSeparatorAndAnAbsoluteNameStandsAsItIs) {
    const std::pair<FilePath, FilePath> cases[] = {
        {FilePath(ROOT "opt") / "Tarnleaf.ini", ROOT "opt" SEP "Tarnleaf.ini"},
        {FilePath(ROOT "opt" SEP) / "Tarnleaf.ini", ROOT "opt" SEP "Tarnleaf.ini"},
        {FilePath(ROOT) / "x.ini", ROOT "x.ini"},
        {FilePath(ROOT "opt") / ROOT "etc" SEP "x.ini", ROOT "etc" SEP "x.ini"},
        {FilePath() / "x.ini", "x.ini"}};
    for (const auto& [got, want] : cases) EXPECT_EQ(got.string(), want.string());
}

TEST(FilePath, ParentAndNameSplitAtTheLastSeparatorAndKeepTheRoot) {
    const std::tuple<FilePath, const char*, const char*> cases[] = {
        {ROOT "usr" SEP "bin" SEP "tarnleafd", ROOT "usr" SEP "bin", "tarnleafd"},
        {ROOT "tarnleafd", ROOT, "tarnleafd"},
        {"Tarnleaf.ini", "", "Tarnleaf.ini"},
        {ROOT "opt" SEP, ROOT "opt", ""}};
    for (const auto& [path, parent, name] : cases) {
        EXPECT_EQ(path.parent_path().string(), parent) << path.string();
        EXPECT_EQ(path.filename(), name) << path.string();
    }
}

TEST(FilePath, AbsolutePathTakesDotsOutAsTextAndNeverClimbsAboveTheRoot) {
    EXPECT_EQ(AbsolutePath(ROOT "a" SEP "." SEP "b" SEP ".." SEP "c.ini").string(),
              ROOT "a" SEP "c.ini");
    EXPECT_EQ(AbsolutePath(ROOT ".." SEP "c.ini").string(), ROOT "c.ini");
    const FilePath relative = AbsolutePath("conf" SEP ".." SEP "site.ini");
    EXPECT_TRUE(relative.is_absolute()) << relative.string();
    EXPECT_EQ(relative.filename(), "site.ini");
    EXPECT_EQ(relative.parent_path(), AbsolutePath("."));
}

}  // namespace
}  // namespace tarnleaf
