#include <gtest/gtest.h>

#include <vector>

#include "comms/delay_timer.h"
#include "support/fake_ui_host.h"

using namespace korvel;
using korvel::test::FakeUiHost;

TEST(DelayTimer, ZeroReturnsAtOnceWithoutDispatching) {
    FakeUiHost host;
    TDelayTimer t(host);
    t.Delay(0);
    EXPECT_EQ(host.ProcessEventsCalls(), 0u);
    EXPECT_EQ(host.TickCount(), 1000u);
}

TEST(DelayTimer, LastsItsLengthAlsoAcrossTheCounterWrap) {
    for (const uint32_t start : {1000u, 0xFFFFFFF0u, 0xFFFFFFFFu, 0u}) {
        FakeUiHost host(FakeUiHost::Clock::Fake, start);
        TDelayTimer t(host);
        std::vector<uint32_t> stillToGo;
        t.OnIdle = [&](TDelayTimer* s, uint32_t left) {
            EXPECT_TRUE(s->Busy());
            stillToGo.push_back(left);
            host.ProcessEvents(left < 30 ? left : 30);
        };
        t.Delay(100);
        EXPECT_EQ(host.TickCount() - start, 100u) << start;
        ASSERT_FALSE(stillToGo.empty());
        EXPECT_EQ(stillToGo.front(), 100u);
        EXPECT_FALSE(t.Busy());
    }
}

TEST(DelayTimer, NestedDelayMovesTheDeadlineAndReturnsAtOnce) {
    FakeUiHost host;
    TDelayTimer t(host);
    bool nestedDone = false;
    uint32_t nestedReturnedAt = 0;
    t.OnIdle = [&](TDelayTimer*, uint32_t) {
        if (!nestedDone && host.TickCount() >= 1010) {
            nestedDone = true;
            t.Delay(500);
            nestedReturnedAt = host.TickCount();
        }
        host.ProcessEvents(10);
    };
    t.Delay(50);
    EXPECT_EQ(nestedReturnedAt, 1010u);
    EXPECT_EQ(host.TickCount(), 1510u);
}

TEST(DelayTimer, AbortEndsTheRunningDelayOnlyAndEventsRunInside) {
    FakeUiHost host;
    TDelayTimer t(host);
    t.AbortDelay();  // nothing running: must not cut the next delay short
    int ran = 0;
    host.Post([&] { ++ran; });
    t.Delay(20);
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(host.TickCount(), 1020u);

    // An event handled inside the delay aborts it: the wait ends without using up its length.
    host.Post([&] { t.AbortDelay(); });
    t.Delay(10000);
    EXPECT_EQ(host.TickCount(), 1020u);
    EXPECT_FALSE(t.Busy());
    t.Delay(5);
    EXPECT_EQ(host.TickCount(), 1025u);
}

TEST(PassBudget, CountsPassesAndWallTime) {
    FakeUiHost host;
    TDelayTimer t(host);
    TPassBudget budget(t, 1000);
    const uint32_t start = host.TickCount();
    uint32_t passesAtTimeLimit = 0;
    while (!budget.Exhausted()) {
        budget.Pass();
        if (host.TickCount() - start < 15625) passesAtTimeLimit = budget.Passes();
    }
    // Without events a pass lasts one old tick: the passes and the wall time run out together.
    EXPECT_EQ(budget.Passes(), 1000u);
    EXPECT_GE(host.TickCount() - start, 15625u);
    EXPECT_LT(host.TickCount() - start, 15625u + 20);
    EXPECT_GE(passesAtTimeLimit, 999u);
}

TEST(PassBudget, EventsEndPassesEarlyButNotTheWait) {
    FakeUiHost host;
    TDelayTimer t(host);
    TPassBudget budget(t, 1000);
    const uint32_t start = host.TickCount();
    uint32_t events = 0;
    host.OnProcessEvents = [&] {
        if (events++ % 2 == 0) host.Post([] {});  // something to handle every other look
    };
    while (!budget.Exhausted()) budget.Pass();
    EXPECT_GE(host.TickCount() - start, 15625u);
    EXPECT_LT(host.TickCount() - start, 15625u + 20);
    EXPECT_GT(budget.Passes(), 1000u);
}

TEST(PassBudget, NestedInsideADelayCountsPassesOnly) {
    FakeUiHost host;
    TDelayTimer t(host);
    uint32_t passes = 0;
    uint32_t elapsed = 0;
    bool once = false;
    t.OnIdle = [&](TDelayTimer*, uint32_t) {
        if (!once) {
            once = true;
            const uint32_t s = host.TickCount();
            TPassBudget inner(t, 1000);
            while (!inner.Exhausted()) inner.Pass();
            passes = inner.Passes();
            elapsed = host.TickCount() - s;
        }
        host.ProcessEvents(1);
    };
    t.Delay(5);
    EXPECT_EQ(passes, 1000u);
    EXPECT_EQ(elapsed, 0u);
}
