#include "protocol/PacketDump.h"

#include <gtest/gtest.h>

#include <string>

#include "protocol/MessageCodec.h"
#include "support/GoldenMessages.h"

namespace tarnleaf {
namespace {

// The text between "<label>[" and the "]\r\n" that closes that line.
std::string LineValue(const std::string& dump, const std::string& label) {
    const auto start = dump.find(label + " [");
    if (start == std::string::npos) return "<no line>";
    const auto valueStart = start + label.size() + 2;
    const auto end = dump.find("]\r\n", valueStart);
    if (end == std::string::npos) return "<unterminated>";
    return dump.substr(valueStart, end - valueStart);
}

// Everything after the "Option" line.
std::string OptionRows(const std::string& dump) {
    const auto at = dump.find("\r\nOption\r\n");
    return at == std::string::npos ? "<no option line>" : dump.substr(at + 10);
}

class PacketDump : public ::testing::Test {
protected:
    BootpMessage message_ = golden::DiscoverRecord();
};

TEST_F(PacketDump, DiscoverImageDumpsByteExact) {
    EXPECT_EQ(DumpMessage(DecodeMessage(golden::kDiscoverImage)), golden::kDiscoverDump);
}

TEST_F(PacketDump, EmptyRecordHasEveryLabelAndNoOptionRows) {
    EXPECT_EQ(DumpMessage(BootpMessage{}),
              "Message type [0]\r\n"
              "Hardware type [0]\r\n"
              "Hardware address length [0]\r\n"
              "Gateway hops [0]\r\n"
              "Transaction ID [00000000]\r\n"
              "seconds elapsed [0]\r\n"
              "Bootp flags [0000]\r\n"
              "client IP address []\r\n"
              "'your' (client) IP address []\r\n"
              "server IP address []\r\n"
              "gateway IP address []\r\n"
              "client hardware address []\r\n"
              "server host name []\r\n"
              "Boot file name []\r\n"
              "Option\r\n");
}

struct NamedValue {
    int value;
    std::string shown;
};

class MessageTypeLine : public ::testing::TestWithParam<NamedValue> {};

TEST_P(MessageTypeLine, ShowsNameOrNumber) {
    BootpMessage message;
    message.op = static_cast<std::int16_t>(GetParam().value);
    EXPECT_EQ(LineValue(DumpMessage(message), "Message type"), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(Values, MessageTypeLine,
                         ::testing::Values(NamedValue{0, "0"}, NamedValue{1, "BOOTREQUEST"},
                                           NamedValue{2, "BOOTREPLY"}, NamedValue{3, "3"},
                                           NamedValue{-5, "-5"}, NamedValue{300, "300"}));

class HardwareTypeLine : public ::testing::TestWithParam<NamedValue> {};

TEST_P(HardwareTypeLine, ShowsNameOrNumber) {
    BootpMessage message;
    message.htype = static_cast<std::int16_t>(GetParam().value);
    EXPECT_EQ(LineValue(DumpMessage(message), "Hardware type"), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Values, HardwareTypeLine,
    ::testing::Values(NamedValue{0, "0"}, NamedValue{1, "ETHERNET"}, NamedValue{2, "EXP_ETHERNET"},
                      NamedValue{3, "AX25"}, NamedValue{4, "PRONET"}, NamedValue{5, "CHAOS"},
                      NamedValue{6, "IEEE802"}, NamedValue{7, "ARCNET"}, NamedValue{8, "8"},
                      NamedValue{-1, "-1"}, NamedValue{255, "255"}));

TEST_F(PacketDump, TransactionIdAndFlagsAreUpperCaseHexPairs) {
    message_.xid = {0x00, 0x01, 0x02, 0xAB};
    message_.flags = {0x0F, 0xF0};
    const auto dump = DumpMessage(message_);
    EXPECT_EQ(LineValue(dump, "Transaction ID"), "000102AB");
    EXPECT_EQ(LineValue(dump, "Bootp flags"), "0FF0");
}

TEST_F(PacketDump, TextsAreShownAsHeldNotAsTheyFitTheWire) {
    message_.sname = std::string(70, 'n');
    message_.ciaddr = " 10 . 1 ";
    const auto dump = DumpMessage(message_);
    EXPECT_EQ(LineValue(dump, "server host name"), std::string(70, 'n'));
    EXPECT_EQ(LineValue(dump, "client IP address"), " 10 . 1 ");
}

struct RowsCase {
    std::size_t count;
    std::size_t rows;
    std::size_t lastRowBytes;
};

class OptionRowLayout : public ::testing::TestWithParam<RowsCase> {};

TEST_P(OptionRowLayout, RowsOfSixteenEachEndingInCrlf) {
    BootpMessage message;
    for (std::size_t i = 0; i < GetParam().count; ++i) {
        message.options.push_back(static_cast<std::uint8_t>(i));
    }
    const std::string rows = OptionRows(DumpMessage(message));

    std::size_t rowCount = 0;
    std::size_t start = 0;
    std::string lastRow;
    while (start < rows.size() && rowCount <= GetParam().rows) {
        const auto end = rows.find("\r\n", start);
        ASSERT_NE(end, std::string::npos) << "row without CRLF";
        lastRow = rows.substr(start, end - start);
        const bool last = end + 2 == rows.size();
        EXPECT_EQ(lastRow.size(), (last ? GetParam().lastRowBytes : 16) * 3 - 1) << lastRow;
        EXPECT_NE(lastRow.back(), ' ');
        ++rowCount;
        start = end + 2;
    }
    EXPECT_EQ(rowCount, GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(Sizes, OptionRowLayout,
                         ::testing::Values(RowsCase{1, 1, 1}, RowsCase{15, 1, 15},
                                           RowsCase{16, 1, 16}, RowsCase{17, 2, 1},
                                           RowsCase{64, 4, 16}, RowsCase{312, 20, 8}));

TEST_F(PacketDump, EveryDumpEndsInCrlfSoJoinedDumpsLeaveAnEmptyLine) {
    for (const auto& message : {BootpMessage{}, golden::DiscoverRecord(), golden::RequestRecord()}) {
        const auto dump = DumpMessage(message);
        ASSERT_GE(dump.size(), 2u);
        EXPECT_EQ(dump.substr(dump.size() - 2), "\r\n");
        EXPECT_EQ(dump.find("\n\r\n"), std::string::npos) << "no empty line inside a dump";
    }
}

}  // namespace
}  // namespace tarnleaf
