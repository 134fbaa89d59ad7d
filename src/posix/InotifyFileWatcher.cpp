#include "InotifyFileWatcher.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <optional>
#include <utility>

namespace tarnleaf {

namespace {

// As the kernel allows in one path: more hops than this are a loop.
constexpr int kMaxLinkHops = 40;
// Blind for want of a link target's watch, the watcher tries again this often.
constexpr std::chrono::seconds kBlindRetry{1};
constexpr std::int64_t kNsPerSecond = 1'000'000'000;
// How long after a change of the file its event may still be on its way.
constexpr std::int64_t kEventLagNs = 50'000'000;

// The clock that file times are taken from.
std::int64_t WallClockNs() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return std::int64_t{now.tv_sec} * kNsPerSecond + now.tv_nsec;
}

// When the file (what a link leads to) was last written; no value when there is none.
std::optional<std::int64_t> ModifiedNs(const FilePath& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) return std::nullopt;
    return std::int64_t{info.st_mtim.tv_sec} * kNsPerSecond + info.st_mtim.tv_nsec;
}

// IN_ATTRIB: a change of permission can make the file readable or unreadable without a write.
constexpr std::uint32_t kFileEvents =
    IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF | IN_MOVE_SELF;
constexpr std::uint32_t kFolderEvents = IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_CREATE |
                                        IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                        IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// Raised by SIGIO: some watcher's queue took an event. Shared by every watcher of the
// process, so a watcher may look in vain now and then, which costs only a read.
std::atomic<std::uint32_t> signalsSeen{0};
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

void CountSignal(int) { signalsSeen.fetch_add(1, std::memory_order_relaxed); }

// SIGIO ends a process unless it is handled. SA_RESTART: a read or a send that it interrupts
// carries on.
bool HandleSigio() {
    static const bool handled = [] {
        struct sigaction action {};
        action.sa_handler = CountSignal;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        return ::sigaction(SIGIO, &action, nullptr) == 0;
    }();
    return handled;
}

// A regular file known by this one name: what a writer's own create makes. A symbolic link,
// a second name for a file (a hard link) or a special file is not one.
bool FreshRegularFile(const FilePath& entry) {
    struct stat info {};
    return ::lstat(entry.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_nlink == 1;
}

FilePath FolderOf(const FilePath& file) {
    FilePath folder = file.parent_path();
    return folder.empty() ? FilePath(".") : folder;
}

}  // namespace

std::unique_ptr<InotifyFileWatcher> InotifyFileWatcher::Create(const FilePath& file) {
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) return nullptr;
    const int folderWatch = ::inotify_add_watch(fd, FolderOf(file).c_str(), kFolderEvents);
    if (folderWatch < 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<InotifyFileWatcher>(new InotifyFileWatcher(fd, folderWatch, file));
}

InotifyFileWatcher::InotifyFileWatcher(int fd, int folderWatch, FilePath file)
    : fd_(fd), folderWatch_(folderWatch), file_(std::move(file)),
      fileName_(file_.filename()) {
    WatchFileAgain();
}

InotifyFileWatcher::~InotifyFileWatcher() { ::close(fd_); }

bool InotifyFileWatcher::ChangedSinceLastAsked() {
    if (!armed_) {
        // Once: where the signal cannot be had, the queue is read on every question.
        armed_ = true;
        signalled_ = SignalOnEvents();
    }
    // A queue that took an event since the last drain has sent SIGIO to this thread, which
    // ran the handler on its way back from the system call that brought the news (the
    // receive of the request that follows an edit, at the latest). No signal, no event: the
    // read is spared.
    if (!signalled_ || signalsSeen.load(std::memory_order_relaxed) != signalsDrained_) Drain();
    return std::exchange(changed_, false);
}

bool InotifyFileWatcher::Watching() {
    if (lost_) WatchPathAgain();
    return !lost_;
}

void InotifyFileWatcher::WatchPathAgain() {
    if (folderWatch_ < 0 && Clock::now() < retryAt_) return;
    // The old watches look at folders that are no longer on the path, or at nothing: all are
    // given up, once, and the path is watched afresh as soon as it leads to a folder again.
    DropWatches();
    folderWatch_ = ::inotify_add_watch(fd_, FolderOf(file_).c_str(), kFolderEvents);
    if (folderWatch_ < 0) return;
    lost_ = false;
    // Nothing that happened while blind was seen.
    changed_ = true;
    MarkWriting(false);
    WatchFileAgain();
    if (lost_) {
        // The link's target cannot be watched (its folder unreadable, no watch left): the
        // watches are not made and given up again at every request for that.
        DropWatches();
        retryAt_ = Clock::now() + kBlindRetry;
    }
}

