// The request rules for "app" and "file" URLs.
#include "browser/AppSchemeRequest.h"
#include "browser/LocalResourceHandler.h"
#include "browser/MimeTypes.h"
#include "window/StartPage.h"
#include "tools/pak/PakWriter.h"
#include "util/MD5.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace tvn;
using test::TempDir;

TEST(MimeTypes, TableIsExact)
{
    EXPECT_EQ(mimeTypeFor("html"), "text/html");
    EXPECT_EQ(mimeTypeFor("htm"), "text/html");
    EXPECT_EQ(mimeTypeFor("js"), "application/javascript");
    EXPECT_EQ(mimeTypeFor("css"), "text/css");
    EXPECT_EQ(mimeTypeFor("jpg"), "image/jpeg");
    EXPECT_EQ(mimeTypeFor("zip"), "application/zip");
    EXPECT_EQ(mimeTypeFor("log"), "text/plain");
    EXPECT_EQ(mimeTypeFor("HTML"), "application/octet-stream");
    EXPECT_EQ(mimeTypeFor(""), "application/octet-stream");
    EXPECT_EQ(mimeTypeFor("svg"), "application/octet-stream");
}

TEST(MimeTypes, Extensions)
{
    EXPECT_EQ(urlExtension("app://dist.pak/js/app.min.js?v=2"), "js");
    EXPECT_EQ(urlExtension("app://dist.pak/LICENSE"), "");
    EXPECT_EQ(urlExtension("app://dist.pak/a.b/c"), "");
    EXPECT_EQ(urlExtension("app://dist.pak/x.html?a=1?b=2.js"), "html?a=1"); // cut at the last "?"
    EXPECT_EQ(urlExtension("no-slash.js"), "");
    EXPECT_EQ(pathExtension("/site/index.html"), "html");
    EXPECT_EQ(pathExtension("/site/archive.ZIP"), "ZIP");
    EXPECT_EQ(pathExtension("/site/README"), "");
    EXPECT_EQ(pathExtension("/site/a.tar.gz"), "gz");
}

TEST(AppSchemeRequest, WhichUrlsGetAHandler)
{
    auto target = appRequestTarget("app://dist.pak/index.html?bd_vid=123");
    ASSERT_TRUE(target);
    EXPECT_EQ(target->packName, "dist.pak");
    EXPECT_EQ(target->entryPath, "index.html");

    EXPECT_EQ(appRequestTarget("app://dist.pak/my%20file.js#top")->entryPath, "my%20file.js");
    EXPECT_EQ(appRequestTarget("app://dist.pak/")->entryPath, "");
    EXPECT_EQ(appRequestTarget("app://dist.pak")->entryPath, "");
    EXPECT_EQ(appRequestTarget("app://dist.pak?x=/y")->entryPath, "");
    EXPECT_EQ(appRequestTarget("APP://Dist.PAK/a/B.js")->packName, "dist.pak");
    EXPECT_EQ(appRequestTarget("APP://Dist.PAK/a/B.js")->entryPath, "a/B.js");
    EXPECT_EQ(appRequestTarget("app://x.pak:80/a.js")->packName, "x.pak");

    EXPECT_FALSE(appRequestTarget("app://other.zip/index.html"));
    EXPECT_FALSE(appRequestTarget("app://pak/index.html"));
    EXPECT_FALSE(appRequestTarget("http://dist.pak/index.html"));
    EXPECT_FALSE(appRequestTarget("app:dist.pak/index.html"));
    EXPECT_FALSE(appRequestTarget("not a url"));
}

namespace {

struct AppFolder {
    TempDir dir;
    AppFolder()
    {
        std::vector<pak::InputFile> files = {
            { "index.html", "<p>hi</p>" },
            { "big.js", std::string(100000, 'b') },
            { "css/site.css", "p{}" },
            { "my%20file.js", "spaced" },
        };
        test::writeFile(dir / "dist.pak", pak::buildPak(files));
    }
};

} // namespace

