// `kdu watch --json` follows drives and discs as they come and go, and stops cleanly.
#include <gtest/gtest.h>

#include <csignal>

#include <nlohmann/json.hpp>

#include "KduProcess.h"
#include "SimFolderFixture.h"

using nlohmann::json;

namespace {

// The next line that carries `event`; earlier lines are skipped.
json nextEvent(kdu_test::KduChild& child, const std::string& event) {
    std::string line;
    while (child.readLine(line)) {
        const json object = json::parse(line, nullptr, false);
        if (!object.is_discarded() && object.value("event", "") == event) return object;
    }
    ADD_FAILURE() << "no \"" << event << "\" line before the end of output";
    return json::object();
}

}  // namespace

TEST_F(SimFolderTest, WatchReportsDrivesAndDiscsThenStopsOnSignal) {
    attach("first");
    kdu_test::KduChild watch({simulate(), "watch", "--json"});
    EXPECT_EQ(nextEvent(watch, "relisted")["drives"].size(), 1u);

    attach("second");
    nextEvent(watch, "drive-arrived");
    EXPECT_EQ(nextEvent(watch, "relisted")["drives"].size(), 2u);

    ASSERT_EQ(sim::insertDisc(folder_, "second", std::string("Holiday")), std::nullopt);
    const json disc = nextEvent(watch, "disc-appeared");
    EXPECT_EQ(disc["volume"], "Holiday");
    EXPECT_NE(disc["model"].get<std::string>().find("KVL-MT38"), std::string::npos);
    const json relisted = nextEvent(watch, "relisted");
    ASSERT_EQ(relisted["drives"].size(), 2u);
    EXPECT_EQ(relisted["drives"][1]["disc"], true);

    ASSERT_EQ(sim::ejectDisc(folder_, "second"), std::nullopt);
    EXPECT_EQ(nextEvent(watch, "disc-disappeared")["volume"], "Holiday");

    ASSERT_EQ(sim::detach(folder_, "first"), std::nullopt);
    nextEvent(watch, "drive-removed");
    EXPECT_EQ(nextEvent(watch, "relisted")["drives"].size(), 1u);

    watch.signal(SIGINT);
    EXPECT_EQ(watch.wait(), 0);
}
