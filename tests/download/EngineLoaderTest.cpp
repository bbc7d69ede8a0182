#include "download/EngineLoader.h"
#include "download/TaskInfoRecord.h"

#include <gtest/gtest.h>

namespace {

// Each death test runs in a freshly started copy of this program, so the library it
// names is the first one loaded there.
class EngineLoaderDeathTest : public testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(EngineLoaderDeathTest, AMissingLibraryIsReportedByName) {
    EXPECT_EXIT(
        {
            dlengine::setLibraryName("libno_such_download_engine.so");
            dlengine::XL_Init();
        },
        testing::ExitedWithCode(1), "libno_such_download_engine\\.so");
}

TEST_F(EngineLoaderDeathTest, AMissingOperationIsReportedByNameAtTheFirstCall) {
    EXPECT_EXIT(
        {
            dlengine::setLibraryName("libdownload_test_engine_nostop.so");
            dlengine::XL_Init();
        },
        testing::ExitedWithCode(1), "XL_StopTask");
}

TEST(EngineLoader, CallsReachTheLibraryWithTheirArguments) {
    dlengine::setLibraryName("libdownload_test_engine.so");
    EXPECT_EQ(dlengine::XL_Init(), 1);
    std::uint8_t param[4] = {7};
    EXPECT_EQ(dlengine::XL_CreateTask(param), 107);
    EXPECT_EQ(dlengine::XL_StartTask(107), 108);
    EXPECT_EQ(dlengine::XL_StopTask(107), 109);
    TaskInfoRecord info;
    ASSERT_NE(info.defineFields(), nullptr);
    EXPECT_EQ(dlengine::XL_QueryTaskInfoEx(4, info.baseAddress()), 1);
    EXPECT_EQ(info.state(), 4);
    EXPECT_EQ(dlengine::XL_UnInit(), 3);
}

} // namespace