TEST(AppSchemeRequest, ServesEntriesWhole)
{
    AppFolder folder;
    auto response = answerAppRequest("app://dist.pak/index.html?bd_vid=123", folder.dir.path());
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 200);
    EXPECT_EQ(response->mimeType, "text/html");
    EXPECT_EQ(response->length, 9u);
    EXPECT_EQ(response->body, "<p>hi</p>");

    response = answerAppRequest("app://dist.pak/big.js", folder.dir.path());
    ASSERT_TRUE(response);
    EXPECT_EQ(response->mimeType, "application/javascript");
    EXPECT_EQ(response->length, 100000u);
    EXPECT_EQ(response->body, std::string(100000, 'b'));

    EXPECT_EQ(answerAppRequest("app://dist.pak/css/site.css#x", folder.dir.path())->mimeType, "text/css");
    EXPECT_EQ(answerAppRequest("app://dist.pak/my%20file.js", folder.dir.path())->body, "spaced");
}

TEST(AppSchemeRequest, RootAndFailures)
{
    AppFolder folder;
    auto root = answerAppRequest("app://dist.pak/", folder.dir.path());
    ASSERT_TRUE(root);
    EXPECT_EQ(root->status, 200);
    EXPECT_EQ(root->length, 0u);
    EXPECT_EQ(root->body, "");
    EXPECT_EQ(root->mimeType, "application/octet-stream");

    EXPECT_FALSE(answerAppRequest("app://dist.pak/missing.js", folder.dir.path()));
    EXPECT_FALSE(answerAppRequest("app://x.pak/a.js", folder.dir.path())); // no x.pak beside it
    EXPECT_FALSE(answerAppRequest("app://other.zip/index.html", folder.dir.path()));
}

// The dist folder through the app scheme: its files as local files are read, never a step outside.
TEST(AppSchemeRequest, ServesTheDistFolder)
{
    TempDir dir;
    const auto dist = dir / "dist";
    std::filesystem::create_directories(dist / "js");
    test::writeFile(dist / "index.html", "<p>");
    test::writeFile(dist / "js" / "my app.js", "x");
    test::writeFile(dir / "secret.txt", "secret");

    auto response = answerAppRequest("app://dist/index.html?bd_vid=1", dir.path(), dist);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 200);
    EXPECT_EQ(response->mimeType, "text/html");
    EXPECT_EQ(response->body, "<p>");
    EXPECT_EQ(answerAppRequest("APP://Dist/js/my%20app.js#top", dir.path(), dist)->body, "x");
    EXPECT_EQ(answerAppRequest("app://dist/missing.js", dir.path(), dist)->status, 404);

    // Refused: a 404 that never reads outside the folder.
    EXPECT_EQ(answerAppRequest("app://dist/../secret.txt", dir.path(), dist)->status, 404);
    EXPECT_EQ(answerAppRequest("app://dist/%2e%2e/secret.txt", dir.path(), dist)->status, 404);
    EXPECT_EQ(answerAppRequest("app://dist/js/..%2F..%2Fsecret.txt", dir.path(), dist)->status, 404);
    EXPECT_FALSE(answerAppRequest("app://dist/index.html", dir.path(), {})); // the folder is not the source
    EXPECT_FALSE(answerAppRequest("app://distant/index.html", dir.path(), dist));
    EXPECT_FALSE(answerAppRequest("app://dist/index.html", dir.path())); // nor a pack named so
}

