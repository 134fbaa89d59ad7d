#include "protocol/MessageCodec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/GoldenMessages.h"

namespace tarnleaf {
namespace {

using Bytes = std::vector<std::uint8_t>;
using golden::kOffsetChaddr;
using golden::kOffsetCiaddr;
using golden::kOffsetFile;
using golden::kOffsetSname;

Bytes EncodeOk(const BootpMessage& message) {
    auto encoded = EncodeMessage(message);
    EXPECT_TRUE(encoded.ok()) << "field " << (encoded.ok() ? "" : encoded.error().field);
    return encoded.ok() ? encoded.value() : Bytes{};
}

// ---------------------------------------------------------------------------------------------
// Golden images: decode to the expected record, encode back byte for byte.

struct GoldenCase {
    const char* name;
    Bytes image;
    BootpMessage record;
};

class GoldenImage : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenImage, DecodesToTheExpectedRecord) {
    EXPECT_EQ(DecodeMessage(GetParam().image), GetParam().record);
}

TEST_P(GoldenImage, EncodesBackByteForByte) {
    EXPECT_EQ(EncodeOk(GetParam().record), GetParam().image);
}

INSTANTIATE_TEST_SUITE_P(
    MessageShapes, GoldenImage,
    ::testing::Values(
        GoldenCase{"Discover", golden::Bytes(golden::kDiscoverImage), golden::DiscoverRecord()},
        GoldenCase{"Request", golden::Bytes(golden::kRequestImage), golden::RequestRecord()},
        GoldenCase{"PlainBootp", golden::Bytes(golden::kBootpRequestImage),
                   golden::BootpRequestRecord()}),
    [](const auto& p) { return std::string(p.param.name); });

// ---------------------------------------------------------------------------------------------
// Decoding

class MessageDecoder : public ::testing::Test {
protected:
    Bytes image_ = golden::Bytes(golden::kDiscoverImage);
};

TEST_F(MessageDecoder, DatagramUnderMinimumGivesTheEmptyRecord) {
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{236}, std::size_t{299}}) {
        EXPECT_EQ(DecodeMessage(std::span(image_).first(size)), BootpMessage{}) << size;
    }
}

TEST_F(MessageDecoder, MinimumDatagramGivesA64ByteOptionArea) {
    const auto message = DecodeMessage(image_);
    EXPECT_EQ(message.chaddr, "00-A0-C9-12-34-56");
    EXPECT_EQ(message.options.size(), 64u);
}

TEST_F(MessageDecoder, LargestUdpPayloadKeepsEveryOptionByte) {
    Bytes big(65507, 0xEE);
    std::copy(image_.begin(), image_.begin() + golden::kOffsetOptions, big.begin());
    const auto message = DecodeMessage(big);
    ASSERT_EQ(message.options.size(), 65507u - 236u);
    EXPECT_EQ(message.options.front(), 0xEE);
    EXPECT_EQ(message.options.back(), 0xEE);
    EXPECT_EQ(EncodeOk(message), big);
}

TEST_F(MessageDecoder, SecondsAreReadMostSignificantByteFirst) {
    image_[8] = 0x80;
    image_[9] = 0x00;
    EXPECT_EQ(DecodeMessage(image_).secs, 32768);
    image_[8] = 0xFF;
    image_[9] = 0xFF;
    EXPECT_EQ(DecodeMessage(image_).secs, 65535);
}

TEST_F(MessageDecoder, AddressesAreDottedDecimalWithoutLeadingZeros) {
    const std::uint8_t bytes[] = {192, 168, 0, 1, 0, 0, 0, 0, 255, 255, 255, 255, 10, 0, 7, 99};
    std::copy(std::begin(bytes), std::end(bytes), image_.begin() + kOffsetCiaddr);
    const auto message = DecodeMessage(image_);
    EXPECT_EQ(message.ciaddr, "192.168.0.1");
    EXPECT_EQ(message.yiaddr, "0.0.0.0");
    EXPECT_EQ(message.siaddr, "255.255.255.255");
    EXPECT_EQ(message.giaddr, "10.0.7.99");
}

