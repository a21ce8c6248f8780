// The dragdrop module in a standalone JavaScriptCore context: the files of the last drag, and
// doDragDrop forwarded to the browser process as it was called.
#include "core/TaskQueue.h"
#include "modules/CallBridge.h"
#include "modules/DragFiles.h"
#include "modules/ModuleHandler.h"
#include "tests/support/Script.h"

#include <gtest/gtest.h>

using namespace tvn;

TEST(DragDropModule, FilesOfTheLastDragAndDragsOut)
{
    GRef<JSCContext> context = GRef<JSCContext>::adopt(jsc_context_new());
    ModuleHandler::install(context.get(), 4, 2);
    std::vector<std::pair<std::string, nlohmann::json>> sent;
    TaskQueue scriptThread;
    CallBridge bridge(
        [&sent](int, const std::string& method, const nlohmann::json& arguments, const std::string&) {
            sent.emplace_back(method, arguments);
            return true;
        },
        [&scriptThread](std::function<void()> task) { scriptThread.post(std::move(task)); });
    CallBridge::setCurrent(&bridge);

    dragFileList().clear();
    EXPECT_EQ(test::runScript(context.get(), "JSON.stringify(module('dragdrop').getFiles(1, 2))"), "[]");
    dragFileList() = { "/a/one.txt", "/b/two 中.txt" };
    EXPECT_EQ(test::runScript(context.get(), "JSON.stringify(module('dragdrop').getFiles())"), R"(["/a/one.txt","/b/two 中.txt"])");

    EXPECT_EQ(test::runScript(context.get(), "typeof module('dragdrop').doDragDrop(['/a/one.txt']).then"), "function");
    test::runScript(context.get(), "module('dragdrop').doDragDrop('x', 'y')"); // the browser refuses it: never settles
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].first, "doDragDrop");
    EXPECT_EQ(sent[0].second, nlohmann::json::parse(R"([["/a/one.txt"]])"));
    EXPECT_EQ(sent[1].second, nlohmann::json::parse(R"(["x", "y"])"));
    CallBridge::setCurrent(nullptr);
    dragFileList().clear();
}
