#include "ConsoleTools.h"

#include <cstdio>

#include "ConfigFile.h"
#include "FileAccess.h"
#include "Ipv4Address.h"
#include "ProfileCheck.h"
#include "ReplyPreview.h"

namespace tarnleaf {

ToolOutcome RunCheck(const FilePath& configPath) {
    const std::string name = configPath.string();
    const auto content = LocalFileAccess()->ReadAll(configPath, ConfigFile::kMaxFileBytes);
    if (!content) {
        // Without the file every client is answered with its own request.
        const std::string why =
            content.error().fault == FileFault::Missing
                ? std::string("does not exist")
                : "cannot be read (" +
                      FileFaultReason(content.error(), ConfigFile::kMaxFileBytes) + ")";
        return {1, {}, name + ": " + why + ": every request would be answered as from an "
                                           "unknown client\n"};
    }
    const auto findings = CheckProfiles(content.value());
    if (!findings.empty()) {
        return {1, FormatFindings(name, findings), {}};
    }
    return {0, name + ": no mistakes found\n", {}};
}

ToolOutcome RunPreview(const ConsoleOptions& options, const FilePath& configPath,
                       const std::string& localAddress, const std::string& hostName) {
    const auto mac = ParseMacAddress(options.previewMac);
    const auto type = ParsePreviewType(options.previewType);
    const auto local = Ipv4Address::Parse(localAddress);
    if (!mac || !type || !local) {
        return {2, {}, "cannot preview: the hardware address, type or local address is not valid\n"};
    }
    ConfigFile profiles(configPath);
    ToolOutcome outcome;
    std::string section;
    for (std::uint8_t byte : *mac) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        if (!section.empty()) section += '-';
        section += kDigits[byte >> 4];
        section += kDigits[byte & 0x0F];
    }
    if (profiles.ReadProfileValue(section, "BootFile", "bf").empty()) {
        outcome.err = "note: [" + section + "] has no BootFile (or bf) in " +
                      configPath.string() +
                      ": the client is answered as unknown, with its own request\n";
    }
    const std::vector<std::uint8_t> request = MinimalRequest(*mac, *type);
    const ReplyPreview preview = PreviewReply(profiles, request, *local, hostName);
    outcome.out = preview.text;
    outcome.exitCode = preview.sent ? 0 : 1;
    return outcome;
}

int PrintOutcome(const ToolOutcome& outcome) {
    std::fwrite(outcome.err.data(), 1, outcome.err.size(), stderr);
    std::fwrite(outcome.out.data(), 1, outcome.out.size(), stdout);
    std::fflush(stdout);
    return outcome.exitCode;
}

}  // namespace tarnleaf
