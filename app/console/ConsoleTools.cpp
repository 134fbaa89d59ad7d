#include "ConsoleTools.h"

#include "ConfigFile.h"
#include "FileAccess.h"
#include "Ipv4Address.h"
#include "ProfileCheck.h"
#include "ReplyPreview.h"

namespace tarnleaf {

int RunCheck(const FilePath& configPath, std::ostream& out, std::ostream& err) {
    const std::string name = configPath.string();
    const auto content = LocalFileAccess()->ReadAll(configPath, ConfigFile::kMaxFileBytes);
    if (!content) {
        // Without the file every client is answered with its own request.
        err << name << ": "
            << (content.error().fault == FileFault::Missing
                    ? std::string("does not exist")
                    : "cannot be read (" +
                          FileFaultReason(content.error(), ConfigFile::kMaxFileBytes) + ")")
            << ": every request would be answered as from an unknown client\n";
        return 1;
    }
    const auto findings = CheckProfiles(content.value());
    if (!findings.empty()) {
        out << FormatFindings(name, findings);
        out.flush();
        return 1;
    }
    out << name << ": no mistakes found\n";
    out.flush();
    return 0;
}

int RunPreview(const ConsoleOptions& options, const FilePath& configPath,
               const std::string& localAddress, const std::string& hostName, std::ostream& out,
               std::ostream& err) {
    const auto mac = ParseMacAddress(options.previewMac);
    const auto type = ParsePreviewType(options.previewType);
    const auto local = Ipv4Address::Parse(localAddress);
    if (!mac || !type || !local) {
        err << "cannot preview: the hardware address, type or local address is not valid\n";
        return 2;
    }
    ConfigFile profiles(configPath);
    std::string section;
    for (std::uint8_t byte : *mac) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        if (!section.empty()) section += '-';
        section += kDigits[byte >> 4];
        section += kDigits[byte & 0x0F];
    }
    if (profiles.ReadProfileValue(section, "BootFile", "bf").empty()) {
        err << "note: [" << section << "] has no BootFile (or bf) in " << configPath.string()
            << ": the client is answered as unknown, with its own request\n";
    }
    const std::vector<std::uint8_t> request = MinimalRequest(*mac, *type);
    const ReplyPreview preview = PreviewReply(profiles, request, *local, hostName);
    out << preview.text;
    out.flush();
    return preview.sent ? 0 : 1;
}

}  // namespace tarnleaf
