// Passing acquires (the calls that end waits): they join the users inside
// while an add or remove waits for them, and never enter while one is inside.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "core/RefnumRegistry.h"

namespace {

using namespace std::chrono_literals;

struct Item {
    virtual ~Item() = default;
};

// Its deletion lasts until `go`, so a remove stays inside the registry.
struct SlowItem : Item {
    SlowItem(std::atomic<bool>& inside, std::atomic<bool>& go) : inside(inside), go(go) {}
    ~SlowItem() override {
        inside = true;
        while (!go) std::this_thread::sleep_for(1ms);
    }
    std::atomic<bool>& inside;
    std::atomic<bool>& go;
};

using Registry = tw::RefnumRegistry<Item>;

TEST(PassingAcquire, GetsPastARemoveWaitingForUsers) {
    Registry r;
    const tw::TaskRefnum waiting = r.add(new Item), doomed = r.add(new Item);
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
    EXPECT_EQ(remover.wait_for(30ms), std::future_status::timeout) << "the first user is still inside";
    r.release(waiting, false);
    EXPECT_EQ(remover.get(), 0);
    EXPECT_EQ(r.count(), 1);
}

TEST(PassingAcquire, WaitsWhileARemoveIsInside) {
    Registry r;
    std::atomic<bool> inside{false}, go{false};
    const tw::TaskRefnum keep = r.add(new Item), slow = r.add(new SlowItem(inside, go));
    auto remover = std::async(std::launch::async, [&] { return r.remove(slow); });
    while (!inside) std::this_thread::sleep_for(1ms);
    auto passing = std::async(std::launch::async, [&] {
        Item* item = r.acquirePassing(keep);
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
