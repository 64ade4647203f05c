// The task base: host clean-up registration over a task's life, and the
// clean-up procedure the host calls.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>

#include "core/Cleanable.h"
#include "core/InputConfiguration.h"
#include "core/OutputConfiguration.h"
#include "core/Registries.h"
#include "host/TestHost.h"

namespace {

class CountingTask : public tw::OutputConfiguration {
public:
    // Registrations still standing when the destructor's shutdown runs.
    explicit CountingTask(size_t* registeredAtTeardown = nullptr) : atTeardown(registeredAtTeardown) {}
    ~CountingTask() override {
        shutdown();
        if (atTeardown) *atTeardown = testhost::registrationCount();
    }
    int32_t getFormat(double*, int32_t*, int32_t*, uint16_t*) override { return 0; }
    int32_t getConfigureStatus() override { return 0; }
    int32_t shutdown() override {
        ++shutdowns;
        return 0;
    }
    int32_t isRunning() override { return 0; }
    int32_t getModeFlag() override { return 0; }
    int32_t write(TwArrayHandle, double, uint16_t) override { return 0; }
    int32_t wait(double) override { return 0; }
    int32_t stop() override { return 0; }
    int32_t start() override { return 0; }
    int32_t pause() override { return 0; }
    int32_t setVolume(int32_t) override { return 0; }
    int32_t getVolume(int32_t*) override { return 0; }
    int shutdowns = 0;
    size_t* atTeardown;
};

class BareInput : public tw::InputConfiguration {
public:
    int32_t getFormat(double*, int32_t*, int32_t*, uint16_t*) override { return 0; }
    int32_t getConfigureStatus() override { return 0; }
    int32_t shutdown() override { return 0; }
    int32_t isRunning() override { return 1; }
    int32_t getModeFlag() override { return 1; }
    int32_t read(TwArrayHandle, int32_t, double, uint16_t) override { return 0; }
    int32_t getTotalSamplesRead() override { return 0; }
    int32_t stop() override { return 0; }
    int32_t start() override { return 0; }
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
    auto* task = new CountingTask(&atTeardown);
    EXPECT_EQ(testhost::registrationCount(), 0u) << "not before the object is complete";
    const TaskRefnum refnum = tw::outputTaskRegistry().add(task);
    auto regs = testhost::registrations();
    ASSERT_EQ(regs.size(), 1u);
    EXPECT_EQ(regs[0].data, static_cast<tw::Cleanable*>(task));
    EXPECT_EQ(regs[0].mode, 2);
    EXPECT_EQ(regs[0].proc, &tw::taskCleanupProc);
    EXPECT_EQ(testhost::runCleanups(), std::vector<int32_t>{0});
    EXPECT_EQ(task->shutdowns, 1);
    EXPECT_EQ(tw::taskCleanupProc(nullptr), 1);
    EXPECT_EQ(tw::outputTaskRegistry().remove(refnum), 0);
    EXPECT_EQ(atTeardown, 0u) << "withdrawn before the teardown";

    tw::outputTaskRegistry().add(new CountingTask(&atTeardown));
    atTeardown = 99;
    tw::outputTaskRegistry().removeAll();
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

TEST_F(TaskBase, StateTextsAndTypeCodes) {
    CountingTask out;
    char text[256] = "*Error*";
    EXPECT_EQ(out.getStateDesc(text), 53) << "the base does not describe a state";
    EXPECT_STREQ(text, "*Error*");
    BareInput in;
    EXPECT_EQ(in.getStateDesc(text), 0);
    EXPECT_STREQ(text, "NotImpl ");
    EXPECT_EQ(in.notSupported(1, 2, 3, 4, 5, 6, 7), 53);
    for (auto [bits, type] : {std::pair{1, TW_TYPE_U8}, {8, TW_TYPE_U8}, {9, TW_TYPE_I16}, {16, TW_TYPE_I16},
                              {17, TW_TYPE_I32}, {32, TW_TYPE_I32}})
        EXPECT_EQ(tw::ConfigurationData::naturalTypeCode(bits), type) << bits << " bits";
}

}  // namespace
