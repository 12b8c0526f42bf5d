// The shared encoder budget by itself: who gets a token, who waits, who must give one back, and
// that leaving gives everything back and wakes the rips that wait.
#include "cdrom/rip/DrainSignal.h"
#include "cdrom/rip/EncoderPool.h"
#include "core/foundation/Clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

using namespace tonvane;

namespace {

// A rip's side of the pool: its member and the signal its rip thread sleeps on.
struct Rip {
    explicit Rip(EncoderPool& pool) : member(std::make_unique<EncoderPool::Member>(pool, wake)) {}
    DrainSignal wake;
    std::unique_ptr<EncoderPool::Member> member;
};

} // namespace

TEST(EncoderPool, TokensGoFirstToTheRipsThatHoldFewest)
{
    // Each step: which rip acts, what it does, what it must be told, and the pool after it.
    enum class Act { Acquire, Release, Withdraw };
    struct Step {
        int rip;
        Act act;
        bool granted; // for Acquire
        int inUse, waiting;
    };
    const Step steps[] = {
        {0, Act::Acquire, true, 1, 0},
        {0, Act::Acquire, true, 2, 0}, // nobody waits: a second lane is fine
        {1, Act::Acquire, false, 2, 1}, // none free: rip 1 waits with none
        {2, Act::Acquire, false, 2, 2}, // rip 2 waits behind rip 1
        {0, Act::Release, false, 1, 2},
        {0, Act::Acquire, false, 1, 3}, // rip 0 holds one: the rips with none go first
        {2, Act::Acquire, false, 1, 3}, // rip 1 waited longer with as few
        {1, Act::Acquire, true, 2, 2},
        {0, Act::Withdraw, false, 2, 1},
        {1, Act::Release, false, 1, 1},
        {1, Act::Acquire, false, 1, 2}, // rip 2 (none) is ahead of rip 1 (none, refused later)
        {2, Act::Acquire, true, 2, 1},
    };
    EncoderPool pool(2);
    Rip rips[] = {Rip(pool), Rip(pool), Rip(pool)};
    int n = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE("step " + std::to_string(++n));
        EncoderPool::Member& member = *rips[step.rip].member;
        if (step.act == Act::Acquire)
            EXPECT_EQ(member.tryAcquire(), step.granted);
        else if (step.act == Act::Release)
            member.release();
        else
            member.withdraw();
        EncoderPool::Counts counts = pool.counts();
        EXPECT_EQ(counts.inUse, step.inUse);
        EXPECT_EQ(counts.waiting, step.waiting);
        EXPECT_EQ(counts.members, 3);
        EXPECT_LE(counts.highWater, 2);
    }
    EXPECT_EQ(pool.counts().highWater, 2);
    EXPECT_EQ(rips[0].member->held(), 1);
    EXPECT_EQ(rips[1].member->held(), 0);
    EXPECT_EQ(rips[2].member->held(), 1);
}

TEST(EncoderPool, ALaneGivesWayOnlyToARipWaitingWithFewerTokens)
{
    EncoderPool pool(3);
    Rip a(pool), b(pool), c(pool);
    ASSERT_TRUE(a.member->tryAcquire());
    ASSERT_TRUE(a.member->tryAcquire());
    ASSERT_TRUE(b.member->tryAcquire());
    EXPECT_FALSE(a.member->shouldYield()); // nobody waits
    EXPECT_FALSE(b.member->tryAcquire()); // b waits for a second one, holding one
    EXPECT_TRUE(a.member->shouldYield()); // b holds one, a two
    EXPECT_FALSE(b.member->shouldYield());
    b.member->withdraw();
    EXPECT_FALSE(a.member->shouldYield());
    EXPECT_FALSE(c.member->tryAcquire()); // c waits with none
    EXPECT_TRUE(a.member->shouldYield());
    EXPECT_TRUE(b.member->shouldYield()); // even one token: c has none
    EXPECT_FALSE(c.member->shouldYield());
}

TEST(EncoderPool, ReleasingAndLeavingWakeOnlyTheRipsThatWait)
{
    EncoderPool pool(1);
    Rip a(pool), b(pool), c(pool);
    ASSERT_TRUE(a.member->tryAcquire());
    ASSERT_FALSE(b.member->tryAcquire());
    uint32_t bSeen = b.wake.count(), cSeen = c.wake.count();
    a.member->release();
    EXPECT_NE(b.wake.count(), bSeen); // b sleeps in its rotation: it must look again
    EXPECT_EQ(c.wake.count(), cSeen); // c did not ask

    ASSERT_TRUE(b.member->tryAcquire());
    ASSERT_FALSE(c.member->tryAcquire());
    cSeen = c.wake.count();
    b.member.reset(); // a rip that ends or is cancelled while it holds its token
    EXPECT_NE(c.wake.count(), cSeen);
    EncoderPool::Counts counts = pool.counts();
    EXPECT_EQ(counts.inUse, 0);
    EXPECT_EQ(counts.members, 2);
    EXPECT_TRUE(c.member->tryAcquire());
}

TEST(EncoderPool, AWaitingRipThatWithdrawsNoLongerHoldsBackTheOthers)
{
    EncoderPool pool(3);
    Rip a(pool), b(pool), c(pool);
    ASSERT_TRUE(a.member->tryAcquire());
    ASSERT_TRUE(b.member->tryAcquire());
    ASSERT_TRUE(c.member->tryAcquire());
    ASSERT_FALSE(a.member->tryAcquire()); // a wants a second lane
    c.member->release();
    EXPECT_FALSE(b.member->tryAcquire()); // a, as many and earlier, is ahead of b
    a.member->withdraw(); // its encoder caught up
    EXPECT_TRUE(b.member->tryAcquire());
    EXPECT_EQ(pool.counts().waiting, 0);
    EXPECT_EQ(b.member->held(), 2);
}

TEST(EncoderPool, ReleasingWithoutATokenChangesNothingAndSizeIsAtLeastOne)
{
    EncoderPool pool(0);
    EXPECT_EQ(pool.size(), 1);
    Rip a(pool);
    a.member->release();
    EXPECT_EQ(pool.counts().inUse, 0);
    EXPECT_TRUE(a.member->tryAcquire());
    EXPECT_FALSE(a.member->tryAcquire());
    EXPECT_EQ(pool.counts().inUse, 1);
}

TEST(EncoderPool, ThePoolWaitsForItsLastMemberBeforeItGoes)
{
    auto pool = std::make_unique<EncoderPool>(1);
    std::atomic<bool> joined{false}, left{false};
    std::thread rip([&] {
        Rip member(*pool);
        EXPECT_TRUE(member.member->tryAcquire());
        joined.store(true);
        sleepMs(50); // still ripping while the pool is being destroyed
        left.store(true);
    });
    while (!joined.load())
        sleepMs(1);
    pool.reset();
    EXPECT_TRUE(left.load());
    rip.join();
}
