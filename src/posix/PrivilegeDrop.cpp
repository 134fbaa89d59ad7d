#include "PrivilegeDrop.h"

#include <grp.h>
#include <linux/capability.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tarnleaf {
namespace {

using DropResult = Result<std::string, std::string>;

struct Account {
    uid_t uid = 0;
    gid_t gid = 0;
    std::string name;  // empty when the id has no password entry
    std::string home;
};

std::string Why(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

std::optional<unsigned long> ParseId(const char* text) {
    if (text == nullptr || *text == '\0') return std::nullopt;
    unsigned long value = 0;
    const char* end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, value);
    if (error != std::errc() || stop != end) return std::nullopt;
    return value;
}

std::optional<Account> FromPasswd(const passwd* entry) {
    if (entry == nullptr) return std::nullopt;
    return Account{entry->pw_uid, entry->pw_gid, entry->pw_name, entry->pw_dir};
}

// The account `user` names: a name, else a number.
std::optional<Account> NamedAccount(const std::string& user) {
    if (auto found = FromPasswd(::getpwnam(user.c_str()))) return found;
    const auto id = ParseId(user.c_str());
    if (!id) return std::nullopt;
    if (auto found = FromPasswd(::getpwuid(static_cast<uid_t>(*id)))) return found;
    return Account{static_cast<uid_t>(*id), static_cast<gid_t>(*id), {}, {}};
}

// Whoever ran sudo (sudo run by root itself names root: no help), else nobody.
std::optional<Account> DefaultAccount() {
    const auto sudoUid = ParseId(std::getenv("SUDO_UID"));
    if (sudoUid && *sudoUid != 0) {
        Account account{static_cast<uid_t>(*sudoUid), 0, {}, {}};
        if (const passwd* entry = ::getpwuid(account.uid)) {
            account.gid = entry->pw_gid;
            account.name = entry->pw_name;
            account.home = entry->pw_dir;
        }
        if (const auto sudoGid = ParseId(std::getenv("SUDO_GID"))) {
            account.gid = static_cast<gid_t>(*sudoGid);
        }
        if (account.gid != 0) return account;
    }
    return FromPasswd(::getpwnam("nobody"));
}

bool ReadCapabilities(__user_cap_data_struct (&data)[2]) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capget, &header, data) == 0;
}

// Empties the ambient set and as much of the bounding set as the process may (that needs
// CAP_SETPCAP, which only root has here), so no later exec can win a capability back.
std::optional<std::string> EmptyBoundingAndAmbientSets() {
    for (int cap = 0; ::prctl(PR_CAPBSET_READ, cap, 0, 0, 0) >= 0; ++cap) {
        if (::prctl(PR_CAPBSET_DROP, cap, 0, 0, 0) != 0 && errno != EPERM) {
            return Why("cannot empty the capability bounding set");
        }
    }
    if (::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) != 0 && errno != EINVAL) {
        return Why("cannot empty the ambient capability set");
    }
    return std::nullopt;
}

std::optional<std::string> EmptyHeldSets() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct none[2]{};
    if (::syscall(SYS_capset, &header, none) != 0) {
        return Why("cannot give up the capabilities");
    }
    return std::nullopt;
}

std::optional<std::string> SwitchTo(const Account& account) {
    // Before the switch: emptying the bounding set takes CAP_SETPCAP, which goes with it.
    if (auto failure = EmptyBoundingAndAmbientSets()) return failure;
    if (::prctl(PR_SET_KEEPCAPS, 0, 0, 0, 0) != 0) return Why("cannot clear keep-capabilities");
    const int grouped = account.name.empty()
                            ? ::setgroups(1, &account.gid)
                            : ::initgroups(account.name.c_str(), account.gid);
    if (grouped != 0) return Why("cannot set the supplementary groups");
    if (::setresgid(account.gid, account.gid, account.gid) != 0) return Why("cannot set the group");
    if (::setresuid(account.uid, account.uid, account.uid) != 0) return Why("cannot set the user");
    // Settings the desktop libraries keep go to the new user's home, not root's.
    if (!account.home.empty()) ::setenv("HOME", account.home.c_str(), 1);
    // The switch has emptied them already, unless securebits said otherwise.
    return EmptyHeldSets();
}

// What must hold afterwards, read back from the kernel rather than assumed.
std::optional<std::string> Verify() {
    uid_t ruid = 0, euid = 0, suid = 0;
    gid_t rgid = 0, egid = 0, sgid = 0;
    if (::getresuid(&ruid, &euid, &suid) != 0 || ::getresgid(&rgid, &egid, &sgid) != 0) {
        return Why("cannot read back the user and group ids");
    }
    if (ruid == 0 || euid == 0 || suid == 0 || rgid == 0 || egid == 0 || sgid == 0) {
        return "a user or group id is still 0";
    }
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
    const int count = ::getgroups(static_cast<int>(groups.size()), groups.data());
    if (count < 0) return Why("cannot read back the supplementary groups");
    if (std::find(groups.begin(), groups.begin() + count, gid_t{0}) != groups.begin() + count) {
        return "the supplementary groups still hold group 0";
    }
    __user_cap_data_struct data[2]{};
    if (!ReadCapabilities(data)) return Why("cannot read back the capabilities");
    for (const auto& part : data) {
        if (part.effective != 0 || part.permitted != 0) return "capabilities are still held";
    }
    return std::nullopt;
}

std::string Describe(uid_t uid, gid_t gid) {
    const passwd* entry = ::getpwuid(uid);
    std::string text = "running as ";
    text += entry != nullptr ? entry->pw_name : "uid " + std::to_string(uid);
    text += " (uid " + std::to_string(uid) + ", gid " + std::to_string(gid) +
            ") without any capability";
    return text;
}

}  // namespace

DropResult DropPrivileges(const std::optional<std::string>& user) {
    const bool root = ::geteuid() == 0;
    if (user && *user == "root") {
        if (!root) return DropResult::Fail("--user root: only root can stay root");
        return DropResult::Ok("running as root, as --user root asks: every privilege kept");
    }
    if (root) {
        const auto account = user ? NamedAccount(*user) : DefaultAccount();
        if (!account) {
            return DropResult::Fail(user ? "no such user: " + *user
                                         : std::string("there is no user \"nobody\" to run as"));
        }
        if (account->uid == 0 || account->gid == 0) {
            return DropResult::Fail("user " + (user ? *user : account->name) +
                                    " has id 0; use --user root to stay root");
        }
        if (auto failure = SwitchTo(*account)) return DropResult::Fail(*failure);
    } else {
        if (user) {
            const auto account = NamedAccount(*user);
            if (!account || account->uid != ::getuid()) {
                return DropResult::Fail("--user " + *user + ": only root can switch users");
            }
        }
        if (auto failure = EmptyBoundingAndAmbientSets()) return DropResult::Fail(*failure);
        if (auto failure = EmptyHeldSets()) return DropResult::Fail(*failure);
    }
    if (auto failure = Verify()) return DropResult::Fail(*failure);
    return DropResult::Ok(Describe(::getuid(), ::getgid()));
}

std::string UnreadableFileNote(const FilePath& path, std::string_view program) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || ::access(path.c_str(), R_OK) == 0) return {};
    return std::string(program) + ": note: " + path.string() + " cannot be read (" +
           std::strerror(errno) + "); until it can, every request is answered with itself\n";
}

}  // namespace tarnleaf
