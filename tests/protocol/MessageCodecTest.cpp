#include "MessageCodec.h"

#include <gtest/gtest.h>

#include <map>
#include <numeric>
#include <string>
#include <vector>

#include "support/GoldenMessages.h"

namespace tarnleaf {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace golden;

Bytes Encoded(const BootpMessage& message) {
    auto encoded = EncodeMessage(message);
    EXPECT_TRUE(encoded.ok()) << "field " << (encoded.ok() ? "" : encoded.error().field);
    return encoded.ok() ? encoded.value() : Bytes{};
}

Bytes Slice(const Bytes& bytes, std::size_t offset, std::size_t size) {
    if (bytes.size() < offset + size) return {};
    return Bytes(bytes.begin() + offset, bytes.begin() + offset + size);
}

TEST(MessageCodec, GoldenImagesDecodeToTheirRecordsAndEncodeBackByteForByte) {
    const std::pair<Bytes, BootpMessage> cases[] = {
        {golden::Bytes(kDiscoverImage), DiscoverRecord()},
        {golden::Bytes(kRequestImage), RequestRecord()},
        {golden::Bytes(kBootpRequestImage), BootpRequestRecord()}};
    // Into reused storage too: nothing of the message before stays behind.
    BootpMessage reused;
    std::vector<std::uint8_t> encoded;
    for (const auto& [image, record] : cases) {
        SCOPED_TRACE(record.chaddr + " " + std::to_string(image.size()));
        EXPECT_EQ(DecodeMessage(image), record);
        EXPECT_EQ(Encoded(record), image);
        DecodeMessage(image, reused);
        EXPECT_EQ(reused, record);
        EXPECT_FALSE(EncodeMessage(record, encoded).has_value());
        EXPECT_EQ(encoded, image);
    }
}

TEST(MessageDecoder, DatagramUnderThreeHundredBytesGivesTheEmptyRecord) {
    const Bytes image = golden::Bytes(kDiscoverImage);
    BootpMessage reused = DecodeMessage(image);
    for (std::size_t size : {0, 1, 236, 299}) {
        EXPECT_EQ(DecodeMessage(std::span(image).first(size)), BootpMessage{}) << size;
        DecodeMessage(std::span(image).first(size), reused);
        EXPECT_EQ(reused, BootpMessage{}) << size;
    }
}

TEST(MessageDecoder, LargestUdpPayloadKeepsEveryOptionByte) {
    Bytes big(65507, 0xEE);
    std::copy_n(kDiscoverImage.begin(), kOffsetOptions, big.begin());
    EXPECT_EQ(Encoded(DecodeMessage(big)), big);
}

TEST(MessageDecoder, AnyBytesDecodeAsTheyStandWithoutValidation) {
    Bytes junk(300, 0xFF);
    std::copy_n(std::begin({105, 20, 0, 9}), 4, junk.begin() + kOffsetCiaddr + 4);
    const auto message = DecodeMessage(junk);
    EXPECT_EQ(message.op, 255);
    EXPECT_EQ(message.hlen, 255);
    EXPECT_EQ(message.secs, 65535);
    EXPECT_EQ(message.ciaddr, "255.255.255.255");
    EXPECT_EQ(message.yiaddr, "105.20.0.9");
    EXPECT_EQ(message.sname, std::string(64, '\xFF'));  // no zero byte: the whole field
    EXPECT_EQ(message.file, std::string(128, '\xFF'));
    EXPECT_EQ(message.options, Bytes(64, 0xFF));
}

// The hardware address shows hlen pairs, all 16 when hlen is 0 or beyond the field; encoding
// the record back zeroes the pairs it does not show.
TEST(MessageDecoder, HardwareAddressShowsHlenPairsAndKeepsOnlyThoseOnTheWay) {
    const std::string all = "A0-A1-A2-A3-A4-A5-A6-A7-A8-A9-AA-AB-AC-AD-AE-AF";
    const std::pair<int, std::size_t> cases[] = {{0, 16}, {1, 1},   {6, 6},   {15, 15},
                                                 {16, 16}, {17, 16}, {255, 16}};
    for (const auto& [hlen, shown] : cases) {
        Bytes image = golden::Bytes(kDiscoverImage);
        std::iota(image.begin() + kOffsetChaddr, image.begin() + kOffsetSname, 0xA0);
        image[kOffsetHlen] = static_cast<std::uint8_t>(hlen);
        const auto message = DecodeMessage(image);
        EXPECT_EQ(message.chaddr, all.substr(0, shown * 3 - 1)) << hlen;
        std::fill(image.begin() + kOffsetChaddr + shown, image.begin() + kOffsetSname, 0);
        EXPECT_EQ(Encoded(message), image) << hlen;
    }
}

// Only the names lose bytes: those after their first zero byte, and the last byte of a name
// that fills its field (the record keeps no room for the closing zero).
TEST(MessageRoundTrip, KeepsEveryByteTheRecordCanCarry) {
    Bytes image(400);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 1);
    image[kOffsetHlen] = 16;
    image[kOffsetSname + 5] = 0;
    Bytes expected = image;
    std::fill(expected.begin() + kOffsetSname + 5, expected.begin() + kOffsetFile, 0);
    expected[kOffsetFile + 127] = 0;  // the file field holds no zero byte
    EXPECT_EQ(Encoded(DecodeMessage(image)), expected);
}