// Every way out of the dist folder is a 404: an absolute right-hand side, its escaped form, and a
// link inside the folder that points out of it. A link that stays inside is served.
TEST(AppSchemeRequest, DistFolderHasNoWayOut)
{
    TempDir dir;
    const auto dist = dir / "dist";
    std::filesystem::create_directories(dist);
    test::writeFile(dist / "index.html", "<p>");
    test::writeFile(dir / "outside.html", "<script>module</script>");
    std::filesystem::create_symlink(dir / "outside.html", dist / "leak.html");
    std::filesystem::create_symlink(dist / "index.html", dist / "alias.html");
    std::filesystem::create_symlink(dir.path(), dist / "up");

    const std::string outside = (dir / "outside.html").string();
    for (const std::string& url : std::vector<std::string> { "app://dist/" + outside, "app://dist/%2F" + outside.substr(1),
             "app://dist//etc/hostname", "app://dist/%2Fetc%2Fhostname", "app://dist/leak.html",
             "app://dist/up/outside.html", "app://dist/", "app://dist" }) {
        const auto response = answerAppRequest(url, dir.path(), dist);
        ASSERT_TRUE(response) << url;
        EXPECT_EQ(response->status, 404) << url;
        EXPECT_EQ(response->body, "") << url;
    }
    EXPECT_EQ(answerAppRequest("app://dist/alias.html", dir.path(), dist)->body, "<p>");
}

// A found entry that cannot be read announces its size and has no body.
TEST(AppSchemeRequest, UnreadableEntryHasAnEmptyBody)
{
    TempDir dir;
    const std::string stream = pak::deflateStream("abc");
    const std::string index = R"({"files":{"bad.js":{"offset":0,"size":3,"gsize":)" + std::to_string(stream.size())
        + R"(,"hash":"00000000000000000000000000000000"}}})";
    test::writeFile(dir / "dist.pak", pak::assemblePak(index, stream));
    auto response = answerAppRequest("app://dist.pak/bad.js", dir.path());
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 200);
    EXPECT_EQ(response->length, 3u);
    EXPECT_EQ(response->body, "");
}

TEST(LocalResourceHandler, DecodesCutsAndTypes)
{
    TempDir dir;
    test::writeFile(dir / "a b.html", "<b>local</b>");
    test::writeFile(dir / "archive.ZIP", "PK");

    EXPECT_EQ(LocalResourceHandler::Open("file:///C:/site/a%20b.html?x=1"), "/C:/site/a b.html");
    EXPECT_EQ(LocalResourceHandler::Open("file:///a%3Fb?c"), "/a"); // decoded first, then cut
    EXPECT_FALSE(LocalResourceHandler::Open("FILE:///a"));
    EXPECT_FALSE(LocalResourceHandler::Open("app://dist.pak/a"));

    const std::string base = "file://" + dir.path().string();
    auto response = LocalResourceHandler::answer(base + "/a%20b.html?x=1");
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 200);
    EXPECT_EQ(response->mimeType, "text/html");
    EXPECT_EQ(response->length, 12u);
    EXPECT_EQ(response->body, "<b>local</b>");

    EXPECT_EQ(LocalResourceHandler::answer(base + "/archive.ZIP")->mimeType, "application/octet-stream");

    response = LocalResourceHandler::answer(base + "/missing.html");
    ASSERT_TRUE(response);
    EXPECT_EQ(response->status, 404);
    EXPECT_EQ(response->body, "");
    EXPECT_EQ(LocalResourceHandler::answer(base)->status, 404); // a folder
}

