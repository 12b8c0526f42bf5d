#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace tonvane {

class DrainSignal;

// One budget of encoder threads shared by the rips of several drives at once (a station), sized
// to the processors: each lane of a rip holds one token from the start of a track's encoder until
// that encoder has read the track's last byte, so the encoders that encode at the same time
// never outnumber the tokens. (The finishing of a file, its last frame, fsync and rename, runs
// outside the budget: it is short and mostly waits for the disk.)
//
// Why tokens per lane, and when a rip asks for one:
// - A rip without a token cannot read; its drive idles. So a rip asks for its first token at
//   once, and every rip waiting with fewer tokens goes before a rip asking for one more: at a
//   track's end a lane gives its token away when another rip waits with fewer than this one
//   holds (round robin by tracks, no rip takes every token for all its tracks).
// - A rip asks for a second lane only when the encoders it has fall behind its drive (the lane's
//   stream is full). Measured on music: FLAC level 5 encodes about 470x on one core, so an 8x
//   drive keeps its encoder busy for under 2% of a core; two 8x drives each on one lane read all
//   the time (bench-station: two take 1.00x the time of one), while a second token taken by the
//   first rip would make the other drive idle for a whole track. LAME at our settings (-q 0,
//   128 kbit/s CBR) encodes about 20x on one core, below a 24x drive: one lane per drive keeps a
//   core busy, and more drives than tokens share the processors by tracks.
// - Counting busy encoders instead (threads beyond the processors, each gated per chunk) would
//   keep every drive reading, but starts more encoder threads than processors and holds their
//   writers and streams in memory for nothing when the processors are the limit.
//
// The pool must outlive every rip that uses it; its destructor waits until every member left.
// Thread-safe; each Member belongs to one rip thread.
class EncoderPool {
public:
    explicit EncoderPool(int32_t tokens); // at least one
    ~EncoderPool();
    EncoderPool(const EncoderPool&) = delete;
    EncoderPool& operator=(const EncoderPool&) = delete;

    struct Counts {
        int32_t tokens = 0;
        int32_t inUse = 0;
        int32_t highWater = 0; // most tokens held at once since the pool was made
        int32_t members = 0; // rips joined
        int32_t waiting = 0; // members refused a token that still want one
    };
    Counts counts() const;
    int32_t size() const { return m_tokens; }

    // One rip's place in the pool. Joins on construction, gives back its tokens and leaves on
    // destruction; wake is notified whenever a token may have become free for it.
    class Member {
    public:
        Member(EncoderPool& pool, DrainSignal& wake);
        ~Member();
        Member(const Member&) = delete;
        Member& operator=(const Member&) = delete;

        // One more token, unless none is free or the members waiting before this one take every
        // free one; a refused member waits (is woken) until it gets one or withdraws.
        bool tryAcquire();
        void release();
        // No longer wants a token.
        void withdraw();
        // Another member waits while holding fewer tokens than this one: a lane that ends a
        // track should give its token back.
        bool shouldYield() const;
        int32_t held() const { return m_held; }
        bool waiting() const { return m_waitingSince != 0; }

    private:
        friend class EncoderPool;
        EncoderPool& m_pool;
        DrainSignal& m_wake;
        int32_t m_held = 0; // written under the pool's lock, read by the owner
        uint64_t m_waitingSince = 0; // the pool's ticket when refused; 0 = not waiting
    };

private:
    void wakeWaiters(); // under m_mutex
    int32_t membersAhead(const Member& member) const; // under m_mutex

    mutable std::mutex m_mutex;
    std::condition_variable m_left;
    std::vector<Member*> m_members;
    const int32_t m_tokens;
    int32_t m_inUse = 0;
    int32_t m_highWater = 0;
    uint64_t m_nextTicket = 1;
};

} // namespace tonvane
