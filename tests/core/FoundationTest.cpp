#include "core/foundation/Clock.h"
#include "core/foundation/ErrorCode.h"
#include "core/foundation/Event.h"
#include "core/foundation/Foundation.h"
#include "core/foundation/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <unistd.h>
#include <cerrno>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace tonvane;

TEST(ErrorCode, SystemErrorsBecomeWin32StyleCodes)
{
    EXPECT_EQ(errorFromSystem(0), 0u);
    EXPECT_EQ(errorFromSystem(2), 0x80070002u);
    EXPECT_EQ(errorFromSystem(0x12345678), 0x80075678u); // only the low 16 bits survive
    errno = EACCES;
    EXPECT_EQ(lastError(), 0x80070000u | EACCES);
}

namespace {
std::vector<int>* g_order;
template <int N>
void record()
{
    g_order->push_back(N);
}
} // namespace

TEST(ExitCallbackList, RunsInRegistrationOrderAndRefusesThe65th)
{
    std::vector<int> order;
    g_order = &order;
    ExitCallbackList list;
    EXPECT_EQ(list.add(record<1>), 0);
    EXPECT_EQ(list.add(record<2>), 0);
    for (int i = 2; i < 64; ++i)
        EXPECT_EQ(list.add(record<3>), 0);
    EXPECT_EQ(list.size(), 64u);
    EXPECT_EQ(list.add(record<4>), 1); // 65th refused ...
    EXPECT_EQ(list.add(record<4>), 1); // ... and the lock was released: the next call returns too
    // Another thread can still take the lock after the refusals.
    int fromThread = -1;
    std::thread other([&] { fromThread = list.add(record<4>); });
    other.join();
    EXPECT_EQ(fromThread, 1);

    list.runAll();
    ASSERT_EQ(order.size(), 64u);
    EXPECT_EQ(order[0], 1);
    EXPECT_EQ(order[1], 2);
    EXPECT_EQ(order[63], 3);
    EXPECT_EQ(list.size(), 0u);
}

TEST(ExitCallbackList, ConcurrentRegistrationsLoseNothing)
{
    ExitCallbackList list;
    std::atomic<int> accepted{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 40; ++i)
                if (list.add(+[] {}) == 0)
                    ++accepted;
        });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(accepted.load(), 64);
    EXPECT_EQ(list.size(), 64u);
}

TEST(Event, IsAutoResetAndTimesOut)
{
    Event event;
    EXPECT_FALSE(event.waitFor(std::chrono::milliseconds(20)));
    event.set();
    EXPECT_TRUE(event.waitFor(std::chrono::milliseconds(0)));
    EXPECT_FALSE(event.isSet()); // the successful wait consumed it
    EXPECT_FALSE(event.waitFor(std::chrono::milliseconds(10)));
    event.set();
    event.reset();
    EXPECT_FALSE(event.waitFor(std::chrono::milliseconds(0)));
}

TEST(Event, WakesAWaiterOnAnotherThread)
{
    Event ready, done;
    std::thread worker([&] {
        ready.wait();
        done.set();
    });
    ready.set();
    EXPECT_TRUE(done.waitFor(std::chrono::seconds(10)));
    worker.join();
}

TEST(Event, EachSetReleasesOneWaiterOnly)
{
    constexpr int kWaiters = 4;
    Event event;
    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < kWaiters; ++i)
        waiters.emplace_back([&] {
            event.wait();
            released.fetch_add(1);
        });
    for (int expected = 1; expected <= kWaiters; ++expected) {
        event.set();
        for (int waited = 0; released.load() < expected && waited < 10000; ++waited)
            sleepMs(1);
        ASSERT_EQ(released.load(), expected);
        sleepMs(30); // a second waiter let through by the same set would show up by now
        EXPECT_EQ(released.load(), expected);
    }
    for (auto& waiter : waiters)
        waiter.join();
    EXPECT_FALSE(event.isSet());
}

TEST(Event, PingPongLosesNoWakeUp)
{
    // Two threads hand a turn back and forth; a lost wake-up leaves one of them waiting forever,
    // which the time-out turns into a failure instead of a hang.
    constexpr int kTurns = 20000;
    Event ping, pong;
    std::atomic<bool> stuck{false};
    std::thread partner([&] {
        for (int i = 0; i < kTurns && !stuck.load(); ++i) {
            if (!ping.waitFor(std::chrono::seconds(10))) {
                stuck.store(true);
                return;
            }
            pong.set();
        }
    });
    int turns = 0;
    for (; turns < kTurns; ++turns) {
        ping.set();
        if (!pong.waitFor(std::chrono::seconds(10)))
            break;
    }
    stuck.store(turns < kTurns);
    ping.set();
    partner.join();
    EXPECT_EQ(turns, kTurns);
}

