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

// One separator is added and absolute names stand; roots stay, and dots never climb above them.
TEST(FilePath, JoinsSplitsAndMakesAbsoluteAtOneSeparatorKeepingTheRoot) {
    for (const auto& [got, want] : {std::pair{FilePath(ROOT "opt") / "x", ROOT "opt" SEP "x"},
             {FilePath(ROOT "opt" SEP) / "x", ROOT "opt" SEP "x"}, {FilePath(ROOT) / "x", ROOT "x"},
             {FilePath(ROOT "opt") / ROOT "x", ROOT "x"}, {FilePath() / "x", "x"},
             {AbsolutePath(ROOT "a" SEP "." SEP "b" SEP ".." SEP "x"), ROOT "a" SEP "x"},
             {AbsolutePath(ROOT ".." SEP "x"), ROOT "x"}})
        EXPECT_EQ(got.string(), want);
    for (const auto& [path, parent, name] : {std::tuple{ROOT "bin" SEP "x", ROOT "bin", "x"},
             {ROOT "x", ROOT, "x"}, {"x.ini", "", "x.ini"}, {ROOT "opt" SEP, ROOT "opt", ""}})
        EXPECT_EQ(std::tuple(FilePath(path).parent_path().string(), FilePath(path).filename()),
                  std::tuple(parent, name)) << path;
    EXPECT_TRUE(AbsolutePath(".").is_absolute());
    EXPECT_EQ(AbsolutePath("conf" SEP ".." SEP "x").string(), (AbsolutePath(".") / "x").string());
}

}  // namespace
}  // namespace tarnleaf
