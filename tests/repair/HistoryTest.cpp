// The history of runs: a run recorded as it goes and taken back, the rules of what may be undone,
// and a process killed at every step of a run and of an undo, after which the next start closes
// the run and its undo brings the prefix back as it was.
#include "repair/History.h"

#include "platform/AtomicFile.h"
#include "tests/support/TempDir.h"

#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tvn;

namespace {

// Every file under a folder with its bytes (a link: its target).
std::map<std::string, std::string> contentsOf(const std::filesystem::path& folder)
{
    std::map<std::string, std::string> contents;
    for (auto it = std::filesystem::recursive_directory_iterator(folder); it != std::filesystem::recursive_directory_iterator(); ++it) {
        const std::string relative = std::filesystem::relative(it->path(), folder).string();
        if (it->is_symlink())
            contents[relative] = "-> " + std::filesystem::read_symlink(it->path()).string();
        else if (it->is_directory())
            contents[relative + "/"] = "";
        else
            contents[relative] = test::readFile(it->path());
    }
    return contents;
}

class HistoryTest : public testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(system32);
        std::filesystem::create_directories(driveC / "Games" / "Old");
        test::writeFile(system32 / "a.dll", "MZ a, the old one");
        test::writeFile(system32 / "b.dll", "MZ b, the old one");
        std::filesystem::create_symlink("/usr/lib/wine/c.dll", system32 / "c.dll");
        test::writeFile(driveC / "Games" / "Old" / "save.dat", "level 3");
        test::writeFile(prefix / "system.reg", "WINE REGISTRY Version 2\n[Software\\\\Old]\n");
        test::writeFile(prefix / "user.reg", "WINE REGISTRY Version 2\n");
        before = contentsOf(prefix);
    }

    // A repair of a.dll (replaced) and new.dll (created), then an installer that changes b.dll in
    // place, replaces c.dll's link with a file, adds a program in a new folder and a registry key.
    // `changed` follows each change, as the history's hook follows each line.
    void makeRun(const std::function<void(std::string_view)>& changed, bool touchOutside = false)
    {
        const std::unique_ptr<History::Run> run = history.begin(prefix.string(), driveC, { { "a.dll", "repair" }, { "setup.exe", "install" } });
        ASSERT_TRUE(run);
        ASSERT_TRUE(run->beforeWrite(system32 / "a.dll"));
        ASSERT_FALSE(platform::writeFileAtomically(system32 / "a.dll", "MZ a, the new one"));
        changed("a.dll");
        ASSERT_TRUE(run->beforeWrite(system32 / "new.dll"));
        ASSERT_FALSE(platform::writeFileAtomically(system32 / "new.dll", "MZ new"));
        changed("new.dll");
        ASSERT_TRUE(run->beforeWrite(system32 / "failed.dll"));
        run->notWritten(system32 / "failed.dll"); // a download that failed changes nothing

        ASSERT_TRUE(run->beforeSystemChange([] {}));
        test::writeFile(system32 / "b.dll", "MZ b, written over in place");
        changed("b.dll");
        std::filesystem::remove(system32 / "c.dll");
        test::writeFile(system32 / "c.dll", "MZ c, a file now");
        changed("c.dll");
        std::filesystem::create_directories(driveC / "Program Files" / "App" / "data");
        test::writeFile(driveC / "Program Files" / "App" / "app.exe", "MZ app");
        test::writeFile(driveC / "Program Files" / "App" / "data" / "x.bin", "data");
        changed("app");
        test::writeFile(prefix / "system.reg", "WINE REGISTRY Version 2\n[Software\\\\Old]\n[Software\\\\App]\n");
        changed("system.reg");
        if (touchOutside) {
            test::writeFile(driveC / "Games" / "Old" / "save.dat", "level 4");
            changed("save.dat");
        }
        run->end("finished");
    }

    // Runs `work` in a child process that is killed at its `at`-th step; true when it was.
    bool killedAt(int at, const std::function<void(const History::StepHook&)>& work)
    {
        const pid_t child = fork();
        if (child == 0) {
            int steps = 0;
            const History::StepHook hook = [&steps, at](std::string_view) {
                if (++steps == at)
                    ::raise(SIGKILL);
            };
            history.setStepHook(hook);
            work(hook);
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

    test::TempDir dir;
    std::filesystem::path prefix = dir / "prefix";
    std::filesystem::path driveC = prefix / "drive_c";
    std::filesystem::path system32 = driveC / "windows" / "system32";
    std::map<std::string, std::string> before;
    History history { dir / "data" / "tvn" / "history" };
};

} // namespace

