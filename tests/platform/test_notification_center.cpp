#include <gtest/gtest.h>

#include <thread>

#include "platform/NotificationCenter.h"

using namespace platform;

TEST(NotificationCenterTest, DeliversSynchronouslyOnThePostingThreadWithItsObject) {
    NotificationCenter center;
    int token = 0;
    std::vector<std::optional<std::int64_t>> seen;
    std::thread::id deliveredOn;
    center.addObserver(&token, "appearedDeviceNotify", [&](const Notification& n) {
        seen.push_back(n.object);
        deliveredOn = std::this_thread::get_id();
    });
    std::thread poster([&] { center.post("appearedDeviceNotify", 1); });
    const std::thread::id posterId = poster.get_id();
    poster.join();
    EXPECT_EQ(deliveredOn, posterId);
    center.post("appearedDeviceNotify");
    center.post("otherNotify", 5);
    EXPECT_EQ(seen, (std::vector<std::optional<std::int64_t>>{1, std::nullopt}));
    center.removeObserver(&token);
    center.post("appearedDeviceNotify", 3);
    EXPECT_EQ(seen.size(), 2u);
}

TEST(NotificationCenterTest, ObserverMayPostAndRegisterFromItsHandler) {
    NotificationCenter center;
    int a = 0, b = 0, inner = 0;
    center.addObserver(&a, "first", [&](const Notification&) {
        center.addObserver(&b, "second", [&](const Notification&) { ++inner; });
        center.post("second");
    });
    center.post("first");
    EXPECT_EQ(inner, 1);
}
