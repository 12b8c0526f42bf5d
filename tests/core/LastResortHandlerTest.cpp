#include "core/startup/LastResortHandler.h"

#include <gtest/gtest.h>

#include <csignal>
#include <exception>

using namespace tonvane;

TEST(LastResortHandlerDeathTest, FatalSignalPrintsExceptionAndEndsByThatSignal)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            installLastResortHandler();
            std::raise(SIGSEGV);
        },
        ::testing::KilledBySignal(SIGSEGV), "Error: Exception");
}

TEST(LastResortHandlerDeathTest, TerminatePrintsExceptionOnceAndAborts)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            installLastResortHandler();
            std::terminate();
        },
        ::testing::KilledBySignal(SIGABRT), "^Error: Exception\n$");
}