TEST(StartPage, UrlTxtThenPackThenDistFolder)
{
    TempDir dir;
    const auto app = dir / "build" / "app";
    std::filesystem::create_directories(app);

    // No source at all: the folder beside the executable, through the app scheme.
    StartPage page = chooseStartPage(app, "");
    EXPECT_EQ(page.url, "app://dist/index.html?bd_vid=");
    EXPECT_EQ(page.origin, "app://dist");
    EXPECT_EQ(page.distFolder, app / "dist");
    std::filesystem::create_directories(dir / "dist");
    test::writeFile(dir / "dist" / "index.html", "<p>");
    page = chooseStartPage(app, "9");
    EXPECT_EQ(page.url, "app://dist/index.html?bd_vid=9");
    EXPECT_EQ(page.distFolder, app / ".." / ".." / "dist");
    EXPECT_EQ(page.logLines, (std::vector<std::string> { "open from dist, " + (app / ".." / ".." / "dist" / "index.html").string() }));

    test::writeFile(app / "dist.pak", "pak");
    page = chooseStartPage(app, "12345");
    EXPECT_EQ(page.url, "app://dist.pak/index.html?bd_vid=12345");
    EXPECT_EQ(page.origin, "app://dist.pak");
    EXPECT_TRUE(page.distFolder.empty());

    // url.txt is trimmed: a trailing line break no longer ends up in the URL or its origin.
    test::writeFile(app / "url.txt", "https://a.example:8443/page\r\n");
    page = chooseStartPage(app, "12345");
    EXPECT_EQ(page.url, "https://a.example:8443/page");
    EXPECT_EQ(page.origin, "https://a.example:8443");
    EXPECT_EQ(page.logLines, (std::vector<std::string> { "open from url.txt, https://a.example:8443/page" }));

    // A URL the window may not show is refused, logged, and the next source is used.
    test::writeFile(app / "url.txt", "http://example.com/\n");
    page = chooseStartPage(app, "");
    EXPECT_EQ(page.url, "app://dist.pak/index.html?bd_vid=");
    EXPECT_EQ(page.logLines, (std::vector<std::string> { "url.txt refused, http://example.com/", "open from dist.pak" }));
}

TEST(StartPage, UrlTxtSchemesAndLoopbackHosts)
{
    for (const char* accepted : { "app://dist.pak/index.html", "file:///opt/site/index.html", "https://example.com/",
             "http://127.0.0.1:8080/", "http://127.9.8.7/", "HTTP://LocalHost/a", "http://[::1]:81/", "http://user@localhost/" })
        EXPECT_EQ(acceptedUrlTxt(accepted), accepted) << accepted;
    EXPECT_EQ(acceptedUrlTxt("  https://a.example/ \n"), "https://a.example/");
    for (const char* refused : { "", "\n", "http://example.com/", "http://127.0.0.1.example.com/", "http://128.0.0.1/",
             "http://localhost@example.com/", "http://[::2]/", "ftp://127.0.0.1/", "javascript:alert(1)", "data:text/html,x",
             "about:blank", "/home/a/index.html", "http://evil.example\\@127.0.0.1/", "http://127.0.0.1\\/",
             "http://127.0.0.1/\x01a", "http://127.0.0.1/a\tb", "http://127.0.0.1/a\x7f", "app:dist.pak/index.html",
             "http://a@127.0.0.1@evil.example/", "http://127.0.0.1 .evil.example/", "http://127.0.0.1%2F@evil.example/" })
        EXPECT_FALSE(acceptedUrlTxt(refused)) << refused;
}

TEST(StartPage, Origins)
{
    EXPECT_EQ(urlOrigin("app://dist.pak/index.html?bd_vid=1"), "app://dist.pak");
    EXPECT_EQ(urlOrigin("APP://Dist.pak/x"), "app://dist.pak");
    EXPECT_EQ(urlOrigin("http://user@127.0.0.1:8080/a#b"), "http://127.0.0.1:8080");
    EXPECT_EQ(urlOrigin("http://a.example:80/"), "http://a.example");
    EXPECT_EQ(urlOrigin("https://a.example:443/"), "https://a.example");
    EXPECT_EQ(urlOrigin("file:///home/a/index.html"), "");
    // An IPv6 literal is one; an escaped ":" in a name does not make a name one (GUri decodes it).
    EXPECT_EQ(urlOrigin("http://[::1]:81/x"), "http://[::1]:81");
    EXPECT_EQ(urlOrigin("http://a%3ab.example/x"), "");
    EXPECT_EQ(urlOrigin("about:blank"), "");
    EXPECT_EQ(urlOrigin("data:text/html,x"), "");

    EXPECT_EQ(startOriginOf("file:///home/a/site/index.html?bd_vid=1"), "file:///home/a/site/");
    EXPECT_EQ(startOriginOf("app://dist/index.html"), "app://dist");

    const std::string pack = "app://dist.pak";
    EXPECT_TRUE(inStartOrigin("app://dist.pak/sub/frame.html", pack));
    EXPECT_FALSE(inStartOrigin("app://other.pak/index.html", pack));
    EXPECT_FALSE(inStartOrigin("app://dist/index.html", pack));
    EXPECT_FALSE(inStartOrigin("about:blank", pack));
    EXPECT_FALSE(inStartOrigin("app://dist.pak/", "")); // no start origin: nothing belongs
    EXPECT_TRUE(inStartOrigin("http://127.0.0.1:80/x", "http://127.0.0.1"));
    EXPECT_FALSE(inStartOrigin("http://127.0.0.1:8081/x", "http://127.0.0.1:8080"));

}

