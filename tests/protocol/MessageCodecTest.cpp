#include "MessageCodec.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "FieldSplitter.h"
#include "support/GoldenMessages.h"

namespace tarnleaf {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace golden;

Bytes Encoded(const BootpMessage& message) {  // nothing at all when the record cannot be encoded
    const auto encoded = EncodeMessage(message);
    return encoded.ok() ? encoded.value() : Bytes{};
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
        EXPECT_EQ(DecodeMessage(image), record);
        EXPECT_EQ(Encoded(record), image);
        DecodeMessage(image, reused);
        EXPECT_EQ(reused, record);
        EXPECT_FALSE(EncodeMessage(record, encoded).has_value());
        EXPECT_EQ(encoded, image);
        // Under 300 bytes: the empty record, into reused storage too.
        EXPECT_EQ(DecodeMessage(std::span(image).first(299)), BootpMessage{});
        DecodeMessage(std::span(image).first(299), reused);
        EXPECT_EQ(reused, BootpMessage{});
    }
}

TEST(MessageDecoder, AnyBytesDecodeAsTheyStandWithoutValidation) {
    Bytes junk(300, 0xFF);
    std::copy_n(std::begin({105, 20, 0, 9}), 4, junk.begin() + kOffsetCiaddr + 4);
    const auto m = DecodeMessage(junk);
    EXPECT_EQ(std::tie(m.op, m.secs, m.ciaddr, m.yiaddr, m.file, m.options),
              std::tuple(255, 65535, "255.255.255.255", "105.20.0.9", std::string(128, '\xFF'),
                         Bytes(64, 0xFF)));
}

// The hardware address shows hlen pairs, all 16 when hlen is 0 or beyond the field; encoding
// the record back zeroes the pairs it does not show.
TEST(MessageDecoder, HardwareAddressShowsHlenPairsAndKeepsOnlyThoseOnTheWay) {
    const std::string all = "A0-A1-A2-A3-A4-A5-A6-A7-A8-A9-AA-AB-AC-AD-AE-AF";
    for (const auto& [hlen, shown] : {std::pair{0, 16}, {1, 1}, {15, 15}, {16, 16}, {17, 16}}) {
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
// that fills its field (no room for the closing zero). The area runs to the largest payload.
TEST(MessageRoundTrip, KeepsEveryByteTheRecordCanCarry) {
    Bytes image(65507);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 1);
    image[kOffsetHlen] = 16, image[kOffsetSname + 5] = 0;
    Bytes expected = image;
    std::fill(expected.begin() + kOffsetSname + 5, expected.begin() + kOffsetFile, 0);
    expected[kOffsetFile + 127] = 0;  // the file field holds no zero byte
    EXPECT_EQ(Encoded(DecodeMessage(image)), expected);
}

// Addresses are read leniently, piece by piece; hardware addresses as dash-separated hex;
// seconds keep their low 16 bits; names leave room for a closing zero byte.
TEST(MessageEncoder, TextFieldsAreReadLenientlyAndCutToTheirField) {
    BootpMessage m = DiscoverRecord();
    m.giaddr = " 010 . 1e1 . &HA8.9z.999", m.chaddr = "0a-1B-7-000A", m.secs = 65536 + 0x1234;
    m.sname = std::string(70, 's'), m.file = std::string(200, 'f');
    Bytes expected = golden::Bytes(kDiscoverImage);
    std::copy_n(std::begin({10, 10, 168, 9}), 4, expected.begin() + kOffsetGiaddr);
    std::copy_n(std::begin({0x0A, 0x1B, 0x07, 0x0A, 0, 0}), 6, expected.begin() + kOffsetChaddr);
    std::copy_n(std::begin({0x12, 0x34}), 2, expected.begin() + kOffsetSecs);
    std::fill_n(expected.begin() + kOffsetSname, 63, 's');
    std::fill_n(expected.begin() + kOffsetFile, 127, 'f');
    EXPECT_EQ(Encoded(m), expected);
}

// Plain dotted addresses take a short road; it must give what the lenient reading gives.
TEST(MessageEncoder, PlainAddressesEncodeAsTheLenientReadingReadsThem) {
    for (const std::string text : {"0.0.0.0", "255.255.255.255", "010.001.000.9", "1.2.3",
                                   "1.2.3.4.5", "256.1.1.1", "1..2.3", "1.2.3.4.", ".1.2.3",
                                   "1.2.3.0255", "1.2.3.-4", "1.2.3.4 "}) {
        std::array<std::uint8_t, 4> lenient{};
        const bool readable = !SplitToFields(text, ".", std::array<std::uint8_t*, 4>{
            &lenient[0], &lenient[1], &lenient[2], &lenient[3]}).failedPiece;
        BootpMessage m = DiscoverRecord();
        m.ciaddr = text;
        const auto encoded = EncodeMessage(m);
        ASSERT_EQ(encoded.ok(), readable) << text;
        if (readable) {
            EXPECT_TRUE(std::equal(lenient.begin(), lenient.end(),
                                   encoded.value().begin() + kOffsetCiaddr)) << text;
        }
    }
}

// Values that only a bad profile can give: the first one in wire order is reported with its
// field and text, and nothing is sent half-built.
BootpMessage With(BootpMessage m, std::string_view field, const std::string& text) {
    const auto number = [&] { return static_cast<std::int16_t>(std::stoi(text)); };
    if (field == "op" || field == "hops") (field == "op" ? m.op : m.hops) = number();
    else if (field == "secs") m.secs = std::stoi(text);
    else (field == "ciaddr" ? m.ciaddr : field == "giaddr" ? m.giaddr : m.chaddr) = text;
    return m;
}

TEST(MessageEncoder, UnencodableFieldIsReportedWithItsText) {
    const std::pair<std::string, std::string> cases[] = {
        {"op", "256"}, {"hops", "-1"}, {"secs", "-1"}, {"ciaddr", "10.0.0.256"},
        {"giaddr", "1e999.0.0.0"}, {"chaddr", "00-A0-G9"}, {"chaddr", "100-00"},
        {"chaddr", "00--01"}, {"chaddr", "00-"}, {"chaddr", " 00"}, {"chaddr", "&H0A"},
        {"chaddr", "00-11-22-33-44-55-66-77-88-99-AA-BB-CC-DD-EE-FF-01"},
        {"chaddr", std::string(5000, 'F')}};
    for (const auto& [field, text] : cases) {
        const auto encoded = EncodeMessage(With(DiscoverRecord(), field, text));
        ASSERT_FALSE(encoded.ok()) << field << " " << text;
        EXPECT_EQ(std::tie(encoded.error().field, encoded.error().text), std::tie(field, text));
    }
    const auto several = With(With(DiscoverRecord(), "chaddr", "zz"), "giaddr", "999.0.0.0");
    EXPECT_EQ(EncodeMessage(With(several, "hops", "999")).error().field, "hops");
}

}  // namespace
}  // namespace tarnleaf