TEST(MessageEncoder, HeaderIsFollowedByTheOptionAreaExactlyAsHeld) {
    EXPECT_EQ(Encoded(BootpMessage{}), Bytes(236, 0));
    BootpMessage message = DiscoverRecord();
    message.options = {1, 2, 3};  // no cookie, no end mark, no padding added
    EXPECT_EQ(Slice(Encoded(message), 234, 5), (Bytes{0, 0, 1, 2, 3}));
}

TEST(MessageEncoder, AddressTextIsReadLeniently) {
    const std::pair<std::string, Bytes> cases[] = {
        {"192.168.0.1", {192, 168, 0, 1}},  {" 10 . 1 . 2 . 3 ", {10, 1, 2, 3}},
        {"10.0.0", {10, 0, 0, 0}},          {"", {0, 0, 0, 0}},
        {"10.x.2.3", {10, 0, 2, 3}},        {"1.2.3.4.999.junk", {1, 2, 3, 4}},
        {"010.1e1.&HA8.9z", {10, 10, 168, 9}}};
    for (const auto& [text, bytes] : cases) {
        BootpMessage message = DiscoverRecord();
        message.giaddr = text;
        EXPECT_EQ(Slice(Encoded(message), kOffsetGiaddr, 4), bytes) << text;
    }
}

TEST(MessageEncoder, HardwareAddressIsDashSeparatedHexInEitherCase) {
    const std::pair<std::string, Bytes> cases[] = {
        {"0a-1B", {0x0A, 0x1B, 0}}, {"7-0-F", {0x07, 0x00, 0x0F}}, {"000A", {0x0A, 0, 0}}};
    for (const auto& [text, bytes] : cases) {
        BootpMessage message = DiscoverRecord();
        message.chaddr = text;
        EXPECT_EQ(Slice(Encoded(message), kOffsetChaddr, 3), bytes) << text;
    }
}

// Seconds keep their low 16 bits; names leave room for a closing zero byte.
TEST(MessageEncoder, OverlongValuesAreCutToTheirField) {
    BootpMessage message = DiscoverRecord();
    message.secs = 65536 + 0x1234;
    message.sname = std::string(70, 's');
    message.file = std::string(200, 'f');
    Bytes expected = golden::Bytes(kDiscoverImage);
    expected[kOffsetSecs] = 0x12;
    expected[kOffsetSecs + 1] = 0x34;
    std::fill_n(expected.begin() + kOffsetSname, 63, 's');
    std::fill_n(expected.begin() + kOffsetFile, 127, 'f');
    EXPECT_EQ(Encoded(message), expected);
}

// Values that only a bad profile can give: the first one in wire order is reported with its
// field and text, and nothing is sent half-built.
BootpMessage WithField(const std::string& field, const std::string& text) {
    BootpMessage m = DiscoverRecord();
    const std::map<std::string, std::int16_t*> bytes = {
        {"op", &m.op}, {"htype", &m.htype}, {"hlen", &m.hlen}, {"hops", &m.hops}};
    const std::map<std::string, std::string*> texts = {{"ciaddr", &m.ciaddr},
        {"yiaddr", &m.yiaddr}, {"siaddr", &m.siaddr}, {"giaddr", &m.giaddr}, {"chaddr", &m.chaddr}};
    if (bytes.contains(field)) *bytes.at(field) = static_cast<std::int16_t>(std::stoi(text));
    else if (field == "secs") m.secs = std::stoi(text);
    else *texts.at(field) = text;
    return m;
}

TEST(MessageEncoder, UnencodableFieldIsReportedWithItsText) {
    const std::pair<std::string, std::string> cases[] = {
        {"op", "256"}, {"op", "-1"}, {"htype", "-32768"}, {"hlen", "32767"}, {"hops", "300"},
        {"secs", "-1"}, {"ciaddr", "10.0.0.256"}, {"yiaddr", "1e3.0.0.1"}, {"siaddr", "-1.0.0.0"},
        {"giaddr", "1e999.0.0.0"}, {"chaddr", "00-A0-G9"}, {"chaddr", "100-00"},
        {"chaddr", "00--01"}, {"chaddr", "00-"}, {"chaddr", " 00"}, {"chaddr", "&H0A"},
        {"chaddr", "00-11-22-33-44-55-66-77-88-99-AA-BB-CC-DD-EE-FF-01"},
        {"chaddr", std::string(5000, 'F')}};
    for (const auto& [field, text] : cases) {
        const auto encoded = EncodeMessage(WithField(field, text));
        ASSERT_FALSE(encoded.ok()) << field << " " << text;
        EXPECT_EQ(encoded.error().field, field);
        EXPECT_EQ(encoded.error().text, text);
    }
    BootpMessage message = WithField("chaddr", "zz");
    message.giaddr = "999.0.0.0";
    message.hops = 999;
    const auto encoded = EncodeMessage(message);
    ASSERT_FALSE(encoded.ok());
    EXPECT_EQ(encoded.error().field, "hops");
}

}  // namespace
}  // namespace tarnleaf
