#include "ConsoleOptions.h"

#include "ConfigFile.h"
#include "Ipv4Address.h"
#include "ReplyPreview.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <system_error>
#include <optional>

namespace tarnleaf {
namespace {

std::string UpperAscii(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return result;
}

std::optional<std::uint16_t> ParsePort(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

}  // namespace

Result<ConsoleOptions, std::string> ParseConsoleArguments(const std::vector<std::string>& args) {
    using R = Result<ConsoleOptions, std::string>;
    ConsoleOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const std::string upper = UpperAscii(arg);
        if (upper == "-NOLOG" || arg == "--nolog") {
            options.logging = false;
        } else if (arg == "--help" || arg == "-h") {
            options.showHelp = true;
#ifndef _WIN32
        } else if (arg == "--user") {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                return R::Fail("--user needs a user name");
            }
            options.user = args[++i];
#endif
        } else if (arg == "--check") {
            if (options.action == ConsoleAction::Preview) {
                return R::Fail("--check and --preview are separate commands");
            }
            options.action = ConsoleAction::Check;
        } else if (arg == "--preview" || arg == "--type" || arg == "--from") {
            if (i + 1 >= args.size()) {
                return R::Fail(arg + " needs a value");
            }
            const std::string& value = args[++i];
            if (arg == "--preview") {
                if (!ParseMacAddress(value)) {
                    return R::Fail("--preview needs a hardware address such as "
                                   "00-A0-C9-12-34-56, not \"" + value + "\"");
                }
                if (options.action == ConsoleAction::Check) {
                    return R::Fail("--check and --preview are separate commands");
                }
                options.action = ConsoleAction::Preview;
                options.previewMac = value;
            } else if (arg == "--type") {
                if (!ParsePreviewType(value)) {
                    return R::Fail("--type is discover, request, inform or bootp, not \"" +
                                   value + "\"");
                }
                options.previewType = value;
            } else {
                if (!Ipv4Address::Parse(value)) {
                    return R::Fail("--from needs an IPv4 address, not \"" + value + "\"");
                }
                options.previewFrom = value;
            }
        } else if (arg == "--config" || arg == "--port") {
            if (i + 1 >= args.size()) {
                return R::Fail(arg + " needs a value");
            }
            const std::string& value = args[++i];
            if (arg == "--config") {
                if (value.empty()) {
                    return R::Fail("--config needs a file name");
                }
                options.configPath = value;
            } else {
                const auto port = ParsePort(value);
                if (!port) {
                    return R::Fail("--port needs a number from 0 to 65535, not \"" + value + "\"");
                }
                options.port = *port;
            }
        } else {
            return R::Fail("unknown argument \"" + arg + "\"");
        }
    }
    const bool previewPart = options.previewType != "discover" || !options.previewFrom.empty();
    if (previewPart && options.action != ConsoleAction::Preview) {
        return R::Fail("--type and --from go with --preview");
    }
    return R::Ok(std::move(options));
}

std::string ConsoleUsage(std::string_view program) {
    std::string text = "usage: ";
    text += program;
    text +=
        " [--config FILE] [-NOLOG | --nolog] [--port N]"
#ifndef _WIN32
        " [--user NAME]"
#endif
        " [--help]\n"
        "       " + std::string(program) + " --check [--config FILE]\n"
        "       " + std::string(program) +
        " --preview MAC [--type discover|request|inform|bootp] [--from ADDR] [--config FILE]\n"
        "  Answers BOOTP/DHCP requests on UDP port 67 from the profiles in Tarnleaf.ini\n"
#ifdef _WIN32
        "  (by default the file beside the program; the file is read again when it changes).\n"
#else
        "  (by default the file beside the program, /etc/tarnleaf/Tarnleaf.ini for one in\n"
        "  /usr/bin; the file is read again when it changes).\n"
#endif
        "  --config FILE  read the profiles from FILE instead\n"
        "  -NOLOG         start with logging off (send errors are still shown)\n"
        "  --port N       listen on port N instead of 67 (for tests)\n"
#ifndef _WIN32
        "  --user NAME    once the port is bound, run as NAME (default: the user in\n"
        "                 SUDO_UID, else nobody) without any capability; --user root\n"
        "                 keeps root's rights\n"
#endif
        "  --check        report every mistake in the profiles file as FILE:LINE: message\n"
        "                 (exit 1 when there is any) and open no socket\n"
        "  --preview MAC  print the log's dump of the reply to the smallest request from MAC\n"
        "                 (a DHCPDISCOVER unless --type says otherwise), without a socket;\n"
        "                 --from ADDR is the server's address (default: the host's own)\n"
        "  --help         show this text\n"
        "  On a terminal: t + Enter sends the test message, l switches logging, q quits.\n";
    return text;
}

FilePath ConsoleConfigPath(const ConsoleOptions& options,
                                        const FilePath& programFolder) {
    return options.configPath.empty() ? DefaultConfigPath(programFolder)
                                      : FilePath(options.configPath);
}

std::string MissingConfigNote(const FilePath& configPath, std::string_view program) {
    // Only for a file that is not there: one that is there but cannot be read is said by the
    // server's own read-error entry. Nothing of the file is taken into memory to tell.
    const auto files = LocalFileAccess();
    if (files->Identify(configPath)) {
        return {};
    }
    if (const auto read = files->ReadAll(configPath, 0);
        read.ok() || read.error().fault != FileFault::Missing) {
        return {};
    }
    return std::string(program) + ": note: " + configPath.string() +
           " does not exist yet; until it does, every request is answered with itself\n";
}

}  // namespace tarnleaf
