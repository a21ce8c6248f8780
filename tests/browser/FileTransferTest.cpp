// The pure parts of the file dialog and of drag and drop: the dialog's request and filters, and
// the file list a drag carries.
#include "browser/DragAndDrop.h"
#include "browser/UriList.h"
#include "browser/FileDialog.h"

#include <gtest/gtest.h>

using namespace tvn;

TEST(FileDialog, RequestFromTheCall)
{
    const auto request = fileDialogRequest(nlohmann::json::parse(R"([{"mode": "1", "title": "t", "accept_filters": ".zip,,.7z"}])"));
    ASSERT_TRUE(request);
    EXPECT_EQ(request->mode, kFileOpenMultiple);
    EXPECT_EQ(request->title, "t");
    EXPECT_EQ(request->defaultPath, "");
    EXPECT_EQ(request->filters, (std::vector<std::string> { ".zip", ".7z" }));

    // Defaults, and values of the wrong type keep them.
    const auto plain = fileDialogRequest(nlohmann::json::parse(R"([{"mode": 2.5, "title": 5, "default_path": "/tmp"}])"));
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->mode, 0);
    EXPECT_EQ(plain->title, "select a file");
    EXPECT_EQ(plain->defaultPath, "/tmp");
    EXPECT_EQ(fileDialogRequest(nlohmann::json::parse(R"([{"mode": 16777219}])"))->mode, kFileSave | kFileDialogOverwritePrompt);
    EXPECT_TRUE(fileDialogRequest(nlohmann::json::parse(R"(["not a dictionary"])")));

    // Any other number of parameters: no dialog.
    EXPECT_FALSE(fileDialogRequest(nlohmann::json::array()));
    EXPECT_FALSE(fileDialogRequest(nlohmann::json::parse(R"([{}, {}])")));
}

TEST(FileDialog, Filters)
{
    const FileFilterSpec extension = fileFilterSpec(".Zip");
    EXPECT_EQ(extension.name, ".Zip");
    EXPECT_EQ(extension.patterns, (std::vector<std::string> { "*.[zZ][iI][pP]" }));
    EXPECT_EQ(fileFilterSpec(".7z").patterns, (std::vector<std::string> { "*.7[zZ]" }));
    EXPECT_EQ(fileFilterSpec(".a*b").patterns, (std::vector<std::string> { "*.[aA][*][bB]" })); // a glob character is literal

    const FileFilterSpec described = fileFilterSpec("Images|.png; image/jpeg;;nonsense");
    EXPECT_EQ(described.name, "Images");
    EXPECT_EQ(described.patterns, (std::vector<std::string> { "*.[pP][nN][gG]" }));
    EXPECT_EQ(described.mimeTypes, (std::vector<std::string> { "image/jpeg" }));
    EXPECT_EQ(fileFilterSpec("text/plain").mimeTypes, (std::vector<std::string> { "text/plain" }));
    EXPECT_TRUE(fileFilterSpec("nonsense").patterns.empty());
}

TEST(DragAndDrop, FilesOfAUriList)
{
    EXPECT_EQ(filesFromUriList("# a comment\r\nfile:///home/u/a%20b.txt\r\nhttps://example.com/x\r\nfile:///tmp/%E4%B8%AD.zip\r\n\r\n"),
        (std::vector<std::string> { "/home/u/a b.txt", "/tmp/中.zip" }));
    EXPECT_TRUE(filesFromUriList("").empty());
    EXPECT_TRUE(filesFromUriList("file://otherhost/x").empty()); // not a local file
}
