// The request rules for "app" and "file" URLs.
#include "browser/AppSchemeRequest.h"
#include "browser/LocalResourceHandler.h"
#include "browser/MimeTypes.h"
#include "browser/StartPage.h"
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

TEST(StartPage, UrlTxtThenPackThenDist)
{
    TempDir dir;
    const auto app = dir / "build" / "app";
    std::filesystem::create_directories(app);

    StartPage page = chooseStartPage(app, "");
    EXPECT_EQ(page.url, "file://" + (app / "dist" / "index.html").string() + "?bd_vid=");
    std::filesystem::create_directories(dir / "dist");
    test::writeFile(dir / "dist" / "index.html", "<p>");
    page = chooseStartPage(app, "9");
    EXPECT_EQ(page.url, "file://" + (app / ".." / ".." / "dist" / "index.html").string() + "?bd_vid=9");
    EXPECT_EQ(page.logLine, "open from dist, " + (app / ".." / ".." / "dist" / "index.html").string());

    test::writeFile(app / "dist.pak", "pak");
    EXPECT_EQ(chooseStartPage(app, "").url, "app://dist.pak/index.html?bd_vid=");
    EXPECT_EQ(chooseStartPage(app, "12345").url, "app://dist.pak/index.html?bd_vid=12345");

    test::writeFile(app / "url.txt", "http://127.0.0.1:8080/page\r\n");
    page = chooseStartPage(app, "12345");
    EXPECT_EQ(page.url, "http://127.0.0.1:8080/page\n"); // the line break stays
    EXPECT_EQ(page.logLine, "open from url.txt, http://127.0.0.1:8080/page\n");
}

TEST(StartPage, Origins)
{
    EXPECT_EQ(urlOrigin("app://dist.pak/index.html?bd_vid=1"), "app://dist.pak");
    EXPECT_EQ(urlOrigin("APP://Dist.pak/x"), "app://dist.pak");
    EXPECT_EQ(urlOrigin("http://user@127.0.0.1:8080/a#b"), "http://127.0.0.1:8080");
    EXPECT_EQ(urlOrigin("file:///home/a/index.html"), "file://");
    EXPECT_EQ(urlOrigin("about:blank"), "");
    EXPECT_EQ(urlOrigin("data:text/html,x"), "");
}
