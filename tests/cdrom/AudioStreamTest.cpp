#include "cdrom/rip/AudioStream.h"
#include "cdrom/rip/DrainSignal.h"
#include "core/foundation/Clock.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <thread>
#include <vector>

using namespace tonvane;

TEST(AudioStream, CountersAndRefusals)
{
    AudioStream stream;
    std::vector<uint8_t> bytes(16384, 7);
    EXPECT_FALSE(stream.write(bytes.data(), 1)); // no storage yet
    ASSERT_TRUE(stream.allocate());
    EXPECT_EQ(stream.freeSpace(), AudioStream::kCapacity);
    ASSERT_TRUE(stream.write(bytes.data(), 16383));
    EXPECT_FALSE(stream.read(bytes.data(), 16384)); // one byte short: nothing moves
    EXPECT_EQ(stream.totalRead(), 0u);
    EXPECT_EQ(stream.buffered(), 16383u);
    ASSERT_TRUE(stream.write(bytes.data(), 1));
    EXPECT_TRUE(stream.read(bytes.data(), 16384));
    EXPECT_TRUE(stream.drained());
}

TEST(AudioStream, FullStreamRefusesAndWrapsAround)
{
    AudioStream stream;
    ASSERT_TRUE(stream.allocate());
    const uint64_t capacity = AudioStream::kCapacity;
    std::vector<uint8_t> block(capacity - 4, 0xAA);
    ASSERT_TRUE(stream.write(block.data(), block.size()));
    ASSERT_TRUE(stream.read(block.data(), block.size())); // position now capacity - 4
    uint8_t ten[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    ASSERT_TRUE(stream.write(ten, 10)); // 4 bytes at the end, 6 at the start
    uint8_t back[10] = {};
    ASSERT_TRUE(stream.read(back, 10));
    EXPECT_EQ(0, std::memcmp(ten, back, 10));

    std::vector<uint8_t> fill(capacity, 1);
    ASSERT_TRUE(stream.write(fill.data(), capacity));
    EXPECT_EQ(stream.freeSpace(), 0u);
    EXPECT_FALSE(stream.write(ten, 1));
    EXPECT_EQ(stream.totalWritten(), 2 * capacity - 4 + 10);
}

TEST(AudioStream, ProducerAndConsumerThreadsMoveEveryByteInOrder)
{
    AudioStream stream;
    ASSERT_TRUE(stream.allocate());
    constexpr uint64_t kTotal = 40u << 20; // several laps of the ring
    std::thread producer([&] {
        std::vector<uint8_t> chunk(37632);
        uint64_t next = 0;
        while (next < kTotal) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), kTotal - next));
            for (size_t i = 0; i < n; ++i)
                chunk[i] = static_cast<uint8_t>((next + i) * 2654435761u >> 13);
            while (!stream.write(chunk.data(), n))
                yieldProcessor();
            next += n;
        }
    });
    std::vector<uint8_t> chunk(16384);
    uint64_t got = 0;
    bool ordered = true;
    while (got < kTotal) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(chunk.size(), kTotal - got));
        while (!stream.read(chunk.data(), n))
            stream.waitForData(n, 50);
        for (size_t i = 0; i < n && ordered; ++i)
            ordered = chunk[i] == static_cast<uint8_t>((got + i) * 2654435761u >> 13);
        got += n;
    }
    producer.join();
    EXPECT_TRUE(ordered);
    EXPECT_TRUE(stream.drained());
}

TEST(AudioStream, WaitingConsumerWakesOnWakeAndOnTimeout)
{
    AudioStream stream;
    ASSERT_TRUE(stream.allocate());
    uint64_t before = tickCountMs();
    stream.waitForData(100, 30);
    EXPECT_GE(tickCountMs() - before, 25u);

    std::thread waker([&] {
        sleepMs(20);
        stream.wake();
    });
    before = tickCountMs();
    stream.waitForData(100, 5000);
    EXPECT_LT(tickCountMs() - before, 4000u);
    waker.join();
}

TEST(AudioStream, ReleaseClearsAndAllocateStartsAfresh)
{
    AudioStream stream;
    ASSERT_TRUE(stream.allocate());
    uint8_t byte = 1;
    stream.write(&byte, 1);
    stream.release();
    EXPECT_FALSE(stream.allocated());
    EXPECT_EQ(stream.totalWritten(), 0u);
    ASSERT_TRUE(stream.allocate());
    EXPECT_EQ(stream.buffered(), 0u);
}

TEST(AudioStream, ReadingTheStreamEmptyNotifiesTheDrainSignal)
{
    AudioStream stream;
    DrainSignal drains;
    ASSERT_TRUE(stream.allocate());
    stream.setDrainSignal(&drains);
    uint8_t bytes[64] = {};
    uint32_t seen = drains.count();
    ASSERT_TRUE(stream.write(bytes, 64));
    ASSERT_TRUE(stream.read(bytes, 32));
    EXPECT_EQ(drains.count(), seen); // 32 bytes are still in
    EXPECT_FALSE(stream.read(bytes, 64)); // a refused read drains nothing
    EXPECT_EQ(drains.count(), seen);
    ASSERT_TRUE(stream.read(bytes, 32));
    EXPECT_NE(drains.count(), seen);
    // The notification came before the wait: it ends at once.
    EXPECT_TRUE(drains.waitFor(seen, 60'000));
    // Nothing new: the wait runs into its time-out and says so.
    EXPECT_FALSE(drains.waitFor(drains.count(), 1));
}

TEST(DrainSignal, AConsumerDrainingItsStreamEndsTheProducersPause)
{
    AudioStream stream;
    DrainSignal drains;
    ASSERT_TRUE(stream.allocate());
    stream.setDrainSignal(&drains);
    uint8_t bytes[4096] = {};
    ASSERT_TRUE(stream.write(bytes, sizeof bytes));
    uint32_t seen = drains.count();
    std::thread consumer([&] {
        stream.waitForData(sizeof bytes, 1000);
        EXPECT_TRUE(stream.read(bytes, sizeof bytes));
    });
    // A minute-long pause that only the drain can end within the test's lifetime.
    EXPECT_TRUE(drains.waitFor(seen, 60'000));
    consumer.join();
}
