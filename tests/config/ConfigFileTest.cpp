#include "ConfigFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <random>
#include <tuple>

#include "ProfileLoader.h"

namespace tarnleaf {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

std::string Value(const ProfileSource& file) { return file.GetIniString("s", "k", "<none>"); }

fs::path PrivateFolder() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    auto folder = fs::temp_directory_path() / ("tarnleaf-config-" + std::to_string(now));
    fs::create_directories(folder);
    return folder;
}

// A private folder per test, removed afterwards.
class ConfigFileOnDisk : public ::testing::Test {
protected:
    ~ConfigFileOnDisk() override { fs::remove_all(folder_, ignored_); }
    static void Write(const fs::path& path, const std::string& text, fs::file_time_type stamp) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        fs::last_write_time(path, stamp);
    }

    const fs::path folder_ = PrivateFolder();
    const fs::path path_ = folder_ / "Tarnleaf.ini";
    std::error_code ignored_;
};

TEST_F(ConfigFileOnDisk, EveryChangeOfTheFileCountsFromTheNextRefreshOnAndNoneElse) {
    EXPECT_EQ(DefaultConfigPath(folder_ / ""), folder_ / "Tarnleaf.ini");
    ConfigFile file(path_);
    EXPECT_EQ(Value(file), "<none>");
    // Stamps are set explicitly, so a coarse clock can neither hide an edit nor fake one.
    const auto stamp = fs::file_time_type::clock::now() - std::chrono::hours(1);
    Write(path_, "[S]\nK=1\n", stamp);
    for (int i = 0; i < 10; ++i) file.Refresh();
    EXPECT_EQ(Value(file), "1");
    EXPECT_EQ(file.ReadCount(), 1) << "an unchanged file is not read again";

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
    fs::remove(path_);
    file.Refresh();
    EXPECT_EQ(Value(file), "<none>");
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

// The example configuration shipped with the program gives what its comments promise.
TEST(ExampleConfig, ClientAndTestMessageProfilesLoad) {
    const ConfigFile file(TARNLEAF_EXAMPLE_INI);
    const auto load = [&](const char* section) {
        BootpMessage message;
        LoadProfile(file, section, message);
        return message;
    };
    const BootpMessage netboot = load("00-A0-C9-12-34-56");
    EXPECT_EQ(std::tie(netboot.file, netboot.yiaddr, netboot.options[4]),
              std::tuple("pxelinux.0", "192.168.0.50", 1));  // 1: the subnet mask first
    EXPECT_EQ(netboot.options.size(), 340u);
    // The file has this one in lower case; its free option closes the area.
    const BootpMessage thin = load("00-A0-C9-AB-CD-EF");
    EXPECT_EQ(std::tie(thin.file, thin.sname),
              std::tuple("/tftpboot/thin/kernel.img", "bootserver"));
    const Bytes last{150, 4, 192, 168, 0, 10, 255, 0};
    EXPECT_NE(std::search(thin.options.begin(), thin.options.end(), last.begin(), last.end()),
              thin.options.end());
    EXPECT_EQ(file.GetIniString("TestMessage", "SendPort", ""), "BOOTPS");
    const BootpMessage test = load("TestMessage");
    EXPECT_EQ(std::tie(test.op, test.siaddr, test.options[4], test.options[6]),
              std::tuple(1, "127.0.0.1", 53, 1));  // a DHCPDISCOVER
}

// A file in memory that can change, vanish or be locked while it is read.
struct ScriptedFiles final : FileAccess {
    ScriptedFiles() { Set("[s]\nk=1\n", 1); }

    std::optional<FileIdentity> identity;
    std::string content;
    std::function<void()> duringRead;  // runs inside ReadAll, after the content is taken
    bool locked = false;
    mutable int reads = 0;

    std::optional<FileIdentity> Identify(const FilePath&) const override { return identity; }
    std::optional<std::string> ReadAll(const FilePath&, std::uintmax_t) const override {
        ++reads;
        if (!identity || locked) return std::nullopt;
        std::string taken = content;
        if (duringRead) duringRead();
        return taken;
    }
    void Set(std::string text, std::int64_t stamp) {
        content = std::move(text);
        identity = FileIdentity{content.size(), stamp, stamp, 1, 1};
    }
};

TEST(ConfigFileReading, RewriteDuringTheReadIsReadAgainUntilItSettles) {
    auto files = std::make_shared<ScriptedFiles>();
    int rewrites = 0;
    files->duringRead = [&] {
        if (rewrites++ == 0) files->Set("[s]\nk=new\n", 2);
    };
    ConfigFile file("Tarnleaf.ini", files);
    EXPECT_EQ(Value(file), "new");
    file.Refresh();
    EXPECT_EQ(files->reads, 2) << "the settled state is not read a third time";
}

TEST(ConfigFileReading, ContentOfAnotherSizeThanClaimedIsReadAgainUpToTheBound) {
    auto files = std::make_shared<ScriptedFiles>();
    files->identity->size += 3;  // a write still under way when the size was taken
    EXPECT_EQ(Value(ConfigFile("Tarnleaf.ini", files)), "1");
    EXPECT_EQ(files->reads, ConfigFile::kMaxReadAttempts);
}

TEST(ConfigFileReading, FileThatNeverSettlesIsReadABoundedNumberOfTimesThenAgainNextTime) {
    auto files = std::make_shared<ScriptedFiles>();
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

TEST(ConfigFileReading, VanishingOrOversizedFileReadsAsMissing) {
    auto files = std::make_shared<ScriptedFiles>();
    files->duringRead = [&] { files->identity.reset(); };
    EXPECT_EQ(Value(ConfigFile("Tarnleaf.ini", files)), "<none>") << "vanished during the read";
    files = std::make_shared<ScriptedFiles>();
    files->identity->size = ConfigFile::kMaxFileBytes + 1;
    EXPECT_EQ(Value(ConfigFile("Tarnleaf.ini", files)), "<none>");
    EXPECT_EQ(files->reads, 0) << "an oversized file is not taken into memory";
}

TEST(ConfigFileReading, LockedFileIsTriedAgainAtEveryRefreshUntilItReads) {
    auto files = std::make_shared<ScriptedFiles>();
    files->locked = true;
    ConfigFile file("Tarnleaf.ini", files);
    EXPECT_EQ(Value(file), "<none>");
    files->locked = false;  // the file itself did not change
    file.Refresh();
    EXPECT_EQ(Value(file), "1");
    file.Refresh();
    EXPECT_EQ(files->reads, 2);
}

}  // namespace
}  // namespace tarnleaf