// A file start page's origin is its folder, judged by real paths: the folder's own files (through
// links that stay inside), never a sibling with the same prefix, a step up, or a link out.
TEST(StartPage, FileOriginsByRealPath)
{
    TempDir dir;
    const auto site = dir / "my site";
    std::filesystem::create_directories(site / "sub");
    std::filesystem::create_directories(dir / "my site2");
    for (const auto& file : { site / "index.html", site / "sub" / "b.html", dir / "my site2" / "index.html", dir / "index.html" })
        test::writeFile(file, "<p>");
    std::filesystem::create_symlink(dir / "index.html", site / "out.html");
    std::filesystem::create_symlink(site / "index.html", site / "in.html");

    const std::string base = "file://" + dir.path().string();
    const std::string folder = startOriginOf(base + "/my%20site/index.html?bd_vid=1");
    EXPECT_EQ(folder, base + "/my%20site/");
    EXPECT_TRUE(inStartOrigin(base + "/my%20site/index.html", folder));
    EXPECT_TRUE(inStartOrigin(base + "/my site/sub/b.html#x", folder));
    EXPECT_TRUE(inStartOrigin(base + "/my%20site/in.html", folder));
    EXPECT_FALSE(inStartOrigin(base + "/my%20site/out.html", folder));
    EXPECT_FALSE(inStartOrigin(base + "/my%20site2/index.html", folder));
    EXPECT_FALSE(inStartOrigin(base + "/index.html", folder));
    EXPECT_FALSE(inStartOrigin(base + "/my%20site/../index.html", folder));
    EXPECT_FALSE(inStartOrigin(base + "/my%20site/%2E%2E/index.html", folder));
    EXPECT_FALSE(inStartOrigin(base + "/my%20site/missing.html", folder));
    EXPECT_FALSE(inStartOrigin(base + "/my%20site/", folder)); // the folder itself is no page
    EXPECT_FALSE(inStartOrigin("file://host" + dir.path().string() + "/my%20site/index.html", folder));
    EXPECT_FALSE(inStartOrigin("http://host" + dir.path().string() + "/my%20site/index.html", folder));
}

// A file start page in a folder others may write to is refused; the same folder closed is taken.
TEST(StartPage, FileStartPageInAFolderOpenToOthers)
{
    TempDir dir;
    const auto app = dir / "app";
    const auto site = dir / "site";
    std::filesystem::create_directories(app);
    std::filesystem::create_directories(site);
    test::writeFile(app / "dist.pak", "pak");
    const std::string url = "file://" + (site / "index.html").string();
    test::writeFile(app / "url.txt", url);

    std::filesystem::permissions(site, std::filesystem::perms(0755));
    EXPECT_EQ(chooseStartPage(app, "").url, url);
    EXPECT_FALSE(startFolderOpenToOthers(url));
    for (const auto mode : { 0757, 0775, 01777 }) {
        std::filesystem::permissions(site, std::filesystem::perms(mode));
        const StartPage page = chooseStartPage(app, "");
        EXPECT_EQ(page.url, "app://dist.pak/index.html?bd_vid=") << std::oct << mode;
        EXPECT_EQ(page.logLines.front(), "url.txt refused, its folder is open to other users, " + url);
    }
    EXPECT_TRUE(startFolderOpenToOthers("file:///tmp/index.html"));
    EXPECT_FALSE(startFolderOpenToOthers("https://a.example/tmp/index.html"));
}