TEST(Event, WaiterMayDestroyTheEventAsSoonAsItWakes)
{
    // The setter must not touch the event after the waiter can see it set (AddressSanitizer
    // reports the use after free otherwise).
    // Odd rounds watch for the flag before waiting, so the event dies while set() may still run.
    for (int round = 0; round < 4000; ++round) {
        auto* event = new Event;
        std::thread setter([event] { event->set(); });
        if (round % 2 == 1)
            while (!event->isSet())
                std::this_thread::yield();
        event->wait();
        delete event;
        setter.join();
    }
}

TEST(Event, SpinThenWaitConsumesASetBeforeOrAfterTheSpin)
{
    Event event;
    event.set();
    event.spinThenWait(1000000); // already set: returns at once and consumes it
    EXPECT_FALSE(event.isSet());
    for (int setAfterMs : {0, 30}) { // within the 5 ms spin, then long after it (asleep)
        std::thread setter([&] {
            sleepMs(static_cast<uint32_t>(setAfterMs));
            event.set();
        });
        event.spinThenWait(5000000);
        setter.join();
        EXPECT_FALSE(event.isSet());
    }
}

TEST(Event, HugeTimeOutWaitsUntilSet)
{
    Event event;
    std::thread setter([&] {
        sleepMs(20);
        event.set();
    });
    EXPECT_TRUE(event.waitFor(std::chrono::milliseconds::max()));
    setter.join();
}

namespace {
struct Params {
    std::string text;
    int* result;
    Event* finished;
};
void copyingRoutine(Params params)
{
    sleepMs(20); // the starter's block is long gone by now
    *params.result = static_cast<int>(params.text.size());
    params.finished->set();
}
} // namespace

TEST(Thread, StarterReturnsOnlyAfterTheThreadCopiedItsParameters)
{
    int result = 0;
    Event finished;
    Thread thread;
    {
        Params params{std::string(1000, 'x'), &result, &finished};
        ASSERT_EQ(startThreadWithCopy(thread, copyingRoutine, params), kSuccess);
        params.text.assign("overwritten"); // the thread holds its own copy already
    }
    ASSERT_TRUE(finished.waitFor(std::chrono::seconds(10)));
    thread.join();
    EXPECT_EQ(result, 1000);
    EXPECT_FALSE(thread.joinable());
}

TEST(Thread, StackSizeIsHonouredAndDestructorJoins)
{
    std::atomic<bool> ran{false};
    {
        Thread thread;
        auto routine = [](void* flag) -> void* {
            char big[200 * 1024]; // fits only in a stack larger than a tiny default
            big[0] = 1;
            static_cast<std::atomic<bool>*>(flag)->store(big[0] == 1);
            return nullptr;
        };
        ASSERT_EQ(startThread(thread, routine, &ran, 1 << 20), kSuccess);
    } // joined here
    EXPECT_TRUE(ran.load());
}

TEST(Clock, TicksMoveForwardAndProcessorsAreCounted)
{
    uint64_t before = tickCountMs();
    sleepMs(15);
    EXPECT_GE(tickCountMs() - before, 15u);
    EXPECT_GE(processorCount(), 1u);
}

TEST(Thread, ProcessorPlacementFollowsTheAllowedSet)
{
    std::vector<int> allowed;
    for (unsigned ordinal = 0; ordinal < 1024; ++ordinal) {
        int processor = allowedProcessor(ordinal);
        ASSERT_NE(processor, kNoProcessor);
        if (!allowed.empty() && processor == allowed.front())
            break; // wrapped around
        ASSERT_TRUE(allowed.empty() || processor > allowed.back()) << "ordinal " << ordinal;
        allowed.push_back(processor);
    }
    EXPECT_EQ(allowedProcessor(static_cast<unsigned>(allowed.size()) + 1), allowed[1 % allowed.size()]);
    std::thread pinned([&] {
        EXPECT_FALSE(pinThisThread(kNoProcessor));
        ASSERT_TRUE(pinThisThread(allowed.back()));
        for (int i = 0; i < 100; ++i)
            ASSERT_EQ(currentProcessor(), allowed.back());
        EXPECT_EQ(allowedProcessor(0), allowed.back()); // its own set is that processor now
    });
    pinned.join();
}

// Tools see the name in /proc; a name over the kernel's 15 bytes is cut, not refused.
TEST(Thread, NamesShowInProcAndLongOnesAreCut)
{
    for (auto [given, shown] : {std::pair{"rip", "rip\n"}, std::pair{"a-very-long-thread-name", "a-very-long-thr\n"}}) {
        std::string comm;
        std::thread named([&, given = given] {
            nameThisThread(given);
            std::FILE* file = std::fopen(("/proc/self/task/" + std::to_string(gettid()) + "/comm").c_str(), "r");
            ASSERT_NE(file, nullptr);
            char line[64] = {};
            std::fgets(line, sizeof line, file);
            std::fclose(file);
            comm = line;
        });
        named.join();
        EXPECT_EQ(comm, shown);
    }
}