TEST_F(HistoryTest, ARunIsRecordedAndTakenBack)
{
    makeRun([](std::string_view) {}, true);
    const std::vector<RunRecord> runs = history.runs();
    ASSERT_EQ(runs.size(), 1u);
    const RunRecord& run = runs[0];
    EXPECT_EQ(run.state, "finished");
    EXPECT_EQ(run.prefix, prefix.string());
    ASSERT_EQ(run.items.size(), 2u);
    EXPECT_EQ(run.items[1].fileName, "setup.exe");
    EXPECT_EQ(run.items[1].action, "install");
    // a.dll, new.dll, b.dll, c.dll, app.exe, x.bin, save.dat; the failed download is no change.
    EXPECT_EQ(run.changedCount(), 7u);
    EXPECT_EQ(run.cannotRestore(), std::vector<std::string>({ (driveC / "Games" / "Old" / "save.dat").string() }));

    std::vector<std::string> ended;
    const History::UndoResult undone = history.undo(run.id, [&](const RunRecord& record) { ended.push_back(record.prefix); });
    EXPECT_TRUE(undone.ok) << undone.error;
    EXPECT_EQ(ended, std::vector<std::string>({ prefix.string() }));
    EXPECT_EQ(undone.restored, 5u); // system.reg, user.reg, b.dll, c.dll (a link again), a.dll
    EXPECT_EQ(undone.removed, 3u);  // app.exe, x.bin, new.dll
    auto after = contentsOf(prefix);
    EXPECT_EQ(after.at("drive_c/Games/Old/save.dat"), "level 4"); // named, never silently
    after["drive_c/Games/Old/save.dat"] = "level 3";
    EXPECT_EQ(after, before);
    EXPECT_EQ(history.runs()[0].state, "undone");
    EXPECT_EQ(history.undo(run.id, {}).error, "the run is undone already");
    EXPECT_FALSE(std::filesystem::exists(history.folder() / run.id / "snapshot")); // copies no longer needed
    EXPECT_TRUE(std::filesystem::exists(history.folder() / run.id / "journal"));
}

TEST_F(HistoryTest, OnlyTheNewestRunOfAPrefixIsUndone)
{
    makeRun([](std::string_view) {});
    const std::string first = history.runs()[0].id;
    std::string second;
    {
        const auto other = history.begin((dir / "other").string(), dir / "other" / "drive_c", {});
        ASSERT_TRUE(other->beforeWrite(dir / "other" / "drive_c" / "o.dll"));
        other->end("finished");
        const auto open = history.begin(prefix.string(), driveC, { { "z.dll", "repair" } });
        second = open->id();
        ASSERT_TRUE(open->beforeWrite(system32 / "z.dll"));
        test::writeFile(system32 / "z.dll", "MZ z");
        EXPECT_EQ(history.undo(second, {}).error, "the run is still going");
        open->end("cancelled");
        // A run that changed nothing has nothing to take back, and holds no older run back.
        const auto idle = history.begin(prefix.string(), driveC, { { "y.dll", "repair" } });
        idle->end("failed");
    }
    EXPECT_EQ(history.undo(first, {}).error, "a newer run of this prefix must be undone first: " + second);
    EXPECT_EQ(history.undo("20000101-000000-000-1-1", {}).error, "no such run");
    EXPECT_TRUE(history.undo(second, {}).ok);
    EXPECT_TRUE(history.undo(first, {}).ok);
    EXPECT_EQ(contentsOf(prefix), before);
}

// A system file unchanged since the prefix's last snapshot is kept once: the second run links the
// first run's copy; a changed one is copied anew.
TEST_F(HistoryTest, AnUnchangedSystemFileIsKeptOnce)
{
    const auto copies = [&](const std::string& id) { return history.folder() / id / "snapshot" / "system" / "windows" / "system32"; };
    const auto snapshotRun = [&](const std::function<void(const std::string& id)>& before) {
        const auto run = history.begin(prefix.string(), driveC, {});
        before(run->id());
        EXPECT_TRUE(run->beforeSystemChange({}));
        run->end("finished");
        return copies(run->id());
    };
    const auto first = snapshotRun([](const std::string&) {});
    test::writeFile(system32 / "b.dll", "MZ b, changed between the runs");
    const auto second = snapshotRun([&](const std::string& id) {
        // What an attempt before may have left: a link to the first run's copy, never to be written into.
        std::filesystem::create_directories(copies(id));
        ASSERT_EQ(::link((first / "b.dll").c_str(), (copies(id) / "b.dll").c_str()), 0);
    });
    const auto inode = [](const std::filesystem::path& path) {
        struct stat status {};
        ::lstat(path.c_str(), &status);
        return status.st_ino;
    };
    EXPECT_EQ(inode(first / "a.dll"), inode(second / "a.dll"));
    EXPECT_NE(inode(first / "b.dll"), inode(second / "b.dll"));
    EXPECT_EQ(test::readFile(second / "b.dll"), "MZ b, changed between the runs");
    EXPECT_EQ(test::readFile(first / "b.dll"), "MZ b, the old one");
    EXPECT_EQ(std::filesystem::read_symlink(second / "c.dll"), "/usr/lib/wine/c.dll");
}