TEST_F(MessageDecoder, NameWithoutZeroByteKeepsTheWholeField) {
    std::fill_n(image_.begin() + kOffsetSname, 64, 'S');
    std::fill_n(image_.begin() + kOffsetFile, 128, 'F');
    const auto message = DecodeMessage(image_);
    EXPECT_EQ(message.sname, std::string(64, 'S'));
    EXPECT_EQ(message.file, std::string(128, 'F'));
    EXPECT_EQ(message.options, golden::OptionArea(golden::kDiscoverImage));
}

TEST_F(MessageDecoder, NameEndsAtTheFirstZeroByte) {
    const char text[] = "host\0junk";
    std::copy(std::begin(text), std::end(text) - 1, image_.begin() + kOffsetSname);
    EXPECT_EQ(DecodeMessage(image_).sname, "host");
    image_[kOffsetSname] = 0;
    EXPECT_EQ(DecodeMessage(image_).sname, "");
}

TEST_F(MessageDecoder, EightBitNameBytesPassUnconverted) {
    image_[kOffsetFile] = 0xB0;
    image_[kOffsetFile + 1] = 0xFF;
    EXPECT_EQ(DecodeMessage(image_).file, "\xB0\xFF");
}

TEST_F(MessageDecoder, ContentIsNeverValidated) {
    Bytes junk(300, 0xFF);
    const auto message = DecodeMessage(junk);
    EXPECT_EQ(message.op, 255);
    EXPECT_EQ(message.hlen, 255);
    EXPECT_EQ(message.ciaddr, "255.255.255.255");
    EXPECT_EQ(message.sname, std::string(64, '\xFF'));
    EXPECT_EQ(message.options, Bytes(64, 0xFF));
}

// The hardware address shows hlen pairs; a length of 0 or beyond the field shows all 16.
struct HlenCase {
    int hlen;
    std::string chaddr;
};

class HardwareAddressLength : public ::testing::TestWithParam<HlenCase> {};

TEST_P(HardwareAddressLength, DecodesThatManyPairs) {
    Bytes image = golden::Bytes(golden::kDiscoverImage);
    for (std::size_t i = 0; i < 16; ++i) image[kOffsetChaddr + i] = static_cast<std::uint8_t>(i * 17);
    image[golden::kOffsetHlen] = static_cast<std::uint8_t>(GetParam().hlen);
    EXPECT_EQ(DecodeMessage(image).chaddr, GetParam().chaddr);
}

const std::string kAllPairs = "00-11-22-33-44-55-66-77-88-99-AA-BB-CC-DD-EE-FF";

INSTANTIATE_TEST_SUITE_P(Lengths, HardwareAddressLength,
                         ::testing::Values(HlenCase{0, kAllPairs}, HlenCase{1, "00"},
                                           HlenCase{6, "00-11-22-33-44-55"},
                                           HlenCase{15, kAllPairs.substr(0, 44)},
                                           HlenCase{16, kAllPairs}, HlenCase{17, kAllPairs},
                                           HlenCase{20, kAllPairs}, HlenCase{255, kAllPairs}),
                         [](const auto& p) { return "Hlen" + std::to_string(p.param.hlen); });

// ---------------------------------------------------------------------------------------------
// Round trip: decode then encode gives the datagram back except where the record's text
// forms cannot carry the bytes.

class RoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(RoundTrip, ChaddrBytesBeyondHlenBecomeZero) {
    const int hlen = GetParam();
    Bytes image = golden::Bytes(golden::kDiscoverImage);
    image[golden::kOffsetHlen] = static_cast<std::uint8_t>(hlen);
    for (std::size_t i = 0; i < 16; ++i) image[kOffsetChaddr + i] = static_cast<std::uint8_t>(0xA0 + i);

