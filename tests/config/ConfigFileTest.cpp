#include "ConfigFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <tuple>
#include <utility>

namespace tarnleaf {
namespace {

namespace fs = std::filesystem;

std::string Value(const ProfileSource& file) { return file.GetIniString("s", "k", "<none>"); }

// Stamps are set explicitly, so a coarse clock can neither hide an edit nor fake one.
TEST(ConfigFileOnDisk, EveryChangeOfTheFileCountsFromTheNextRefreshOnAndNoneElse) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    const fs::path folder = fs::temp_directory_path() / ("tarnleaf-config-" + std::to_string(now));
    const fs::path path = folder / "Tarnleaf.ini";
    fs::create_directories(folder);
    const auto stamp = fs::file_time_type::clock::now() - std::chrono::hours(1);
    const auto write = [&](const fs::path& to, const char* text, int seconds) {
        std::ofstream(to, std::ios::binary | std::ios::trunc) << text;
        fs::last_write_time(to, stamp + std::chrono::seconds(seconds));
    };
    EXPECT_EQ(DefaultConfigPath(folder / ""), path);
    ConfigFile file(path);
    write(path, "[S]\nK=1\n", 0);
    for (int i = 0; i < 10; ++i) file.Refresh();
    EXPECT_EQ(std::tuple(Value(file), file.ReadCount()), std::tuple("1", 1)) << "read once";
    write(path, "[s]\nk=2\n", 2);  // same size, later stamp
    EXPECT_EQ(Value(file), "1") << "a load keeps its snapshot until the next Refresh";
    file.Refresh();
    EXPECT_EQ(Value(file), "2");
    write(path, "[s]\nk=345\n", 2), file.Refresh();  // other size, same stamp
    EXPECT_EQ(Value(file), "345");
    write(folder / "new", "[s]\nk=678\n", 2);  // saved by rename: same size and stamp
    fs::rename(folder / "new", path);
    file.Refresh();
    EXPECT_EQ(Value(file), "678");
    fs::resize_file(path, ConfigFile::kMaxFileBytes + 1);
    file.Refresh();
    EXPECT_EQ(std::tuple(file.TakeReadFault()->reason, Value(file)),  // the last whole reading
              std::tuple("too large: 16777217 bytes, at most 16777216 are read", "678"));
    fs::remove_all(folder);
}

// A file in memory that can change, vanish or fail to read while it is read.
struct ScriptedFiles final : FileAccess {
    std::optional<FileIdentity> identity;
    std::string content;
    std::optional<FileFault> fault;    // what every read fails with
    std::function<void()> duringRead;  // runs inside ReadAll, after the content is taken
    mutable int reads = 0, identifies = 0;

    ScriptedFiles() { Set("[s]\nk=1\n", 1); }
    void Set(std::string text, std::int64_t stamp) {
        identity = FileIdentity{(content = std::move(text)).size(), stamp, stamp, 1, 1};
    }
    std::optional<FileIdentity> Identify(const FilePath&) const override {
        return ++identifies, identity;
    }
    Result<std::string, FileReadError> ReadAll(const FilePath&, std::uintmax_t max) const override {
        using R = Result<std::string, FileReadError>;
        EXPECT_EQ((++reads, max), 16u << 20);
        if (fault || !identity) return R::Fail({fault.value_or(FileFault::Missing), "detail"});
        std::string taken = content;
        if (duringRead) duringRead();
        return R::Ok(std::move(taken));
    }
};

// The platform's change notification, scripted: the wait runs `onWait` (the writer going on,
// or finishing) and reports whether a writer is left.
struct ScriptedWatcher final : FileChangeWatcher {
    bool changed = false, writing = false, watching = true;
    std::function<void()> onWait;
    int waits = 0;
    bool ChangedSinceLastAsked() override { return std::exchange(changed, false); }
    bool WriterActive() override { return writing; }
    bool AwaitNoWriter(std::chrono::milliseconds limit) override {
        EXPECT_LE((++waits, limit.count()), 100);
        if (onWait) onWait();
        return !writing;
    }
    bool Watching() override { return watching; }
};

class WatchedConfigFile : public ::testing::Test {
protected:
    // An editor's save in place: the file truncated, the write still open; then its end.
    void Truncate() { files->Set("", 2), watcher->changed = watcher->writing = true; }
    void FinishWrite(const char* text) {
        files->Set(text, 3), watcher->writing = false, watcher->changed = true;
    }

