// Host clean-up registration over an object's life in its registry, and the
// clean-up procedure the host calls. (Which objects register, and what their
// clean-up does, the output, input and file tests see through the exports.)
#include <gtest/gtest.h>

#include <utility>

#include "core/Cleanable.h"
#include "core/ConfigurationData.h"
#include "core/RefnumRegistry.h"
#include "core/Registries.h"
#include "host/TestHost.h"

namespace {

// Counts its clean-ups; notes the registrations still standing when its
// teardown starts.
struct CountingTask : tw::Cleanable {
    explicit CountingTask(size_t* registeredAtTeardown = nullptr) : atTeardown(registeredAtTeardown) {}
    ~CountingTask() override {
        if (atTeardown) *atTeardown = testhost::registrationCount();
    }
    int32_t cleanup() override {
        ++shutdowns;
        return 0;
    }
    int shutdowns = 0;
    size_t* atTeardown;
};

class TaskBase : public ::testing::Test {
protected:
    void SetUp() override {
        tw::libraryAttach();
        testhost::clearRegistrations();
    }
};

TEST_F(TaskBase, RegisteredOnlyWhileWholeAndInItsRegistry) {
    size_t atTeardown = 99;
    tw::RefnumRegistry<CountingTask> registry;
    auto* task = new CountingTask(&atTeardown);
    EXPECT_EQ(testhost::registrationCount(), 0u) << "not before the object is complete";
    const TaskRefnum refnum = registry.add(task);
    auto regs = testhost::registrations();
    ASSERT_EQ(regs.size(), 1u);
    EXPECT_EQ(regs[0].data, static_cast<tw::Cleanable*>(task));
    EXPECT_EQ(regs[0].mode, 2);
    EXPECT_EQ(regs[0].proc, &tw::taskCleanupProc);
    EXPECT_EQ(testhost::runCleanups(), std::vector<int32_t>{0});
    EXPECT_EQ(task->shutdowns, 1);
    EXPECT_EQ(tw::taskCleanupProc(nullptr), 1);
    EXPECT_EQ(registry.remove(refnum), 0);
    EXPECT_EQ(atTeardown, 0u) << "withdrawn before the teardown";

    registry.add(new CountingTask(&atTeardown));
    atTeardown = 99;
    registry.removeAll();
    EXPECT_EQ(atTeardown, 0u);
}

TEST_F(TaskBase, ProcedureCallsAfterWithdrawalDoNothing) {
    CountingTask task;
    EXPECT_EQ(tw::cleanup::enrol(&task), 0);
    EXPECT_EQ(tw::cleanup::enrol(&task), 0) << "once";
    EXPECT_EQ(testhost::registrationCount(), 1u);
    EXPECT_EQ(tw::taskCleanupProc(&task), 0);
    tw::cleanup::withdraw(&task);
    EXPECT_EQ(testhost::registrationCount(), 0u);
    EXPECT_EQ(tw::taskCleanupProc(&task), 1) << "a late call finds no object";
    EXPECT_EQ(task.shutdowns, 1);
}

// Bits per sample to the host type of GetConfFormat, at each edge.
TEST(ConfigurationData, NaturalTypeCodes) {
    for (auto [bits, type] : {std::pair{1, TW_TYPE_U8}, {8, TW_TYPE_U8}, {9, TW_TYPE_I16}, {16, TW_TYPE_I16},
                              {17, TW_TYPE_I32}, {32, TW_TYPE_I32}})
        EXPECT_EQ(tw::ConfigurationData::naturalTypeCode(bits), type) << bits << " bits";
}

}  // namespace