    Bytes expected = image;
    const std::size_t kept = (hlen >= 1 && hlen <= 16) ? static_cast<std::size_t>(hlen) : 16;
    std::fill(expected.begin() + kOffsetChaddr + kept, expected.begin() + kOffsetChaddr + 16, 0);

    EXPECT_EQ(EncodeOk(DecodeMessage(image)), expected);
}

INSTANTIATE_TEST_SUITE_P(EveryLength, RoundTrip, ::testing::Range(0, 21));

TEST(RoundTripNames, BytesAfterTheFirstZeroBecomeZero) {
    Bytes image = golden::Bytes(golden::kBootpRequestImage);
    image[kOffsetFile + 10] = 'x';  // after "vmunix\0"
    image[kOffsetSname + 1] = 'y';  // after an empty name
    const Bytes expected = golden::Bytes(golden::kBootpRequestImage);
    EXPECT_EQ(EncodeOk(DecodeMessage(image)), expected);
}

TEST(RoundTripNames, FullLengthNamesLoseTheirLastByte) {
    Bytes image = golden::Bytes(golden::kDiscoverImage);
    std::fill_n(image.begin() + kOffsetSname, 64, 'S');
    std::fill_n(image.begin() + kOffsetFile, 128, 'F');
    Bytes expected = image;
    expected[kOffsetSname + 63] = 0;
    expected[kOffsetFile + 127] = 0;
    EXPECT_EQ(EncodeOk(DecodeMessage(image)), expected);
}

TEST(RoundTripNames, EveryOtherByteOfArbitraryContentSurvives) {
    Bytes image(400);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(i * 7 + 1);
    image[golden::kOffsetHlen] = 16;
    image[kOffsetSname + 5] = 0;
    image[kOffsetFile + 9] = 0;
    Bytes expected = image;
    std::fill(expected.begin() + kOffsetSname + 5, expected.begin() + kOffsetSname + 64, 0);
    std::fill(expected.begin() + kOffsetFile + 9, expected.begin() + kOffsetFile + 128, 0);
    EXPECT_EQ(EncodeOk(DecodeMessage(image)), expected);
}

// ---------------------------------------------------------------------------------------------
// Encoding

class MessageEncoder : public ::testing::Test {
protected:
    BootpMessage message_ = golden::DiscoverRecord();

    Bytes Field(std::size_t offset, std::size_t size) {
        const Bytes bytes = EncodeOk(message_);
        if (bytes.size() < offset + size) return {};
        return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                     bytes.begin() + static_cast<std::ptrdiff_t>(offset + size));
    }
};

TEST_F(MessageEncoder, SizeIsHeaderPlusOptionBytes) {
    message_.options.assign(64, 0);
    EXPECT_EQ(EncodeOk(message_).size(), 300u);
    message_.options.assign(312, 0);
    EXPECT_EQ(EncodeOk(message_).size(), 548u);
    message_.options.clear();
    EXPECT_EQ(EncodeOk(message_).size(), 236u);
}

TEST_F(MessageEncoder, EmptyRecordIsAllZeroHeader) {
    EXPECT_EQ(EncodeOk(BootpMessage{}), Bytes(236, 0));
}

TEST_F(MessageEncoder, SecondsBeyond16BitsKeepTheirLowPart) {
    message_.secs = 65536 + 0x1234;
    EXPECT_EQ(Field(8, 2), (Bytes{0x12, 0x34}));
    message_.secs = 65535;
    EXPECT_EQ(Field(8, 2), (Bytes{0xFF, 0xFF}));
}

struct AddressCase {
    const char* name;
    std::string text;
    Bytes bytes;
};

class AddressText : public ::testing::TestWithParam<AddressCase> {};

