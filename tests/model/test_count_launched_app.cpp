#include <gtest/gtest.h>

#include <cstdio>

TEST(CountLaunchedApp, SeesASecondCopyWhileItRuns)
{
    FILE* probe = ::popen("'" KDU_COUNT_PROBE_PATH "'", "r");
    ASSERT_NE(probe, nullptr);
    int before = 0, during = 0, after = 0;
    EXPECT_EQ(std::fscanf(probe, "%d %d %d", &before, &during, &after), 3);
    EXPECT_EQ(::pclose(probe), 0);
    EXPECT_EQ(before, 1);
    EXPECT_EQ(during, 2);
    EXPECT_EQ(after, 1);
}
