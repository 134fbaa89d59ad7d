#include "config/ConfigFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <random>

namespace tarnleaf {
namespace {

namespace fs = std::filesystem;

std::string Value(const ProfileSource& file) { return file.GetIniString("s", "k", "<none>"); }

// A private folder per test, removed afterwards.
class ConfigFileOnDisk : public ::testing::Test {
protected:
    ConfigFileOnDisk() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        folder_ = fs::temp_directory_path() /
                  ("tarnleaf-config-" + std::string(info->name()) + "-" + std::to_string(now));
        fs::create_directories(folder_);
        path_ = DefaultConfigPath(folder_);
    }
    ~ConfigFileOnDisk() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    static void Write(const fs::path& path, const std::string& text, fs::file_time_type stamp) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        fs::last_write_time(path, stamp);
    }

    fs::path folder_;
    fs::path path_;
};

TEST_F(ConfigFileOnDisk, FileAppearingAndVanishingIsNoticedButAnUnchangedOneIsReadOnce) {
    EXPECT_EQ(DefaultConfigPath(folder_ / ""), folder_ / "Tarnleaf.ini");
    ConfigFile file(path_);
    EXPECT_EQ(Value(file), "<none>");
    Write(path_, "[TestMessage]\nSendPort = BOOTPC \n[s]\nk=1\n", fs::file_time_type::clock::now());
    for (int i = 0; i < 10; ++i) file.Refresh();
    EXPECT_EQ(file.GetIniString("testmessage", "sendport", ""), "BOOTPC");
    EXPECT_EQ(file.ReadCount(), 1);
    fs::remove(path_);
    file.Refresh();
    EXPECT_EQ(Value(file), "<none>");
}

TEST_F(ConfigFileOnDisk, EveryKindOfEditIsSeenAtTheNextRefreshWithoutRestart) {
    // Stamps are set explicitly, so a coarse clock can neither hide an edit nor reveal one
    // that the test means to hide.
    const auto stamp = fs::file_time_type::clock::now() - std::chrono::hours(1);
    Write(path_, "[s]\nk=1\n", stamp);
    ConfigFile file(path_);
    EXPECT_EQ(Value(file), "1") << "read at construction";

    Write(path_, "[s]\nk=2\n", stamp + std::chrono::seconds(2));  // same size, later stamp
    EXPECT_EQ(Value(file), "1") << "a load keeps its snapshot until the next Refresh";
    file.Refresh();
    EXPECT_EQ(Value(file), "2");

    Write(path_, "[s]\nk=345\n", stamp + std::chrono::seconds(2));  // other size, same stamp
    file.Refresh();
    EXPECT_EQ(Value(file), "345");

    const auto saved = folder_ / "Tarnleaf.ini.new";  // saved by rename: same size and stamp
    Write(saved, "[s]\nk=678\n", stamp + std::chrono::seconds(2));
    fs::rename(saved, path_);
    file.Refresh();
    EXPECT_EQ(Value(file), "678");
}

TEST_F(ConfigFileOnDisk, FiftyMegabytesOfBinaryGarbageAreReadWithoutHarm) {
    std::string text(50u << 20, '\0');
    std::mt19937 random(7);
    std::generate(text.begin(), text.end(), [&] { return static_cast<char>(random()); });
    Write(path_, text + "\n[00-A0-C9-12-34-56]\nbf=boot.img\n", fs::file_time_type::clock::now());
    text = {};
    const ConfigFile file(path_);
    EXPECT_EQ(file.GetIniString("00-a0-c9-12-34-56", "BF", ""), "boot.img");
}

// A file in memory that can change, vanish or be locked while it is read.
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

class ConfigFileReading : public ::testing::Test {
protected:
    ConfigFileReading() { files->Set("[s]\nk=1\n", 1); }
    std::shared_ptr<ScriptedFiles> files = std::make_shared<ScriptedFiles>();
};

TEST_F(ConfigFileReading, RewriteDuringTheReadIsReadAgainOnce) {
    int rewrites = 0;
    files->duringRead = [&] {
        if (rewrites++ == 0) files->Set("[s]\nk=new\n", 2);
    };
    ConfigFile file("Tarnleaf.ini", files);
    EXPECT_EQ(Value(file), "new");
    file.Refresh();
    EXPECT_EQ(files->reads, 2) << "the settled state is not read a third time";
}

TEST_F(ConfigFileReading, ContentOfAnotherSizeThanClaimedIsReadAgain) {
    files->identity->size += 3;  // a write still under way when the size was taken
    const ConfigFile file("Tarnleaf.ini", files);
    EXPECT_GT(files->reads, 1);
    EXPECT_EQ(Value(file), "1");
}

TEST_F(ConfigFileReading, FileThatNeverSettlesIsReadABoundedNumberOfTimesThenAgainNextTime) {
    std::int64_t stamp = 1;
    files->duringRead = [&] { ++stamp, files->Set("[s]\nk=" + std::to_string(stamp), stamp); };
    ConfigFile file("Tarnleaf.ini", files);
    EXPECT_EQ(files->reads, ConfigFile::kMaxReadAttempts);
    EXPECT_NE(Value(file), "<none>") << "the last read is used";
    files->duringRead = nullptr;
    file.Refresh();
    EXPECT_EQ(files->reads, ConfigFile::kMaxReadAttempts + 1);
    EXPECT_EQ(Value(file), std::to_string(stamp));
}

TEST_F(ConfigFileReading, VanishingOversizedOrLockedFileReadsAsMissing) {
    files->duringRead = [&] { files->identity.reset(); };
    EXPECT_EQ(Value(ConfigFile("Tarnleaf.ini", files)), "<none>") << "vanished during the read";

    files->Set("[s]\nk=1\n", 1);
    files->duringRead = nullptr;
    files->identity->size = ConfigFile::kMaxFileBytes + 1;
    files->reads = 0;
    EXPECT_EQ(Value(ConfigFile("Tarnleaf.ini", files)), "<none>") << "oversized";
    EXPECT_EQ(files->reads, 0) << "an oversized file is not taken into memory";
}

TEST_F(ConfigFileReading, LockedFileIsTriedAgainAtEveryRefreshUntilItReads) {
    files->unreadable = true;
    ConfigFile file("Tarnleaf.ini", files);
    EXPECT_EQ(Value(file), "<none>");
    files->unreadable = false;  // the lock is gone; the file itself did not change
    file.Refresh();
    EXPECT_EQ(Value(file), "1");
    file.Refresh();
    EXPECT_EQ(files->reads, 2);
}

}  // namespace
}  // namespace tarnleaf