    std::shared_ptr<ScriptedFiles> files = std::make_shared<ScriptedFiles>();
    ScriptedWatcher* watcher = new ScriptedWatcher;
    ConfigFile file{"Tarnleaf.ini", files, std::unique_ptr<FileChangeWatcher>(watcher)};
};

TEST_F(WatchedConfigFile, UnchangedFileIsNeitherReadNorAskedAboutUnlessTheWatcherIsBlind) {
    for (int i = 0; i < 10; ++i) file.Refresh();
    EXPECT_EQ(std::tuple(Value(file), files->reads, files->identifies), std::tuple("1", 1, 0));
    watcher->watching = false;  // then the file's identity tells
    files->Set("[s]\nk=6\n", 2);
    for (int i = 0; i < 10; ++i) file.Refresh();
    EXPECT_EQ(std::tuple(Value(file), files->reads), std::tuple("6", 2));
    const int identified = files->identifies;
    watcher->watching = true;  // sees again: read once more, then the watcher tells
    files->Set("[s]\nk=7\n", 3);
    for (int i = 0; i < 10; ++i) file.Refresh();
    EXPECT_EQ(std::tuple(Value(file), files->reads, files->identifies),
              std::tuple("7", 3, identified));
}

TEST_F(WatchedConfigFile, RewriteInPlaceIsWaitedForOnceAndOnlyAWholeFileUsed) {
    Truncate();
    watcher->onWait = [&] { FinishWrite("[s]\nk=2\n"); };
    file.Refresh();
    EXPECT_EQ(std::tuple(Value(file), watcher->waits, files->reads), std::tuple("2", 1, 2));
    Truncate();
    watcher->onWait = [&] { FinishWrite("[s]\nk=3\n"); };
    files->duringRead = [&] { watcher->writing = true; };  // the next save begins meanwhile
    file.Refresh();
    EXPECT_EQ(std::tuple(Value(file), watcher->waits), std::tuple("2", 2)) << "no second wait";
}

TEST_F(WatchedConfigFile, WriterOutlastingTheWaitLeavesTheLastCompleteReadingUntilDone) {
    Truncate();
    for (int i = 0; i < 2; ++i) file.Refresh();
    EXPECT_EQ(std::tuple(Value(file), watcher->waits), std::tuple("1", 1)) << "one wait per write";
    FinishWrite("[s]\nk=3\n"), file.Refresh();
    EXPECT_EQ(Value(file), "3");
}

TEST_F(WatchedConfigFile, FileReplacedByRenameOrChangedDuringTheReadIsReadAtOnce) {
    files->Set("[s]\nk=4\n", 2);
    watcher->changed = true;  // a finished save (no writer left), and another during the read
    files->duringRead = [&] {
        files->duringRead = nullptr, watcher->changed = true, files->Set("[s]\nk=5\n", 3);
    };
    file.Refresh();
    EXPECT_EQ(std::tuple(Value(file), watcher->waits, files->reads), std::tuple("5", 0, 3));
}

TEST_F(WatchedConfigFile, ReadThatAWriterRacedIsNotTrustedEvenBeforeItsEventCame) {
    files->Set("", 2), watcher->changed = true;  // truncated, the event of it not yet queued
    files->duringRead = [&] { watcher->writing = true; };
    watcher->onWait = [&] { files->duringRead = nullptr, FinishWrite("[s]\nk=7\n"); };
    file.Refresh();
    EXPECT_EQ(Value(file), "7");
}

// Reason ("": none), value meanwhile, and whether read again at every Refresh without a change.
using FaultCase = std::tuple<FileFault, std::string, std::string, bool>;
class ConfigFileFault : public WatchedConfigFile,
                        public ::testing::WithParamInterface<FaultCase> {};

TEST_P(ConfigFileFault, IsReportedOnceWhenItBeginsAndClearsOnceTheFileReads) {
    const auto& [fault, reason, meanwhile, retried] = GetParam();
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 3; ++i) {
            files->fault = fault, watcher->changed = true, file.Refresh();
            const auto taken = file.TakeReadFault();
            EXPECT_EQ(std::tuple(taken ? taken->reason : "", Value(file)),
                      std::tuple(i == 0 ? reason : "", meanwhile));
        }
        files->fault.reset(), watcher->changed = !retried;
        file.Refresh();
        EXPECT_EQ(std::tuple(Value(file), !file.TakeReadFault()), std::tuple("1", true));
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, ConfigFileFault, ::testing::Values(
    FaultCase{FileFault::Missing, "", "<none>", false},
    FaultCase{FileFault::NotAFile, "not a file (a folder?)", "<none>", false},
    FaultCase{FileFault::TooLarge, "too large: detail, at most 16777216 are read", "1", false},
    FaultCase{FileFault::AccessDenied, "access denied: detail", "1", true},
    FaultCase{FileFault::ReadFailed, "read failed: detail", "1", true}));

TEST(ConfigFileByIdentity, FileThatNeverSettlesIsReadABoundedNumberOfTimesThenAgainNextTime) {
    auto files = std::make_shared<ScriptedFiles>();
    std::int64_t stamp = 1;
    files->duringRead = [&] { ++stamp, files->Set("[s]\nk=" + std::to_string(stamp), stamp); };
    ConfigFile file("Tarnleaf.ini", files);
    EXPECT_EQ(std::tuple(files->reads, Value(file)), std::tuple(5, "5")) << "the last read used";
    files->duringRead = nullptr;
    file.Refresh();
    EXPECT_EQ(std::tuple(files->reads, Value(file)), std::tuple(6, "6"));
}

}  // namespace
}  // namespace tarnleaf
