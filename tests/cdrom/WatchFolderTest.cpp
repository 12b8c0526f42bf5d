// A folder fed with CUE sheets: which sheets are handed out, when, and with what problem.
#include "cdrom/drives/WatchFolder.h"
#include "core/foundation/Thread.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace tonvane;
using namespace tonvane::test;

namespace {

constexpr uint32_t kSettleMs = 150; // [ms] short, so the cases do not wait long
constexpr uint32_t kGraceMs = 400; // [ms]
constexpr uint32_t kLongWaitMs = 20000; // [ms] a bound, never reached when the watcher works
constexpr uint32_t kTrackSectors = 200;

std::string sheetText(const std::string& bin)
{
    return "FILE \"" + bin + "\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
           "  TRACK 02 AUDIO\n    INDEX 01 00:01:00\n";
}

void appendBytes(const std::string& path, size_t count)
{
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    ASSERT_GE(fd, 0);
    std::string bytes(count, '\x22');
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}


} // namespace

TEST(WatchFolderOpen, RefusesWhatIsNoFolder)
{
    TempDir dir;
    writeFile(dir.file("plain"), "x");
    std::string error;
    WatchFolder notThere(dir.file("missing"));
    EXPECT_FALSE(notThere.open(error));
    EXPECT_NE(error.find("missing"), std::string::npos);
    WatchFolder aFile(dir.file("plain"));
    EXPECT_FALSE(aFile.open(error));
    WatchedSheet sheet;
    EXPECT_FALSE(aFile.next(sheet, 10));
}

TEST(WatchFolderFeed, CompleteSheetsComeOutOnceEachInNameOrderAndDoneOnesNever)
{
    TempDir dir;
    WatchFolder watch(dir.path(), kSettleMs, kGraceMs);
    std::string error;
    ASSERT_TRUE(watch.open(error)) << error;
    for (const char* name : {"b", "a"}) {
        writeFile(dir.file(std::string(name) + ".bin"), std::string(kTrackSectors * 2352, '\x01'));
        writeFile(dir.file(std::string(name) + ".cue"), sheetText(std::string(name) + ".bin"));
    }
    writeFile(dir.file("c.cue.done"), sheetText("a.bin"));
    writeFile(dir.file(".hidden.cue"), sheetText("a.bin"));

    WatchedSheet first, second, third;
    ASSERT_TRUE(watch.next(first, kLongWaitMs));
    ASSERT_TRUE(watch.next(second, kLongWaitMs));
    EXPECT_EQ(first.sheet, dir.file("a.cue"));
    EXPECT_EQ(second.sheet, dir.file("b.cue"));
    EXPECT_EQ(first.problem, "");
    EXPECT_EQ(second.problem, "");
    EXPECT_FALSE(watch.next(third, 3 * kGraceMs)) << third.sheet;

    // Renamed away and copied in again under the same name: a new disc.
    ASSERT_EQ(std::rename(dir.file("a.cue").c_str(), dir.file("a.cue.done").c_str()), 0);
    ASSERT_FALSE(watch.next(third, kSettleMs));
    writeFile(dir.file("a.cue"), sheetText("a.bin"));
    ASSERT_TRUE(watch.next(third, kLongWaitMs));
    EXPECT_EQ(third.sheet, dir.file("a.cue"));
}

TEST(WatchFolderFeed, ABinStillGrowingKeepsItsSheetBackUntilItStopsChanging)
{
    TempDir dir;
    // A settle time far beyond the pauses between pieces, however slow the machine is.
    constexpr uint32_t kCopySettleMs = 3000;
    WatchFolder watch(dir.path(), kCopySettleMs, kCopySettleMs);
    std::string error;
    ASSERT_TRUE(watch.open(error)) << error;
    // The sheet first, then the BIN arriving in pieces: the first piece already holds both
    // tracks' starts, so the sheet would load half a disc if it were taken now.
    writeFile(dir.file("slow.cue"), sheetText("slow.bin"));
    appendBytes(dir.file("slow.bin"), 100 * 2352);
    WatchedSheet sheet;
    for (int piece = 0; piece < 6; ++piece) {
        EXPECT_FALSE(watch.next(sheet, 50)) << "handed out after piece " << piece;
        appendBytes(dir.file("slow.bin"), 20 * 2352);
    }
    ASSERT_TRUE(watch.next(sheet, kLongWaitMs));
    EXPECT_EQ(sheet.sheet, dir.file("slow.cue"));
    EXPECT_EQ(sheet.problem, "");
}

TEST(WatchFolderFeed, ASheetWhoseBinNeverComesIsHandedOutWithItsProblem)
{
    TempDir dir;
    WatchFolder watch(dir.path(), kSettleMs, kGraceMs);
    std::string error;
    ASSERT_TRUE(watch.open(error)) << error;
    writeFile(dir.file("lost.cue"), sheetText("lost.bin"));
    writeFile(dir.file("short.bin"), std::string(10 * 2352, '\0')); // track 2 starts beyond it
    writeFile(dir.file("short.cue"), sheetText("short.bin"));
    WatchedSheet first, second;
    ASSERT_TRUE(watch.next(first, kLongWaitMs));
    ASSERT_TRUE(watch.next(second, kLongWaitMs));
    EXPECT_EQ(first.sheet, dir.file("lost.cue"));
    EXPECT_NE(first.problem.find("lost.bin"), std::string::npos) << first.problem;
    EXPECT_EQ(second.sheet, dir.file("short.cue"));
    EXPECT_FALSE(second.problem.empty());
}

TEST(WatchFolderFeed, StopWakesAWaitingNextAndEveryLaterOne)
{
    TempDir dir;
    WatchFolder watch(dir.path(), kSettleMs, kGraceMs);
    std::string error;
    ASSERT_TRUE(watch.open(error)) << error;
    struct Waiter {
        WatchFolder* watch;
        bool got = true;
    } waiter{&watch};
    Thread thread;
    ASSERT_EQ(startThread(
                  thread,
                  [](void* self) -> void* {
                      auto* w = static_cast<Waiter*>(self);
                      WatchedSheet sheet;
                      w->got = w->watch->next(sheet, 600000);
                      return nullptr;
                  },
                  &waiter),
              kSuccess);
    watch.stop();
    thread.join(); // returns long before the ten minutes
    EXPECT_FALSE(waiter.got);
    writeFile(dir.file("x.bin"), std::string(kTrackSectors * 2352, '\x01'));
    writeFile(dir.file("x.cue"), sheetText("x.bin"));
    WatchedSheet sheet;
    EXPECT_FALSE(watch.next(sheet, kLongWaitMs));
}
