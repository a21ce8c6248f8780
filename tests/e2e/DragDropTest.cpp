// End to end: the dragdrop module. Files dragged in from another program are the page's through
// getFiles; doDragDrop drags files out to another program's window, or is cancelled with Escape,
// and settles with the list either way.
#include "tests/e2e/Desktop.h"

#include <csignal>

using namespace tvn;
using test::eventually;
using test::output;

namespace {

class DragDrop : public test::Window {
};

} // namespace

TEST_F(DragDrop, InOutAndCancelled)
{
    EXPECT_EQ(run("module('dragdrop').getFiles().length"), "0"); // before any drag

    const std::vector<std::filesystem::path> files = { installation.dir / "one.txt", installation.dir / "two.txt", installation.dir / "three.txt" };
    for (const auto& file : files)
        test::writeFile(file, file.filename().string());
    const std::string shown = files[0].string() + "|" + files[1].string() + "|" + files[2].string();
    bool reported = false;
    for (int attempt = 0; attempt < 3 && !reported; ++attempt) { // a synthetic drag is not always taken
        dragIn(files);
        reported = eventually([&] { return run("module('dragdrop').getFiles().join('|')") == shown; }, std::chrono::seconds(5));
    }
    EXPECT_TRUE(reported) << run("module('dragdrop').getFiles().join('|')");

    // Out to a drop target: it receives both files, and the page's thenable settles with the list.
    const std::filesystem::path record = installation.dir / "dropped.txt";
    const pid_t target = test::startProgram({ TVN_TEST_DROP_TARGET, record.string() }, installation.dir / "config");
    ASSERT_FALSE(output("xdotool search --sync --name 'tvn test drop target' | head -1").empty());
    const std::string a = files[0].string(), b = files[1].string();
    run("var dragged = 'pending'; document.addEventListener('mousedown', function () {"
        "  dragged = 'pending'; module('dragdrop').doDragDrop(['" + a + "', '" + b + "']).then(function (r) { dragged = r.files.join('|'); }); }); 1");
    bool dropped = false;
    for (int attempt = 0; attempt < 3 && !dropped; ++attempt) {
        const test::Geometry g = geometry();
        std::ostringstream drag;
        drag << "xdotool mousemove " << g.x + 300 << " " << g.y + 300 << " sleep 0.3 mousedown 1";
        for (int step = 1; step <= 12; ++step) // towards the target at (0, 800), 300 x 200
            drag << " sleep 0.1 mousemove " << g.x + 300 - step * (g.x + 150) / 12 << " " << g.y + 300 + step * (900 - g.y - 300) / 12;
        drag << " sleep 0.4 mousemove 160 905 sleep 0.4 mousemove 150 900 sleep 0.5 mouseup 1";
        ASSERT_EQ(std::system(drag.str().c_str()), 0);
        dropped = eventually([&] { return test::readFile(record).find("two.txt") != std::string::npos; }, std::chrono::seconds(5));
    }
    EXPECT_TRUE(dropped);
    EXPECT_TRUE(eventually([&] { return run("dragged") == a + "|" + b; })) << run("dragged");
    EXPECT_EQ(test::readFile(record), "file://" + a + "\nfile://" + b + "\n");
    kill(target, SIGTERM);
    waitpid(target, nullptr, 0);

    // Escape ends a drag too: the same answer.
    const test::Geometry g = geometry();
    std::ostringstream cancel;
    cancel << "xdotool mousemove " << g.x + 300 << " " << g.y + 300 << " sleep 0.2 mousedown 1 sleep 0.5";
    for (int step = 1; step <= 5; ++step)
        cancel << " sleep 0.1 mousemove " << g.x + 300 + step * 20 << " " << g.y + 300 + step * 10;
    cancel << " sleep 0.3 key Escape sleep 0.2 mouseup 1";
    run("dragged = 'pending'; 1");
    ASSERT_EQ(std::system(cancel.str().c_str()), 0);
    EXPECT_TRUE(eventually([&] { return run("dragged") == a + "|" + b; })) << run("dragged");
    EXPECT_EQ(run("var never = 'pending'; module('dragdrop').doDragDrop('x', 'y').then(function () { never = 'settled'; }); never"), "pending");
}
