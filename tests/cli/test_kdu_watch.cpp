// `kdu watch --json` follows drives and discs as they come and go, in the events' schema,
// and stops cleanly.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <set>

#include "KduFixture.h"

using nlohmann::json;

namespace {

// kdu in the background, its standard output on a pipe; killed if the test ends early.
class Watch {
public:
    explicit Watch(const std::vector<std::string>& args)
        : out_(::popen(("echo $$; exec " + kduLine(args) + " 2>/dev/null").c_str(), "r")) {
        if (out_ != nullptr && std::fscanf(out_, "%d", &pid_) != 1) pid_ = -1;
    }
    Watch(const Watch&) = delete;
    Watch& operator=(const Watch&) = delete;
    ~Watch() {
        if (out_ == nullptr) return;
        if (pid_ > 0) ::kill(pid_, SIGKILL);
        ::pclose(out_);
    }
    bool running() const { return out_ != nullptr && pid_ > 0; }
    const std::string& seen() const { return seen_; }  // every line read so far

    // The next line that carries `event`; earlier lines are skipped.
    json next(const std::string& event) {
        for (std::string line; readLine(line);) {
            seen_ += line + "\n";
            const json object = json::parse(line, nullptr, false);
            if (!object.is_discarded() && object.value("event", "") == event) return object;
        }
        ADD_FAILURE() << "no \"" << event << "\" line before the end of output";
        return json::object();
    }
    int stop(int signo) {
        ::kill(pid_, signo);
        const int status = ::pclose(std::exchange(out_, nullptr));
        return exitStatusOf(status);
    }

private:
    bool readLine(std::string& line) {
        line.clear();
        for (int c = std::fgetc(out_); c != EOF; c = std::fgetc(out_)) {
            if (c == '\n') return true;
            line.push_back(static_cast<char>(c));
        }
        return !line.empty();
    }

    std::FILE* out_;
    int pid_ = -1;
    std::string seen_;
};

// Two watchers name each drive that comes or goes alike, by its id, also one that is held
// elsewhere as it arrives (it is listed, as in use).
TEST_F(SimFolderTest, TwoWatchersNameTheSameDrive) {
    Watch first({simulate(), "watch", "--json"}), second({simulate(), "watch", "--json"});
    ASSERT_TRUE(first.running() && second.running());
    for (Watch* w : {&first, &second}) EXPECT_EQ(w->next("relisted")["drives"].size(), 0u);

    const int held = ::open((folder_ / ".busy.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    attach("busy");
    attach("free");
    for (Watch* w : {&first, &second}) {
        std::set<std::string> arrived;
        while (arrived.size() < 2) arrived.insert(w->next("drive_arrived")["drive"].get<std::string>());
        EXPECT_EQ(arrived, (std::set<std::string>{"busy", "free"}));
        json drives = w->next("relisted")["drives"];
        while (drives.size() < 2) drives = w->next("relisted")["drives"];
        EXPECT_EQ(drives[0]["id"], "busy");
        EXPECT_EQ(drives[0]["reason"], "in_use");
    }
    ::close(held);
    std::filesystem::remove(sim::driveFilePath(folder_, "busy"));
    for (Watch* w : {&first, &second}) EXPECT_EQ(w->next("drive_removed")["drive"], "busy");
}

TEST_F(SimFolderTest, WatchReportsDrivesAndDiscsThenStopsOnSignal) {
    attach("first");
    Watch watch({simulate(), "watch", "--json"});
    ASSERT_TRUE(watch.running());
    EXPECT_EQ(watch.next("relisted")["drives"].size(), 1u);

    attach("second");
    EXPECT_EQ(watch.next("drive_arrived")["drive"], "second");
    EXPECT_EQ(watch.next("relisted")["drives"].size(), 2u);

    ASSERT_EQ(sim::insertDisc(folder_, "second", std::string("Holiday")), std::nullopt);
    const json disc = watch.next("disc_appeared");
    EXPECT_EQ(disc["volume"], "Holiday");
    EXPECT_EQ(disc["drive"], "second");
    EXPECT_NE(disc["model"].get<std::string>().find("KVL-MT38"), std::string::npos);
    const json relisted = watch.next("relisted");
    ASSERT_EQ(relisted["drives"].size(), 2u);
    EXPECT_EQ(relisted["drives"][1]["disc"], true);

    ASSERT_EQ(sim::ejectDisc(folder_, "second"), std::nullopt);
    const json ejected = watch.next("disc_disappeared");
    EXPECT_EQ(ejected["volume"], "Holiday");
    EXPECT_EQ(ejected["drive"], "second");

    ASSERT_EQ(sim::detach(folder_, "first"), std::nullopt);
    EXPECT_EQ(watch.next("drive_removed")["drive"], "first");
    EXPECT_EQ(watch.next("relisted")["drives"].size(), 1u);

    EXPECT_EQ(watch.stop(SIGINT), 0);
    EXPECT_EQ(violations("watch-event", watch.seen(), true), "");
}

}  // namespace