void InotifyFileWatcher::DropWatches() {
    for (int* watch : {&fileWatch_, &targetFolderWatch_, &folderWatch_}) {
        if (*watch >= 0) ::inotify_rm_watch(fd_, *watch);
        *watch = -1;
    }
    targetFolder_ = FilePath();
    targetName_.clear();
}

bool InotifyFileWatcher::SignalOnEvents() {
    // To the asking thread only: another thread could run the handler too late.
    f_owner_ex owner{F_OWNER_TID, static_cast<pid_t>(::gettid())};
    const int flags = ::fcntl(fd_, F_GETFL);
    return HandleSigio() && flags >= 0 && ::fcntl(fd_, F_SETOWN_EX, &owner) == 0 &&
           ::fcntl(fd_, F_SETFL, flags | O_ASYNC) == 0;
}

bool InotifyFileWatcher::WriterActive() {
    Drain();
    return WritingNow();
}

bool InotifyFileWatcher::WritingNow() {
    // A writer that has been quiet for long keeps the file open for no write of ours to see
    // (a held descriptor, a hard link made in place): its file is taken as it is.
    const std::optional<bool> lease = LeaseRefused();
    const bool refused = lease.value_or(false);
    if (refused && !leaseRefused_) lastWrite_ = Clock::now();
    leaseRefused_ = refused;
    return ((writing_ || refused) && Clock::now() - lastWrite_ < kQuietWriter) ||
           (!lease && WrittenJustNow());
}

bool InotifyFileWatcher::WrittenJustNow() const {
    // No lease can be had on a file of another owner, which is the rule once root's
    // privileges are given up. Then only the file's time tells a truncation or write whose
    // event is still to come (its writer preempted between the two, on a busy machine, for
    // many milliseconds): a file written moments ago is taken as still being written, unless
    // it was put in place whole.
    const auto written = ModifiedNs(file_);
    if (!written || *written == wholeWrittenNs_) return false;
    const std::int64_t age = WallClockNs() - *written;
    return age >= 0 && age < kEventLagNs;
}

std::optional<bool> InotifyFileWatcher::LeaseRefused() const {
    // Refused (EAGAIN) exactly while some program has the file open for writing. Taking one
    // needs the file's owner or CAP_LEASE, and a file system that has leases; without them
    // (no value) the events and the file's time decide. Released at once, so a writer
    // opening the file meanwhile waits for no more than that.
    const int fd = ::open(file_.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    // A writer opening the file while the lease is held breaks it with a signal to this
    // process, SIGIO unless told otherwise, which would end it. SIGURG is ignored unless
    // handled, and nothing here handles it.
    const bool taken = ::fcntl(fd, F_SETSIG, SIGURG) == 0 &&
                       ::fcntl(fd, F_SETLEASE, F_RDLCK) == 0;
    const bool refused = !taken && errno == EAGAIN;
    if (taken) ::fcntl(fd, F_SETLEASE, F_UNLCK);
    ::close(fd);
    if (!taken && !refused) return std::nullopt;
    return refused;
}

bool InotifyFileWatcher::AwaitNoWriter(std::chrono::milliseconds limit) {
    // A close after writing is an event; a writer that wrote nothing closes silently, so the
    // lease is looked at again every few milliseconds as well.
    constexpr long kLookAgainMs = 5;
    const auto deadline = Clock::now() + limit;
    for (;;) {
        Drain();
        if (!WritingNow()) return true;
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || lost_) return false;
        pollfd ready{fd_, POLLIN, 0};
        (void)::poll(&ready, 1, static_cast<int>(std::min<long>(left, kLookAgainMs)));
    }
}

void InotifyFileWatcher::Drain() {
    // Taken before the reads: an event queued during them either is read or signals anew.
    signalsDrained_ = signalsSeen.load(std::memory_order_relaxed);
    ReadQueue();
    // A folder renamed away may have been replaced already: the file there is what counts.
    if (lost_) WatchPathAgain();
}

