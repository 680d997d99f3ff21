// Sentence assembly and checksum of the GPS receiver test, byte by byte as the line delivers them.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "devices/gps.h"
#include "stand_ins.h"

namespace {

const std::string kRmc = "GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A";
// The same sentence with W changed to E.
const std::string kRmcChanged =
    "GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,E*6A";

struct AssemblyCase {
    const char *name;
    std::string line;
    std::string printed;
    std::vector<int> results; // what the bytes did, GPS_PUT_NONE left out
};

std::vector<int> feed(GPS_PACKET *pkt, const std::string &bytes)
{
    std::vector<int> results;
    for (unsigned char c : bytes) {
        int r = gps_packet_put(pkt, c);
        if (r != GPS_PUT_NONE)
            results.push_back(r);
    }
    return results;
}

class GpsAssembly : public ::testing::TestWithParam<AssemblyCase>
{};

TEST_P(GpsAssembly, PrintsWhatTheReceiverTestPrints)
{
    const AssemblyCase &c = GetParam();
    GPS_PACKET pkt;
    gps_packet_reset(&pkt);
    std::vector<int> results;
    std::string printed;
    {
        ConsoleCapture out(stdout);
        results = feed(&pkt, c.line);
        printed = out.text();
    }
    EXPECT_EQ(printed, c.printed);
    EXPECT_EQ(results, c.results);
}

const std::string kOverlong = "$" + std::string(600, 'A');

INSTANTIATE_TEST_SUITE_P(
    Sentences, GpsAssembly,
    ::testing::Values(AssemblyCase{"ValidRmcPrintedOnce",
                                   "$" + kRmc + "\r\n",
                                   "GPS : [" + kRmc + "]\r\n",
                                   {GPS_PUT_VALID}},
                      AssemblyCase{"LowerCaseChecksumAndTwoInARow",
                                   "$GPGGA,1$23*4a\r\n$" + kRmc + "\r\n",
                                   "GPS : [GPGGA,1$23*4a]\r\nGPS : [" + kRmc + "]\r\n",
                                   {GPS_PUT_VALID, GPS_PUT_VALID}},
                      AssemblyCase{"OneCharacterChanged",
                                   "$" + kRmcChanged + "\r\n",
                                   "CRC: Checksum fail 0x78, 0x6a\nGPS : crc error!!\n",
                                   {GPS_PUT_CRC_ERROR}},
                      AssemblyCase{"NoStarGivesReceivedZero",
                                   "$GPRMC,123519,A\r\n",
                                   "CRC: Checksum fail 0x7, 0x0\nGPS : crc error!!\n",
                                   {GPS_PUT_CRC_ERROR}},
                      AssemblyCase{"EmptySentence",
                                   "$\r\n",
                                   "CRC: Checksum fail 0x0, 0x0\nGPS : crc error!!\n",
                                   {GPS_PUT_CRC_ERROR}},
                      AssemblyCase{"BytesBeforeDollarIgnored",
                                   "*6A\r\nxx,W\n\r12$" + kRmc + "\r\n",
                                   "GPS : [" + kRmc + "]\r\n",
                                   {GPS_PUT_VALID}},
                      AssemblyCase{"SecondDollarStoredAndSkipped",
                                   "$GPGGA,1$23*4A\r\n",
                                   "GPS : [GPGGA,1$23*4A]\r\n",
                                   {GPS_PUT_VALID}},
                      AssemblyCase{"ZeroBytesIgnored",
                                   std::string("$GPRMC,12\0"
                                               "3519,A*07\r",
                                               20),
                                   "GPS : [GPRMC,123519,A*07]\r\n",
                                   {GPS_PUT_VALID}},
                      AssemblyCase{"TextAfterChecksumNotPrinted",
                                   "$" + kRmc + "XYZ\r",
                                   "GPS : [" + kRmc + "]\r\n",
                                   {GPS_PUT_VALID}},
                      AssemblyCase{"LineFeedEndsLongSentenceUnchecked",
                                   "$GPRMC,123519,A*99\n$" + kRmc + "\r\n",
                                   "GPS : [" + kRmc + "]\r\n",
                                   {GPS_PUT_ABANDONED, GPS_PUT_VALID}},
                      AssemblyCase{"LineFeedAfterFewCharactersIsStored",
                                   "$AB\n*09\r",
                                   "GPS : [AB\n*09]\r\n",
                                   {GPS_PUT_VALID}},
                      AssemblyCase{"Overflow600OnceAndDropped",
                                   kOverlong,
                                   "GPS : exceeded GPS_MAX_PACKET_LEN\n",
                                   {GPS_PUT_OVERFLOW}},
                      AssemblyCase{"OverflowThenNextSentenceAfresh",
                                   kOverlong + "\r\n$" + kRmc + "\r\n",
                                   "GPS : exceeded GPS_MAX_PACKET_LEN\nGPS : [" + kRmc + "]\r\n",
                                   {GPS_PUT_OVERFLOW, GPS_PUT_VALID}},
                      AssemblyCase{"LongestSentenceFits",
                                   "$" + std::string(509, 'A') + "*41\r",
                                   "GPS : [" + std::string(509, 'A') + "*41]\r\n",
                                   {GPS_PUT_VALID}},
                      AssemblyCase{"OneCharacterTooMany",
                                   "$" + std::string(510, 'A') + "*00\r",
                                   "GPS : exceeded GPS_MAX_PACKET_LEN\n",
                                   {GPS_PUT_OVERFLOW}}),
    [](const ::testing::TestParamInfo<AssemblyCase> &info) { return info.param.name; });

struct ChecksumCase {
    const char *name;
    const char *text;
    int result;
    std::string printed;
};

class GpsChecksum : public ::testing::TestWithParam<ChecksumCase>
{};

TEST_P(GpsChecksum, ChecksNmeaChecksum)
{
    const ChecksumCase &c = GetParam();
    std::string printed;
    int result;
    {
        ConsoleCapture out(stdout);
        result = gps_check_CRC(c.text);
        printed = out.text();
    }
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(printed, c.printed);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, GpsChecksum,
    ::testing::Values(
        ChecksumCase{"Right", "GPRMC,123519,A*07", 1, ""},
        ChecksumCase{"DollarSkipped", "$A$B*03", 1, ""},
        ChecksumCase{"OnlyTwoDigitsRead", "AB*031", 1, ""},
        ChecksumCase{"Wrong", "GPRMC,123519,A*08", -1, "CRC: Checksum fail 0x7, 0x8\n"},
        ChecksumCase{"NotHex", "GPRMC,123519,A*G7", -1, "CRC: Checksum fail 0x7, 0x0\n"},
        ChecksumCase{"StarLast", "GPRMC,123519,A*", -1, "CRC: Checksum fail 0x7, 0x0\n"},
        ChecksumCase{"NoStarEvenIfZero", "AA", -1, "CRC: Checksum fail 0x0, 0x0\n"},
        ChecksumCase{"Null", nullptr, -1, "CRC: Buffer NULL\n"}),
    [](const ::testing::TestParamInfo<ChecksumCase> &info) { return info.param.name; });

} // namespace
