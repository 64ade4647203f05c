#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "core/RefnumRegistry.h"

namespace {

// Records the order in which objects are destroyed.
struct Tracked {
    Tracked(std::vector<int>* log, int id) : log(log), id(id) {}
    virtual ~Tracked() { log->push_back(id); }
    std::vector<int>* log;
    int id;
};

// Its deletion lasts until `go`, so a remove stays inside the registry.
struct SlowTracked : Tracked {
    SlowTracked(std::vector<int>* log, std::atomic<bool>& inside, std::atomic<bool>& go)
        : Tracked(log, 1), inside(inside), go(go) {}
    ~SlowTracked() override {
        inside = true;
        while (!go) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::atomic<bool>& inside;
    std::atomic<bool>& go;
};

using Registry = tw::RefnumRegistry<Tracked>;
using namespace std::chrono_literals;

TEST(RefnumRegistry, RefnumsCountUpAndRemoveAllDeletesInOrder) {
    std::vector<int> log;
    {
        Registry r;
        for (int i = 0; i < 5; ++i) EXPECT_EQ(r.add(new Tracked(&log, i)), i);
        EXPECT_EQ(r.remove(2), 0);
        EXPECT_EQ(r.remove(2), 1) << "second remove of the same refnum";
        EXPECT_EQ(log, std::vector<int>{2});
        EXPECT_EQ(r.acquire(2, false), nullptr);
        EXPECT_EQ(r.holders(), 1) << "the registry hold lasts until release";
        r.release(2, false);
        EXPECT_EQ(r.holders(), 0);
        Tracked* t = r.acquire(3, true);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->id, 3);
        r.release(3, true);
        EXPECT_EQ(r.holders(), 0);
        EXPECT_EQ(r.add(new Tracked(&log, 5)), 5) << "refnum 2 must not come back";
        log.clear();
        r.removeAll();
        EXPECT_EQ(log, (std::vector<int>{0, 1, 3, 4, 5}));
        EXPECT_EQ(r.add(new Tracked(&log, 6)), 6) << "removeAll keeps the counter";
        EXPECT_EQ(r.count(), 1);
        log.clear();
    }
    EXPECT_EQ(log, std::vector<int>{6}) << "the registry's end deletes what is left";
}

TEST(RefnumRegistry, ExclusiveEntryExcludesOthersOfThatEntryOnly) {
    std::vector<int> log;
    Registry r;
    r.add(new Tracked(&log, 0));
    r.add(new Tracked(&log, 1));
    ASSERT_NE(r.acquire(0, true), nullptr);
    std::atomic<int> stage{0};
    std::thread other([&] {
        // Another entry is free to use at once.
        EXPECT_NE(r.acquire(1, false), nullptr);
        r.release(1, false);
        stage = 1;
        EXPECT_NE(r.acquire(0, false), nullptr);
        stage = 2;
        r.release(0, false);
    });
    while (stage.load() < 1) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(stage.load(), 1) << "a shared user got past an exclusive holder";
    r.release(0, true);
    other.join();
    EXPECT_EQ(stage.load(), 2);
}

TEST(RefnumRegistry, ManyThreadsAddAcquireRemove) {
    std::vector<int> log;
    Registry r;
    constexpr int kThreads = 8, kRounds = 200;
    std::vector<std::thread> threads;
    std::atomic<int> found{0};
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kRounds; ++i) {
                tw::TaskRefnum n = r.add(new Tracked(&log, t));
                if (r.acquire(n, i % 2)) found++;
                r.release(n, i % 2);
                EXPECT_EQ(r.remove(n), 0);
            }
        });
    }
    for (auto& th : threads) th.join();
    EXPECT_EQ(found.load(), kThreads * kRounds);
    EXPECT_EQ(r.count(), 0);
    EXPECT_EQ(static_cast<int>(log.size()), kThreads * kRounds);
    EXPECT_EQ(r.add(new Tracked(&log, 0)), kThreads * kRounds);
}

// Passing acquires (the calls that end waits) join the users inside while an
// add or remove waits for them, and never enter while one is inside.
TEST(PassingAcquire, GetsPastARemoveWaitingForUsers) {
    std::vector<int> log;
    Registry r;
    const tw::TaskRefnum waiting = r.add(new Tracked(&log, 0)), doomed = r.add(new Tracked(&log, 1));
    ASSERT_NE(r.acquire(waiting, false), nullptr);  // a call that waits for the one below
    auto remover = std::async(std::launch::async, [&] { return r.remove(doomed); });
    std::this_thread::sleep_for(30ms);
    auto passing = std::async(std::launch::async, [&] {
        bool found = r.acquirePassing(waiting) != nullptr;
        r.release(waiting, false);
        return found;
    });
    ASSERT_EQ(passing.wait_for(5s), std::future_status::ready) << "queued behind the remove";
    EXPECT_TRUE(passing.get());
    // A remove waits for the users of any entry.
    EXPECT_EQ(remover.wait_for(30ms), std::future_status::timeout) << "the first user is still inside";
    EXPECT_TRUE(log.empty());
    r.release(waiting, false);
    EXPECT_EQ(remover.get(), 0);
    EXPECT_EQ(log, std::vector<int>{1});
    EXPECT_EQ(r.count(), 1);
}

TEST(PassingAcquire, WaitsWhileARemoveIsInside) {
    std::vector<int> log;
    Registry r;
    std::atomic<bool> inside{false}, go{false};
    const tw::TaskRefnum keep = r.add(new Tracked(&log, 0)), slow = r.add(new SlowTracked(&log, inside, go));
    auto remover = std::async(std::launch::async, [&] { return r.remove(slow); });
    while (!inside) std::this_thread::sleep_for(1ms);
    auto passing = std::async(std::launch::async, [&] {
        Tracked* item = r.acquirePassing(keep);
        const bool removed = r.acquirePassing(slow) == nullptr;
        r.release(slow, false);
        r.release(keep, false);
        return item != nullptr && removed;
    });
    EXPECT_EQ(passing.wait_for(50ms), std::future_status::timeout) << "entered during the removal";
    go = true;
    EXPECT_EQ(remover.get(), 0);
    EXPECT_TRUE(passing.get());
    EXPECT_EQ(r.holders(), 0);
}

}  // namespace
