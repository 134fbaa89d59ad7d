#include "PacketDump.h"

#include <gtest/gtest.h>

#include <string>

#include "MessageCodec.h"
#include "support/GoldenMessages.h"

namespace tarnleaf {
namespace {

TEST(PacketDump, DiscoverImageDumpsByteExact) {
    EXPECT_EQ(DumpMessage(DecodeMessage(golden::kDiscoverImage)), golden::kDiscoverDump);
}

TEST(PacketDump, KnownTypesShowTheirNamesAndOthersTheirNumber) {
    const char* const ops[] = {"-1", "0", "BOOTREQUEST", "BOOTREPLY", "3", "4", "5", "6", "7", "8"};
    const char* const htypes[] = {"-1", "0", "ETHERNET", "EXP_ETHERNET", "AX25", "PRONET",
                                  "CHAOS", "IEEE802", "ARCNET", "8"};
    for (std::int16_t type = -1; type <= 8; ++type) {
        const std::string lines = std::string("Message type [") + ops[type + 1] +
                                  "]\r\nHardware type [" + htypes[type + 1] + "]";
        BootpMessage m;
        m.op = m.htype = type;
        EXPECT_EQ(DumpMessage(m).substr(0, lines.size()), lines);
    }
}

// A request's names reach the log: control characters must neither split nor end its entry,
// nor reach the console as escape sequences. Other bytes, 8-bit ones included, stay as they
// are.
TEST(PacketDump, NamesShowControlBytesAsHexAndKeepTheRest) {
    BootpMessage m;
    m.sname = std::string("a\r\n\r\nb\x1b[2J\t", 11) + std::string(1, '\0') + "\x7f~\xe9\\";
    // U+009B (CSI) and U+0085 (NEL) in UTF-8; U+00A0, a UTF-8 "ア" and a lone 0xC2 stay.
    m.file = "p\xc2\x9b" "2J\xc2\x85\xc2\xa0\xe3\x82\xa2\xc2";
    const std::string dump = DumpMessage(m);
    EXPECT_NE(dump.find("server host name [a\\x0D\\x0A\\x0D\\x0Ab\\x1B[2J\\x09\\x00\\x7F~\xe9\\]\r\n"
                        "Boot file name [p\\xC2\\x9B" "2J\\xC2\\x85\xc2\xa0\xe3\x82\xa2\xc2]\r\n"),
              std::string::npos);
    EXPECT_EQ(dump.find("\r\n\r\n"), std::string::npos);
    // A profile's address texts reach the log the same way.
    m.yiaddr = std::string("1.2.3.4\0z\x1b", 10);
    EXPECT_NE(DumpMessage(m).find("'your' (client) IP address [1.2.3.4\\x00z\\x1B]\r\n"),
              std::string::npos);
}

TEST(PacketDump, OptionBytesRunInRowsOfSixteen) {
    BootpMessage message;
    EXPECT_TRUE(DumpMessage(message).ends_with("file name []\r\nOption\r\n"));
    for (int i = 0; i < 17; ++i) message.options.push_back(static_cast<std::uint8_t>(i));
    EXPECT_TRUE(DumpMessage(message).ends_with(
        "Option\r\n00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F\r\n10\r\n"));
}

}  // namespace
}  // namespace tarnleaf
