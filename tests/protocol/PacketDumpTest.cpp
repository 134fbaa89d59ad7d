#include "PacketDump.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>

#include "MessageCodec.h"
#include "support/GoldenMessages.h"

namespace tarnleaf {
namespace {

bool HasLine(const std::string& dump, const std::string& line) {
    return ("\n" + dump).find("\n" + line + "\r\n") != std::string::npos;
}

TEST(PacketDump, DiscoverImageDumpsByteExact) {
    EXPECT_EQ(DumpMessage(DecodeMessage(golden::kDiscoverImage)), golden::kDiscoverDump);
}

TEST(PacketDump, KnownTypesShowTheirNamesAndOthersTheirNumber) {
    const std::pair<int, std::string> ops[] = {
        {0, "0"}, {1, "BOOTREQUEST"}, {2, "BOOTREPLY"}, {3, "3"}, {-5, "-5"}, {300, "300"}};
    for (const auto& [op, shown] : ops) {
        BootpMessage message;
        message.op = static_cast<std::int16_t>(op);
        EXPECT_TRUE(HasLine(DumpMessage(message), "Message type [" + shown + "]")) << op;
    }
    const char* const htypes[] = {"-1", "0", "ETHERNET", "EXP_ETHERNET", "AX25", "PRONET",
                                  "CHAOS", "IEEE802", "ARCNET", "8"};
    for (int htype = -1; htype <= 8; ++htype) {
        BootpMessage message;
        message.htype = static_cast<std::int16_t>(htype);
        const std::string line = std::string("Hardware type [") + htypes[htype + 1] + "]";
        EXPECT_TRUE(HasLine(DumpMessage(message), line)) << htype;
    }
}

TEST(PacketDump, OptionBytesRunInRowsOfSixteen) {
    const std::string row = "00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\r\n";
    const std::pair<std::size_t, std::string> cases[] = {{0, ""}, {17, row + "10\r\n"}};
    for (const auto& [count, rows] : cases) {
        BootpMessage message;
        message.options.resize(count);
        std::iota(message.options.begin(), message.options.end(), 0);
        EXPECT_TRUE(DumpMessage(message).ends_with("file name []\r\nOption\r\n" + rows)) << count;
    }
}

}  // namespace
}  // namespace tarnleaf