// The process killed after each line and after each change: the next start closes the run as
// interrupted (or finds it finished), and its undo brings the prefix back whole.
TEST_F(HistoryTest, AKilledRunIsUndoneFromEveryStep)
{
    int steps = 0;
    for (int at = 1;; ++at) {
        const bool killed = killedAt(at, [this](const History::StepHook& hook) { makeRun(hook); });
        history.setStepHook({});
        history.recover({});
        const std::vector<RunRecord> runs = history.runs();
        ASSERT_EQ(runs.size(), 1u) << at;
        // Killed at its last step, the end line was written already.
        EXPECT_TRUE(killed ? runs[0].state == "interrupted" || runs[0].state == "finished" : runs[0].state == "finished") << at;
        const History::UndoResult undone = history.undo(runs[0].id, {});
        EXPECT_TRUE(undone.ok) << at << ": " << undone.error;
        EXPECT_EQ(contentsOf(prefix), before) << "killed at step " << at;
        std::filesystem::remove_all(history.folder());
        if (!killed) {
            steps = at - 1;
            break;
        }
    }
    EXPECT_GE(steps, 12); // begin, 3 announcements, a void, the snapshot, 5 changes, the end
}

// An undo killed after any of its steps is finished by the next start.
TEST_F(HistoryTest, AKilledUndoIsFinishedByTheNextStart)
{
    for (int at = 1;; ++at) {
        history.setStepHook({});
        makeRun([](std::string_view) {});
        const std::string id = history.runs()[0].id;
        const bool killed = killedAt(at, [this, &id](const History::StepHook&) { history.undo(id, {}); });
        history.setStepHook({});
        history.recover({});
        EXPECT_EQ(history.runs()[0].state, "undone") << at;
        EXPECT_EQ(contentsOf(prefix), before) << "killed at undo step " << at;
        std::filesystem::remove_all(history.folder());
        if (!killed)
            break;
    }
}

// A journal cut in the middle of a line (the process died while writing it) reads up to that line.
TEST(RunJournal, ACutLineIsNotRead)
{
    const std::string text = journalLine({ "begin", "1000", encodeField("/p\tq"), encodeField("/p/drive_c") })
        + journalLine({ "create", encodeField("/p/drive_c/x.dll") }) + "replace\t%2Fp%2Fdrive_c%2Fy.dll";
    const std::optional<RunRecord> record = parseJournal(text, "r");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->prefix, "/p\tq");
    ASSERT_EQ(record->changes.size(), 1u);
    EXPECT_EQ(record->changes[0].path, "/p/drive_c/x.dll");
    EXPECT_FALSE(record->closed());
    EXPECT_FALSE(parseJournal("item\trepair\tx.dll\n"));
}

TEST(DriveListing, ChangesBetweenTwoListings)
{
    const DriveListing before { { "Windows/System32/a.dll", false, 10, 1, 7 }, { "games", true, 0, 1, 8 }, { "games/s.dat", false, 5, 1, 9 },
        { "old", true, 0, 1, 10 } };
    const DriveListing after { { "Windows/System32/a.dll", false, 10, 1, 11 }, { "games", true, 0, 2, 8 }, { "games/s.dat", false, 5, 1, 9 },
        { "new", true, 0, 3, 12 }, { "old", false, 3, 3, 10 } };
    const std::vector<DriveEffect> effects = listingEffects(before, after);
    ASSERT_EQ(effects.size(), 4u);
    EXPECT_EQ(effects[0].kind, DriveEffect::Kind::Modified); // a new inode alone is a new file
    EXPECT_TRUE(effects[0].system);
    EXPECT_EQ(effects[1].path, "new");
    EXPECT_EQ(effects[1].kind, DriveEffect::Kind::Created);
    EXPECT_EQ(effects[2].kind, DriveEffect::Kind::Deleted); // a folder that became a file
    EXPECT_TRUE(effects[2].directory);
    EXPECT_EQ(effects[3].kind, DriveEffect::Kind::Created);
    EXPECT_EQ(parseListing(listingText(after)), after);
    EXPECT_FALSE(inSystemFolder("windows/system32"));
    EXPECT_TRUE(inSystemFolder("WINDOWS/SysWOW64/x.dll"));
    EXPECT_FALSE(inSystemFolder("windows/system/x.dll"));
}
