#include "diskwriter/timing_report.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(TimingReport, TenSecondsOfAudioInTwoAndAHalfSecondsIsFourTimesRealTime) {
    EXPECT_EQ(FormatTimingReport(480000, 48000, 2500),
              "Encoding took 2500 milliseconds, speed 4.00x");
}

TEST(TimingReport, HundredthsAreTruncatedNotRounded) {
    EXPECT_EQ(FormatTimingReport(480000, 48000, 8000),
              "Encoding took 8000 milliseconds, speed 1.25x");
    // 10000 / 9524 = 1.04998...: 104 hundredths.
    EXPECT_EQ(SpeedHundredths(10000.0, 9524), 104);
    EXPECT_EQ(FormatTimingReport(480000, 48000, 9524),
              "Encoding took 9524 milliseconds, speed 1.04x");
}

TEST(TimingReport, HundredthsBelowTenKeepTheirLeadingZero) {
    // 578400 frames at 48000 Hz are 12050 ms of audio.
    EXPECT_EQ(FormatTimingReport(578400, 48000, 1000),
              "Encoding took 1000 milliseconds, speed 12.05x");
    EXPECT_EQ(FormatTimingReport(44100, 44100, 1000),
              "Encoding took 1000 milliseconds, speed 1.00x");
}

TEST(TimingReport, SaysNothingWithoutAudioOrWithoutTime) {
    EXPECT_EQ(FormatTimingReport(0, 0, 1000), "") << "no chunk at all: 0 / 0";
    EXPECT_EQ(FormatTimingReport(0, 44100, 1000), "");
    EXPECT_EQ(FormatTimingReport(44100, 44100, 0), "");
    EXPECT_EQ(FormatTimingReport(44100, 0, 1000), "") << "a rate of 0 gives no speed";
    EXPECT_EQ(FormatTimingReport(44100, -8000, 1000), "");
}

TEST(TimingReport, SpeedsBeyondTheCounterAreHeldAtItsEnd) {
    EXPECT_EQ(SpeedHundredths(1e300, 1), std::numeric_limits<std::int32_t>::max());
    // Ten hours of audio in one millisecond still gives a line.
    EXPECT_FALSE(FormatTimingReport(std::int64_t{44100} * 36000, 44100, 1).empty());
}

TEST(TimingReport, ElapsedTimeSurvivesOneWrapOfTheTickCounter) {
    EXPECT_EQ(ElapsedTicks(1000, 3500), 2500u);
    EXPECT_EQ(ElapsedTicks(0xFFFFFF00u, 0x100u), 0x200u);
    EXPECT_EQ(ElapsedTicks(7, 7), 0u);
}

} // namespace
