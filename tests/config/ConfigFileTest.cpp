#include "config/ConfigFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <random>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace tarnleaf {
namespace {

namespace fs = std::filesystem;

// A private folder per test, removed afterwards.
class ConfigFileOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = fs::temp_directory_path() /
                  ("tarnleaf-config-" + std::string(info->name()) + "-" +
                   std::to_string(Pid()) + "-" + std::to_string(++counter));
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        path_ = DefaultConfigPath(folder_);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    static long Pid() {
#ifdef _WIN32
        return 0;
#else
        return static_cast<long>(::getpid());
#endif
    }

    void Write(const fs::path& path, const std::string& text) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << text;
    }
    void Write(const std::string& text) { Write(path_, text); }

    fs::path folder_;
    fs::path path_;
};

TEST_F(ConfigFileOnDisk, PathIsTheIniFileInTheProgramFolder) {
    EXPECT_EQ(path_.filename(), "Tarnleaf.ini");
    EXPECT_EQ(path_.parent_path(), folder_);
    // A folder that already ends in a separator gets no second one.
    EXPECT_EQ(DefaultConfigPath(folder_ / ""), path_);
}

TEST_F(ConfigFileOnDisk, ReadsTheFileOnConstruction) {
    Write("[TestMessage]\nSendPort = BOOTPC \n");
    const ConfigFile file(path_);
    EXPECT_EQ(file.GetIniString("testmessage", "sendport", ""), "BOOTPC");
    EXPECT_EQ(file.Path(), path_);
}

TEST_F(ConfigFileOnDisk, MissingFileGivesTheDefaultEverywhere) {
    ConfigFile file(path_);
    file.Refresh();
    EXPECT_EQ(file.GetIniString("TestMessage", "SendPort", ""), "");
    EXPECT_EQ(file.GetIniString("TestMessage", "SendPort", "67"), "67");
    EXPECT_EQ(file.ReadCount(), 0);
}

TEST_F(ConfigFileOnDisk, EditIsSeenAtTheNextRefreshWithoutRestart) {
    Write("[s]\nk=1\n");
    ConfigFile file(path_);
    EXPECT_EQ(file.GetIniString("s", "k", ""), "1");

    // Same size, and a time stamp set apart explicitly so coarse clocks cannot hide it.
    const auto before = fs::last_write_time(path_);
    Write("[s]\nk=2\n");
    fs::last_write_time(path_, before + std::chrono::seconds(2));
    EXPECT_EQ(file.GetIniString("s", "k", ""), "1") << "a load keeps its snapshot";
    file.Refresh();
    EXPECT_EQ(file.GetIniString("s", "k", ""), "2");
}

TEST_F(ConfigFileOnDisk, EditChangingTheSizeIsSeenEvenWithTheSameTimeStamp) {
    Write("[s]\nk=1\n");
    ConfigFile file(path_);
    const auto stamp = fs::last_write_time(path_);
    Write("[s]\nk=12345\n");
    fs::last_write_time(path_, stamp);
    file.Refresh();
    EXPECT_EQ(file.GetIniString("s", "k", ""), "12345");
}

TEST_F(ConfigFileOnDisk, SaveByRenameIsSeenEvenWithTheSameSizeAndTimeStamp) {
    Write("[s]\nk=1\n");
    ConfigFile file(path_);
    const auto stamp = fs::last_write_time(path_);
    const auto temporary = folder_ / "Tarnleaf.ini.new";
    Write(temporary, "[s]\nk=2\n");
    fs::last_write_time(temporary, stamp);
    fs::rename(temporary, path_);
    file.Refresh();
    EXPECT_EQ(file.GetIniString("s", "k", ""), "2");
}

TEST_F(ConfigFileOnDisk, UnchangedFileIsNotReadAgain) {
    Write("[s]\nk=1\n");
    ConfigFile file(path_);
    for (int i = 0; i < 10; ++i) file.Refresh();
    EXPECT_EQ(file.ReadCount(), 1);
}

TEST_F(ConfigFileOnDisk, FileCreatedOrDeletedLaterIsNoticed) {
    ConfigFile file(path_);
    Write("[s]\nk=1\n");
    file.Refresh();
    EXPECT_EQ(file.GetIniString("s", "k", ""), "1");
    fs::remove(path_);
    file.Refresh();
    EXPECT_EQ(file.GetIniString("s", "k", ""), "");
}

TEST_F(ConfigFileOnDisk, FiftyMegabytesOfGarbageAreReadWithoutHarm) {
    std::string text;
    text.reserve(50u * 1024 * 1024 + 64);
    std::mt19937 random(7);
    while (text.size() < 50u * 1024 * 1024) {
        const auto word = random();
        for (int i = 0; i < 4; ++i) text.push_back(static_cast<char>(word >> (8 * i)));
    }
    text += "\n[00-A0-C9-12-34-56]\nbf=boot.img\n";
    Write(text);
    text.clear();
    text.shrink_to_fit();

    ConfigFile file(path_);
    EXPECT_EQ(file.GetIniString("00-a0-c9-12-34-56", "BF", ""), "boot.img");
    fs::remove(path_);
}

