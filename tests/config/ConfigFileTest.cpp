#include "ConfigFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <random>
#include <tuple>
#include <utility>

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

TEST_F(ConfigFileOnDisk, GarbageIsReadWithoutHarmAndAFolderOrOversizeIsAFault) {
    std::string text(8u << 20, '\0');
    std::mt19937 random(7);
    std::generate(text.begin(), text.end(), [&] { return static_cast<char>(random()); });
    Write(path_, text + "\n[00-A0-C9-12-34-56]\nbf=boot.img\n", fs::file_time_type::clock::now());
    ConfigFile file(path_);
    EXPECT_EQ(file.GetIniString("00-a0-c9-12-34-56", "BF", ""), "boot.img");
    EXPECT_FALSE(file.TakeReadFault());

    fs::resize_file(path_, ConfigFile::kMaxFileBytes + 1);
    file.Refresh();
    EXPECT_EQ(file.GetIniString("00-a0-c9-12-34-56", "BF", ""), "boot.img")
        << "an oversized file leaves the last complete reading";
    const auto fault = file.TakeReadFault();
    ASSERT_TRUE(fault);
    EXPECT_EQ(fault->file, path_.string());
    EXPECT_EQ(fault->reason, "too large: 16777217 bytes, at most 16777216 are read");
    fs::remove(path_);
    fs::create_directory(path_);
    file.Refresh();
    EXPECT_EQ(file.TakeReadFault()->reason, "not a file (a folder?)");
    EXPECT_EQ(file.GetIniString("00-a0-c9-12-34-56", "BF", "<none>"), "<none>");
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

// A file in memory that can change, vanish or fail to read while it is read.
struct ScriptedFiles final : FileAccess {
    ScriptedFiles() { Set("[s]\nk=1\n", 1); }

    std::optional<FileIdentity> identity;
    std::string content;
    std::optional<FileFault> fault;    // what every read fails with
    std::function<void()> duringRead;  // runs inside ReadAll, after the content is taken
    mutable int reads = 0;
    mutable int identifies = 0;

    std::optional<FileIdentity> Identify(const FilePath&) const override {
        ++identifies;
        return identity;
    }
    Result<std::string, FileReadError> ReadAll(const FilePath&,
                                               std::uintmax_t maxBytes) const override {
        ++reads;
        EXPECT_EQ(maxBytes, 16u << 20);
        using R = Result<std::string, FileReadError>;
        if (fault || !identity) return R::Fail({fault.value_or(FileFault::Missing), "detail"});
        std::string taken = content;
        if (duringRead) duringRead();
        return R::Ok(std::move(taken));
    }
    void Set(std::string text, std::int64_t stamp) {
        content = std::move(text);
        identity = FileIdentity{content.size(), stamp, stamp, 1, 1};
    }
};

// The platform's change notification, scripted. The wait runs `onWait` (the writer going
// on, or finishing) and reports whether a writer is left.
struct ScriptedWatcher final : FileChangeWatcher {
    bool changed = false;
    bool writing = false;
    bool watching = true;
    std::function<void()> onWait;
    int waits = 0;

    bool ChangedSinceLastAsked() override { return std::exchange(changed, false); }
    bool WriterActive() override { return writing; }
    bool AwaitNoWriter(std::chrono::milliseconds limit) override {
        ++waits;
        EXPECT_LE(limit.count(), 100);
        if (onWait) onWait();
        return !writing;
    }
    bool Watching() const override { return watching; }
};

class WatchedConfigFile : public ::testing::Test {
protected:
    // An editor's save in place: the file truncated, the write still open.
    void Truncate() {
        files->Set("", 2);
        watcher->changed = watcher->writing = true;
    }
    void FinishWrite(std::string text) {
        files->Set(std::move(text), 3);
        watcher->writing = false;
        watcher->changed = true;
    }

    std::shared_ptr<ScriptedFiles> files = std::make_shared<ScriptedFiles>();
    ScriptedWatcher* watcher = new ScriptedWatcher;
    ConfigFile file{"Tarnleaf.ini", files, std::unique_ptr<FileChangeWatcher>(watcher)};
};

TEST_F(WatchedConfigFile, UnchangedFileIsNeitherReadNorAskedAbout) {
    for (int i = 0; i < 10; ++i) file.Refresh();
    EXPECT_EQ(Value(file), "1");
    EXPECT_EQ(std::tie(files->reads, files->identifies), std::tuple(1, 0));
}

TEST_F(WatchedConfigFile, RewriteInPlaceIsWaitedForAndOnlyTheWholeFileUsed) {
    Truncate();
    watcher->onWait = [&] { FinishWrite("[s]\nk=2\n"); };
    file.Refresh();
    EXPECT_EQ(Value(file), "2");
    EXPECT_EQ(std::tie(watcher->waits, files->reads), std::tuple(1, 2));
}

TEST_F(WatchedConfigFile, WriterOutlastingTheWaitLeavesTheLastCompleteReadingUntilDone) {
    Truncate();
    file.Refresh();
    file.Refresh();
    EXPECT_EQ(Value(file), "1");
    EXPECT_EQ(watcher->waits, 1) << "one bounded wait per write, not one per message";
    FinishWrite("[s]\nk=3\n");
    file.Refresh();
    EXPECT_EQ(Value(file), "3");
}

TEST_F(WatchedConfigFile, WriterAtItAgainAfterTheWaitIsNotWaitedForTwice) {
    Truncate();
    watcher->onWait = [&] { FinishWrite("[s]\nk=2\n"); };
    files->duringRead = [&] { watcher->writing = true; };  // the next save begins meanwhile
    file.Refresh();
    EXPECT_EQ(Value(file), "1");
    EXPECT_EQ(watcher->waits, 1);
}

TEST_F(WatchedConfigFile, FileReplacedByRenameOrChangedDuringTheReadIsReadAtOnce) {
    files->Set("[s]\nk=4\n", 2);
    watcher->changed = true;  // a finished save: no writer left
    file.Refresh();
    EXPECT_EQ(Value(file), "4");
    files->duringRead = [&] {
        files->duringRead = nullptr;
        files->Set("[s]\nk=5\n", 3);
        watcher->changed = true;
    };
    watcher->changed = true;
    file.Refresh();
    EXPECT_EQ(Value(file), "5");
    EXPECT_EQ(std::tie(watcher->waits, files->reads), std::tuple(0, 4));
}

TEST_F(WatchedConfigFile, ReadThatAWriterRacedIsNotTrustedEvenBeforeItsEventCame) {
    files->Set("", 2);  // truncated, and the event of it not yet queued
    watcher->changed = true;
    files->duringRead = [&] { watcher->writing = true; };
    watcher->onWait = [&] {
        files->duringRead = nullptr;
        FinishWrite("[s]\nk=7\n");
    };
    file.Refresh();
    EXPECT_EQ(Value(file), "7");
}

TEST_F(WatchedConfigFile, BlindWatcherGivesWayToTheFileIdentity) {
    watcher->watching = false;
    files->Set("[s]\nk=6\n", 2);
    file.Refresh();
    file.Refresh();
    EXPECT_EQ(Value(file), "6");
    EXPECT_EQ(files->reads, 2);
}

struct FaultCase {
    FileFault fault;
    const char* reason;       // "": nothing to report
    const char* valueMeanwhile;
    bool retried;             // read again at every Refresh, with no change reported
};

class ConfigFileFault : public WatchedConfigFile,
                        public ::testing::WithParamInterface<FaultCase> {};

TEST_P(ConfigFileFault, IsReportedOnceWhenItBeginsAndClearsOnceTheFileReads) {
    const FaultCase& c = GetParam();
    for (int round = 0; round < 2; ++round) {
        files->fault = c.fault;
        for (int i = 0; i < 3; ++i) {
            watcher->changed = true;
            file.Refresh();
            const auto fault = file.TakeReadFault();
            EXPECT_EQ(fault ? fault->reason : "", i == 0 ? c.reason : "");
            EXPECT_EQ(Value(file), c.valueMeanwhile);
        }
        files->fault.reset();
        watcher->changed = !c.retried;
        file.Refresh();
        EXPECT_EQ(Value(file), "1");
        EXPECT_FALSE(file.TakeReadFault());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, ConfigFileFault,
    ::testing::Values(FaultCase{FileFault::Missing, "", "<none>", false},
                      FaultCase{FileFault::NotAFile, "not a file (a folder?)", "<none>", false},
                      FaultCase{FileFault::TooLarge,
                                "too large: detail, at most 16777216 are read", "1", false},
                      FaultCase{FileFault::AccessDenied, "access denied: detail", "1", true},
                      FaultCase{FileFault::ReadFailed, "read failed: detail", "1", true}));

// Without a watcher the file's identity is asked, and a read trusted when it held still.
TEST(ConfigFileByIdentity, FileThatNeverSettlesIsReadABoundedNumberOfTimesThenAgainNextTime) {
    auto files = std::make_shared<ScriptedFiles>();
    files->identity->size += 3;  // a write still under way when the size was taken
    EXPECT_EQ(Value(ConfigFile("Tarnleaf.ini", files)), "1");
    EXPECT_EQ(files->reads, ConfigFile::kMaxReadAttempts);

    files = std::make_shared<ScriptedFiles>();
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

TEST(ConfigFileByIdentity, LockedFileIsTriedAgainAtEveryRefreshUntilItReads) {
    auto files = std::make_shared<ScriptedFiles>();
    files->fault = FileFault::AccessDenied;
    ConfigFile file("Tarnleaf.ini", files);
    EXPECT_EQ(Value(file), "<none>");
    EXPECT_EQ(file.TakeReadFault()->reason, "access denied: detail");
    files->fault.reset();  // the file itself did not change
    file.Refresh();
    EXPECT_EQ(Value(file), "1");
    file.Refresh();
    EXPECT_EQ(files->reads, 2);
}

}  // namespace
}  // namespace tarnleaf