TEST_P(AddressText, IsReadLeniently) {
    BootpMessage message = golden::DiscoverRecord();
    message.ciaddr = GetParam().text;
    message.giaddr = GetParam().text;
    const Bytes bytes = EncodeOk(message);
    ASSERT_EQ(bytes.size(), 300u);
    EXPECT_EQ(Bytes(bytes.begin() + 12, bytes.begin() + 16), GetParam().bytes);
    EXPECT_EQ(Bytes(bytes.begin() + 24, bytes.begin() + 28), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, AddressText,
    ::testing::Values(AddressCase{"Plain", "192.168.0.1", {192, 168, 0, 1}},
                      AddressCase{"SpacesAround", " 10 . 1 . 2 . 3 ", {10, 1, 2, 3}},
                      AddressCase{"ThreeNumbers", "10.0.0", {10, 0, 0, 0}},
                      AddressCase{"FiveNumbers", "1.2.3.4.5", {1, 2, 3, 4}},
                      AddressCase{"Empty", "", {0, 0, 0, 0}},
                      AddressCase{"NonNumericPieceIsZero", "10.x.2.3", {10, 0, 2, 3}},
                      AddressCase{"TrailingLetters", "10a.1b.2c.3d", {10, 1, 2, 3}},
                      AddressCase{"LeadingZerosAreDecimal", "010.001.000.009", {10, 1, 0, 9}},
                      AddressCase{"ExponentPiece", "1e2.2E1.0.1", {100, 20, 0, 1}},
                      AddressCase{"HexPiece", "&HC0.&HA8.0.1", {192, 168, 0, 1}},
                      AddressCase{"RestAfterFourthDotIgnored", "1.2.3.4.999.junk", {1, 2, 3, 4}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(MessageEncoder, HardwareAddressPiecesAreHexInEitherCase) {
    message_.chaddr = "0a-1B";
    Bytes expected(16, 0);
    expected[0] = 0x0A;
    expected[1] = 0x1B;
    EXPECT_EQ(Field(28, 16), expected);
}

TEST_F(MessageEncoder, HardwareAddressAcceptsSingleDigitsAndSixteenPairs) {
    message_.chaddr = "7-0-F";
    EXPECT_EQ(Field(28, 3), (Bytes{0x07, 0x00, 0x0F}));
    message_.chaddr = "00-11-22-33-44-55-66-77-88-99-AA-BB-CC-DD-EE-FF";
    Bytes all(16);
    for (std::size_t i = 0; i < 16; ++i) all[i] = static_cast<std::uint8_t>(i * 17);
    EXPECT_EQ(Field(28, 16), all);
}

TEST_F(MessageEncoder, LongNamesAreCutToLeaveAZeroByte) {
    message_.sname = std::string(70, 's');
    message_.file = std::string(200, 'f');
    const Bytes bytes = EncodeOk(message_);
    ASSERT_EQ(bytes.size(), 300u);
    EXPECT_EQ(Bytes(bytes.begin() + 44, bytes.begin() + 107), Bytes(63, 's'));
    EXPECT_EQ(bytes[107], 0);
    EXPECT_EQ(Bytes(bytes.begin() + 108, bytes.begin() + 235), Bytes(127, 'f'));
    EXPECT_EQ(bytes[235], 0);
    EXPECT_EQ(bytes[236], 0x63);  // the option area starts where it should
}

TEST_F(MessageEncoder, OptionAreaIsSentExactlyAsHeld) {
    message_.options = {1, 2, 3};  // no cookie, no end mark, no padding added
    const Bytes bytes = EncodeOk(message_);
    EXPECT_EQ(Bytes(bytes.begin() + 236, bytes.end()), (Bytes{1, 2, 3}));
}

// Values that can only come from a bad profile: reported with the field and its text, and
// nothing is sent half-built.
struct FaultCase {
    const char* name;
    void (*spoil)(BootpMessage&);
    std::string field;
    std::string text;
};

class EncodeFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(EncodeFault, IsReportedWithFieldAndText) {
    BootpMessage message = golden::DiscoverRecord();
    GetParam().spoil(message);
    const auto encoded = EncodeMessage(message);
    ASSERT_FALSE(encoded.ok());
    EXPECT_EQ(encoded.error().field, GetParam().field);
    EXPECT_EQ(encoded.error().text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    BadProfileValues, EncodeFault,
    ::testing::Values(
        FaultCase{"OpAbove255", [](BootpMessage& m) { m.op = 256; }, "op", "256"},
        FaultCase{"OpNegative", [](BootpMessage& m) { m.op = -1; }, "op", "-1"},
        FaultCase{"HtypeNegative", [](BootpMessage& m) { m.htype = -32768; }, "htype", "-32768"},
        FaultCase{"HlenAbove255", [](BootpMessage& m) { m.hlen = 32767; }, "hlen", "32767"},
        FaultCase{"HopsAbove255", [](BootpMessage& m) { m.hops = 300; }, "hops", "300"},
        FaultCase{"SecsNegative", [](BootpMessage& m) { m.secs = -1; }, "secs", "-1"},
        FaultCase{"SecsMostNegative", [](BootpMessage& m) { m.secs = INT32_MIN; }, "secs",
                  "-2147483648"},
        FaultCase{"CiaddrPieceAbove255", [](BootpMessage& m) { m.ciaddr = "10.0.0.256"; },
                  "ciaddr", "10.0.0.256"},
        FaultCase{"YiaddrExponentAbove255", [](BootpMessage& m) { m.yiaddr = "1e3.0.0.1"; },
                  "yiaddr", "1e3.0.0.1"},
        FaultCase{"SiaddrNegativePiece", [](BootpMessage& m) { m.siaddr = "-1.0.0.0"; },
                  "siaddr", "-1.0.0.0"},
        FaultCase{"GiaddrHugeExponent", [](BootpMessage& m) { m.giaddr = "1e999.0.0.0"; },
                  "giaddr", "1e999.0.0.0"},
        FaultCase{"ChaddrNotHex", [](BootpMessage& m) { m.chaddr = "00-A0-G9"; }, "chaddr",
                  "00-A0-G9"},
        FaultCase{"ChaddrPieceAbove255", [](BootpMessage& m) { m.chaddr = "100-00"; }, "chaddr",
                  "100-00"},
        FaultCase{"ChaddrEmptyPiece", [](BootpMessage& m) { m.chaddr = "00--01"; }, "chaddr",
                  "00--01"},
        FaultCase{"ChaddrTrailingDash", [](BootpMessage& m) { m.chaddr = "00-"; }, "chaddr",
                  "00-"},
        FaultCase{"ChaddrSpacesAreNotTrimmed", [](BootpMessage& m) { m.chaddr = " 00"; },
                  "chaddr", " 00"},
        FaultCase{"ChaddrHexPrefix", [](BootpMessage& m) { m.chaddr = "&H0A"; }, "chaddr",
                  "&H0A"},
        FaultCase{"ChaddrSeventeenPairs",
                  [](BootpMessage& m) { m.chaddr = "00-11-22-33-44-55-66-77-88-99-AA-BB-CC-DD-EE-FF-01"; },
                  "chaddr", "00-11-22-33-44-55-66-77-88-99-AA-BB-CC-DD-EE-FF-01"},
        FaultCase{"ChaddrOverlongDigits",
                  [](BootpMessage& m) { m.chaddr = std::string(5000, 'F'); }, "chaddr",
                  std::string(5000, 'F')}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(EncodeFaultReport, FirstBadFieldInWireOrderIsNamed) {
    BootpMessage message = golden::DiscoverRecord();
    message.chaddr = "zz";
    message.giaddr = "999.0.0.0";
    message.hops = 999;
    const auto encoded = EncodeMessage(message);
    ASSERT_FALSE(encoded.ok());
    EXPECT_EQ(encoded.error().field, "hops");
}

TEST(EncodeFaultReport, LeadingZerosInChaddrPieceAreAccepted) {
    BootpMessage message = golden::DiscoverRecord();
    message.chaddr = "000A";
    EXPECT_TRUE(EncodeMessage(message).ok());
}

}  // namespace
}  // namespace tarnleaf