// A file system in memory whose file can change while it is being read.
class ScriptedFiles final : public FileAccess {
public:
    std::optional<FileIdentity> identity;
    std::string content;
    std::function<void()> duringRead;  // runs inside ReadAll, after the content is taken
    bool unreadable = false;
    mutable int reads = 0;

    std::optional<FileIdentity> Identify(const fs::path&) const override { return identity; }
    std::optional<std::string> ReadAll(const fs::path&, std::uintmax_t maxBytes) const override {
        ++reads;
        if (!identity || unreadable || content.size() > maxBytes) return std::nullopt;
        std::string taken = content;
        if (duringRead) duringRead();
        return taken;
    }

    void Set(std::string text, std::int64_t stamp) {
        content = std::move(text);
        identity = FileIdentity{content.size(), stamp, stamp, 1, 1};
    }
};

TEST(ConfigFileReading, RewriteDuringTheReadIsReadAgain) {
    auto files = std::make_shared<ScriptedFiles>();
    files->Set("[s]\nk=old\n", 1);
    int rewrites = 0;
    files->duringRead = [&] {
        if (rewrites++ == 0) files->Set("[s]\nk=new\n", 2);
    };
    ConfigFile file("Tarnleaf.ini", files);
    EXPECT_EQ(file.GetIniString("s", "k", ""), "new");
    EXPECT_EQ(files->reads, 2);
    file.Refresh();
    EXPECT_EQ(files->reads, 2) << "the settled state is not read a third time";
}

TEST(ConfigFileReading, ContentOfAnotherSizeThanClaimedIsReadAgain) {
    auto files = std::make_shared<ScriptedFiles>();
    files->Set("[s]\nk=1\n", 1);
    files->identity->size += 3;  // a write still under way when the size was taken
    int calls = 0;
    files->duringRead = [&] {
        if (calls++ == 0) return;
        files->identity->size = files->content.size();
    };
    const ConfigFile file("Tarnleaf.ini", files);
    EXPECT_GE(files->reads, 2);
    EXPECT_EQ(file.GetIniString("s", "k", ""), "1");
}

TEST(ConfigFileReading, FileThatNeverSettlesIsReadABoundedNumberOfTimes) {
    auto files = std::make_shared<ScriptedFiles>();
    std::int64_t stamp = 1;
    files->Set("[s]\nk=1\n", stamp);
    files->duringRead = [&] {
        ++stamp;
        files->Set("[s]\nk=" + std::to_string(stamp) + "\n", stamp);
    };
    ConfigFile file("Tarnleaf.ini", files);
    EXPECT_EQ(files->reads, ConfigFile::kMaxReadAttempts);
    EXPECT_FALSE(file.GetIniString("s", "k", "").empty()) << "the last read is used";

    // Still unsettled, so the next message reads the file again.
    files->duringRead = nullptr;
    file.Refresh();
    EXPECT_EQ(files->reads, ConfigFile::kMaxReadAttempts + 1);
    EXPECT_EQ(file.GetIniString("s", "k", ""), std::to_string(stamp));
}

TEST(ConfigFileReading, FileVanishingDuringTheReadGivesNoValues) {
    auto files = std::make_shared<ScriptedFiles>();
    files->Set("[s]\nk=1\n", 1);
    files->duringRead = [&] { files->identity.reset(); };
    const ConfigFile file("Tarnleaf.ini", files);
    EXPECT_EQ(file.GetIniString("s", "k", "d"), "d");
}

TEST(ConfigFileReading, OversizedFileIsNotTakenIntoMemory) {
    auto files = std::make_shared<ScriptedFiles>();
    files->Set("[s]\nk=1\n", 1);
    files->identity->size = ConfigFile::kMaxFileBytes + 1;
    ConfigFile file("Tarnleaf.ini", files);
    file.Refresh();
    EXPECT_EQ(files->reads, 0);
    EXPECT_EQ(file.GetIniString("s", "k", "d"), "d");
}

TEST(ConfigFileReading, UnreadableFileReadsAsMissingAndIsTriedAgainNextTime) {
    auto files = std::make_shared<ScriptedFiles>();
    files->Set("[s]\nk=1\n", 1);
    files->unreadable = true;
    ConfigFile file("Tarnleaf.ini", files);
    EXPECT_EQ(file.GetIniString("s", "k", "d"), "d");
    files->unreadable = false;  // the lock is gone; the file itself did not change
    file.Refresh();
    EXPECT_EQ(file.GetIniString("s", "k", "d"), "1");
    file.Refresh();
    EXPECT_EQ(files->reads, 2);
}

}  // namespace
}  // namespace tarnleaf
