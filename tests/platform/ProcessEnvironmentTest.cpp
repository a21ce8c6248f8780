// tvn's own drawing variables: set only where the user set nothing, and never passed on to the
// programs tvn starts (through the launcher or the desktop's handlers).
#include "platform/Launcher.h"
#include "platform/ProcessEnvironment.h"

#include "tests/support/Environment.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <unistd.h>

using namespace tvn;

namespace {

bool has(const std::vector<std::string>& environment, const std::string& entry)
{
    return std::find(environment.begin(), environment.end(), entry) != environment.end();
}

std::string childEnvironment()
{
    const auto child = platform::startWithOutputPipe(std::nullopt, { "env" }, std::filesystem::current_path());
    if (!child)
        return {};
    std::string output;
    char buffer[4096];
    for (ssize_t n; (n = ::read(child->output, buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<size_t>(n));
    ::close(child->output);
    platform::waitForExit(child->pid);
    return output;
}

} // namespace

TEST(ProcessEnvironment, OnlyTheListedVariablesAreTakenOut)
{
    const std::vector<std::string> kept = platform::withoutAddedVariables({
        "TVN_ADDED_ENVIRONMENT=GDK_GL:WEBKIT_DISABLE_DMABUF_RENDERER",
        "GDK_GL=disable",
        "GDK_GL_X=1", // a longer name that begins like one listed
        "WEBKIT_DISABLE_DMABUF_RENDERER=1",
        "WEBKIT_WEB_RENDER_DEVICE_FILE=/dev/dri/renderD128", // the user's: not in the list
        "PATH=/usr/bin",
    });
    EXPECT_EQ(kept, (std::vector<std::string> { "GDK_GL_X=1", "WEBKIT_WEB_RENDER_DEVICE_FILE=/dev/dri/renderD128", "PATH=/usr/bin" }));
    // Without a list nothing was added: everything stays.
    EXPECT_EQ(platform::withoutAddedVariables({ "GDK_GL=disable", "A=b" }), (std::vector<std::string> { "GDK_GL=disable", "A=b" }));
}

TEST(ProcessEnvironment, TheFirstRenderNodeByNumber)
{
    test::TempDir dir;
    EXPECT_EQ(platform::firstRenderNode((dir / "none").string()), (dir / "none").string() + "/renderD128");
    for (const char* name : { "card0", "renderD130", "renderD129", "renderDx", "renderD" })
        test::writeFile(dir / name, "");
    EXPECT_EQ(platform::firstRenderNode(dir.path().string()), dir.path().string() + "/renderD129");
}

TEST(ProcessEnvironment, TheUsersChoiceStandsAndNothingAddedReachesAProgram)
{
    test::EnvironmentChange environment;
    environment.set("GDK_GL", "gles"); // the user's own
    environment.unset("WEBKIT_DISABLE_DMABUF_RENDERER");
    environment.unset("WEBKIT_WEB_RENDER_DEVICE_FILE");
    environment.unset("TVN_ADDED_ENVIRONMENT");
    platform::setDrawingEnvironment();
    EXPECT_STREQ(getenv("GDK_GL"), "gles");
    EXPECT_STREQ(getenv("WEBKIT_DISABLE_DMABUF_RENDERER"), "1");
    ASSERT_NE(getenv("WEBKIT_WEB_RENDER_DEVICE_FILE"), nullptr);
    EXPECT_STREQ(getenv("TVN_ADDED_ENVIRONMENT"), "WEBKIT_DISABLE_DMABUF_RENDERER:WEBKIT_WEB_RENDER_DEVICE_FILE");

    const std::vector<std::string> passed = platform::programEnvironment();
    EXPECT_TRUE(has(passed, "GDK_GL=gles"));
    EXPECT_FALSE(has(passed, "WEBKIT_DISABLE_DMABUF_RENDERER=1"));
    // A started child sees the same.
    const std::string seen = childEnvironment();
    EXPECT_NE(seen.find("GDK_GL=gles\n"), std::string::npos);
    EXPECT_EQ(seen.find("WEBKIT_"), std::string::npos);
    EXPECT_EQ(seen.find("TVN_ADDED_ENVIRONMENT"), std::string::npos);
    // So does a handler the desktop starts.
    const GRef<GAppLaunchContext> context = platform::programLaunchContext();
    GUnique<char*> launched(g_app_launch_context_get_environment(context.get()));
    std::vector<std::string> handlerEnvironment;
    for (char** entry = launched.get(); *entry; ++entry)
        handlerEnvironment.emplace_back(*entry);
    EXPECT_TRUE(has(handlerEnvironment, "GDK_GL=gles"));
    EXPECT_FALSE(has(handlerEnvironment, "WEBKIT_DISABLE_DMABUF_RENDERER=1"));
}
