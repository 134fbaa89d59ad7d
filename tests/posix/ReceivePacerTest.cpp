#include "ReceivePacer.h"

#include <gtest/gtest.h>

namespace tarnleaf {
namespace {

using namespace std::chrono_literals;
using Clock = ReceivePacer::Clock;

constexpr auto kWindow = ReceivePacer::kWindow;
constexpr auto kQuick = kWindow / 10;  // well within half a window

// A pacer fed takes on a made-up clock.
class ReceivePacerTest : public ::testing::Test {
protected:
    void Take(Clock::duration after, std::size_t count, bool filled = false) {
        now += after;
        pacer.Took(now, count, filled);
    }
    // Brings the pacer to gathering: the takes that start it, each quick after the last.
    void StartGathering() {
        Take(1s, 1);
        for (int i = 0; i < ReceivePacer::kQuickTakesToGather; ++i) Take(kQuick, 1);
        ASSERT_TRUE(pacer.GatherAfter().has_value());
    }

    ReceivePacer pacer;
    Clock::time_point now = Clock::time_point{} + 1h;
};

TEST_F(ReceivePacerTest, RequestsThatComeApartAreEachWaitedFor) {
    for (int i = 0; i < 20; ++i) {
        Take(kWindow / 2 + 1us, 1);
        EXPECT_FALSE(pacer.GatherAfter().has_value()) << i;
    }
}

// One slow arrival among quick ones, or a wait that ended empty, starts the count again.
TEST_F(ReceivePacerTest, GatheringStartsOnlyAfterQuickTakesInARow) {
    Take(1s, 1);
    for (int i = 1; i < ReceivePacer::kQuickTakesToGather; ++i) Take(kQuick, 1);
    Take(kWindow, 1);
    for (int i = 1; i < ReceivePacer::kQuickTakesToGather; ++i) Take(kQuick, 1);
    Take(kQuick, 0);
    for (int i = 1; i < ReceivePacer::kQuickTakesToGather; ++i) Take(kQuick, 1);
    EXPECT_FALSE(pacer.GatherAfter().has_value());
    Take(kQuick, 1);
    EXPECT_EQ(pacer.GatherAfter(), now + kWindow);
}

TEST_F(ReceivePacerTest, EachWindowStartsAtTheLastTake) {
    StartGathering();
    for (const auto late : {0us, 300us, 5000us}) {
        now = *pacer.GatherAfter() + late;
        pacer.Took(now, 7, false);
        EXPECT_EQ(pacer.GatherAfter(), now + kWindow) << late.count();
    }
}

// A full take may have left more behind: it is taken at once, and what that take finds says
// nothing of the rate.
TEST_F(ReceivePacerTest, AFullTakeIsFollowedAtOnceByAnother) {
    StartGathering();
    Take(kWindow, 32, true);
    const Clock::time_point full = now;
    EXPECT_LE(pacer.GatherAfter(), full);
    Take(10us, 32, true);
    EXPECT_LE(pacer.GatherAfter(), now);
    Take(10us, 0);
    EXPECT_EQ(pacer.GatherAfter(), full + kWindow);
}

TEST_F(ReceivePacerTest, AWindowWithOneRequestOrNoneEndsTheGathering) {
    for (const std::size_t yield : {0u, 1u}) {
        StartGathering();
        Take(kWindow, 2);
        ASSERT_TRUE(pacer.GatherAfter().has_value());
        Take(kWindow, yield);
        EXPECT_FALSE(pacer.GatherAfter().has_value()) << yield;
        // It starts again only after a new run of quick takes.
        Take(kQuick, 1);
        EXPECT_FALSE(pacer.GatherAfter().has_value()) << yield;
    }
}

}  // namespace
}  // namespace tarnleaf
