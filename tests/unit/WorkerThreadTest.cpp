// WorkerThread: the stop request reaches the work (also one made before the start, never one of an
// earlier run), and an owner that stops waiting is never held up longer than its bound while the
// work it gave up on learns so before it reports.

#include "core/platform/WorkerThread.h"
#include "support/WaitUntil.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>

using namespace tolvek;
using namespace std::chrono_literals;

TEST(WorkerThreadTest, TheStopRequestReachesTheWorkAndEachRunStartsWithoutOne)
{
    platform::WorkerThread worker(QStringLiteral("test"), 5s);
    auto waitForStop = [](platform::WorkerRun& run) {
        while (!run.stopRequested())
            std::this_thread::sleep_for(1ms);
    };
    // Asked before the first start: the run begins stopped and ends at once.
    worker.requestStop();
    ASSERT_TRUE(worker.start(waitForStop));
    EXPECT_TRUE(worker.wait(5s));
    EXPECT_TRUE(worker.isFinished());

    // The next run does not inherit it: it runs until asked.
    ASSERT_TRUE(worker.start(waitForStop));
    EXPECT_FALSE(worker.stopRequested());
    EXPECT_FALSE(worker.wait(50ms));
    EXPECT_TRUE(worker.isRunning());
    EXPECT_FALSE(worker.start(waitForStop)); // one run at a time
    EXPECT_TRUE(worker.stop(5s));
}

TEST(WorkerThreadTest, AWorkThatDoesNotEndIsLeftBehindWithinTheBoundAndKnowsIt)
{
    struct Shared
    {
        std::atomic<bool> release{false};
        std::atomic<int> abandonedSeen{-1}; // what the work found once released: 1 abandoned
    };
    const auto shared = std::make_shared<Shared>();
    // Releases the work after 10 s should the owner wait for it without a bound, so that such a
    // fault fails the test instead of hanging it.
    std::thread safetyNet([shared] {
        for (int i = 0; i < 1000 && !shared->release; ++i)
            std::this_thread::sleep_for(10ms);
        shared->release = true;
    });
    QElapsedTimer destroying;
    {
        platform::WorkerThread worker(QStringLiteral("test"), 100ms);
        // Deaf to the stop request, as a call that hangs on a failing disk is.
        ASSERT_TRUE(worker.start([shared](platform::WorkerRun& run) {
            while (!shared->release)
                std::this_thread::sleep_for(1ms);
            const std::lock_guard owned(run);
            shared->abandonedSeen = run.abandoned() ? 1 : 0;
        }));
        destroying.start();
    }
    EXPECT_LT(destroying.elapsed(), 2000);
    EXPECT_EQ(shared->abandonedSeen.load(), -1);
    shared->release = true;
    safetyNet.join();
    ASSERT_TRUE(test::waitUntil([&] { return shared->abandonedSeen.load() != -1; }));
    EXPECT_EQ(shared->abandonedSeen.load(), 1);
}