void InotifyFileWatcher::ReadQueue() {
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            if (errno != EAGAIN) lost_ = true;
            return;
        }
        if (got == 0) return;
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const char* name = buffer + at + sizeof event;
            Handle(event.wd, event.mask,
                   event.len ? std::string(name, ::strnlen(name, event.len)) : std::string());
            at += static_cast<ssize_t>(sizeof event + event.len);
        }
    }
}

void InotifyFileWatcher::Handle(int watch, std::uint32_t mask, const std::string& name) {
    if (mask & IN_Q_OVERFLOW) {
        // Events were lost: anything may have happened, and nothing says a write is open.
        changed_ = true;
        MarkWriting(false);
        WatchFileAgain();
        return;
    }
    if (watch == folderWatch_ || watch == targetFolderWatch_) {
        if (mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
            // The path no longer leads where the watch looks: to another file, or to none.
            lost_ = true;
            changed_ = true;
            return;
        }
        // The folder's own permissions decide whether the file can be opened at all.
        const bool named = (watch == folderWatch_ && name == fileName_) ||
                           (watch == targetFolderWatch_ && name == targetName_);
        if (!named && !(name.empty() && (mask & IN_ATTRIB))) return;
        changed_ = true;
        if (mask & IN_MODIFY) MarkWriting(true);
        if (mask & IN_CLOSE_WRITE) MarkWriting(false);
        if (mask & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO)) {
            // A file created in place is normally being written until it is closed; one
            // renamed into place was written elsewhere and is whole, and so is the file that a
            // link made in place (symbolic or hard) leads to: no close follows a link.
            const bool own = watch == folderWatch_ && name == fileName_;
            const FilePath entry = own ? file_ : targetFolder_ / FilePath(name);
            MarkWriting((mask & IN_CREATE) && !(mask & IN_ISDIR) && FreshRegularFile(entry));
            if (!writing_) wholeWrittenNs_ = ModifiedNs(file_).value_or(-1);
            WatchFileAgain();
        }
        return;
    }
    // Events of a watch given up before they were read, and of entries inside a folder put
    // in the file's place, say nothing about the file.
    if (watch != fileWatch_ || !name.empty()) return;
    if (mask & IN_IGNORED) {
        fileWatch_ = -1;
        return;
    }
    changed_ = true;
    if (mask & IN_MODIFY) MarkWriting(true);
    if (mask & IN_CLOSE_WRITE) MarkWriting(false);
    if (mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
        MarkWriting(false);
        WatchFileAgain();
    }
}

void InotifyFileWatcher::MarkWriting(bool writing) {
    writing_ = writing;
    if (writing) lastWrite_ = Clock::now();
}

void InotifyFileWatcher::WatchFileAgain() {
    // Whatever the path leads to now: a new file, none, or the old one still.
    if (fileWatch_ >= 0) ::inotify_rm_watch(fd_, fileWatch_);
    fileWatch_ = ::inotify_add_watch(fd_, file_.c_str(), kFileEvents);
    WatchLinkTarget();
}

void InotifyFileWatcher::WatchLinkTarget() {
    // Where the link leads, link after link; a target that does not exist (yet) has a place
    // all the same. Links in the target's folders are followed by the watch itself.
    FilePath target;
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        const FilePath& at = target.empty() ? file_ : target;
        std::array<char, PATH_MAX> held;
        const ssize_t length = ::readlink(at.c_str(), held.data(), held.size());
        if (length <= 0 || static_cast<std::size_t>(length) == held.size()) break;  // no link
        const std::string next(held.data(), static_cast<std::size_t>(length));
        target = at.parent_path() / FilePath(next);
    }
    FilePath folder = target.empty() ? FilePath() : target.parent_path();
    if (!target.empty() && folder.empty()) folder = ".";
    targetName_ = target.empty() ? std::string() : target.filename();
    if (folder == targetFolder_) return;
    // The link's own folder may be the target's too: its watch is never given up here.
    if (targetFolderWatch_ >= 0 && targetFolderWatch_ != folderWatch_) {
        ::inotify_rm_watch(fd_, targetFolderWatch_);
    }
    targetFolder_ = folder;
    targetFolderWatch_ =
        folder.empty() ? -1 : ::inotify_add_watch(fd_, folder.c_str(), kFolderEvents);
    // A target's folder that cannot be seen leaves the file itself to be asked.
    if (!folder.empty() && targetFolderWatch_ < 0) lost_ = true;
}

}  // namespace tarnleaf
