// KeyValues text as Steam writes it: nesting, comments, escapes, conditions, and files that are
// not well formed.
#include "wine/Vdf.h"

#include <gtest/gtest.h>

using namespace tvn::wine;

TEST(Vdf, SteamLibraryFoldersWithCommentsAndEscapes)
{
    const std::string text = R"(// written by Steam
"libraryfolders"
{
	"0"
	{
		"path"		"/home/me/.local/share/Steam"
		"label"		""
		"contentid"		"4114224312541355537"
		"apps"
		{
			"228980"		"464580549"
			"1245620"		"61216419896"
		}
	}
	"1"   // a second disk
	{
		"path"		"/mnt/games/Steam \"Library\"\\x"
		"apps" { "570" "1" }
	}
	Bare	Value [$LINUX]
}
)";
    const auto root = parseVdf(text);
    ASSERT_TRUE(root);
    const VdfNode* folders = root->find("LibraryFolders"); // keys match without regard to case
    ASSERT_NE(folders, nullptr);
    ASSERT_EQ(folders->children.size(), 3u);
    EXPECT_EQ(folders->find("0")->text("path"), "/home/me/.local/share/Steam");
    EXPECT_EQ(folders->find("0")->text("label"), "");
    EXPECT_EQ(folders->find("0")->find("apps")->children.size(), 2u);
    EXPECT_EQ(folders->find("0")->find("apps")->children[1].key, "1245620");
    EXPECT_EQ(folders->find("1")->text("path"), "/mnt/games/Steam \"Library\"\\x");
    EXPECT_EQ(folders->text("Bare"), "Value");
    EXPECT_EQ(folders->text("0"), std::nullopt); // a block, not a leaf
    EXPECT_EQ(folders->find("2"), nullptr);
}

TEST(Vdf, AppManifest)
{
    const auto root = parseVdf("\"AppState\"\n{\n\t\"appid\"\t\t\"228980\"\n\t\"name\"\t\t\"Steamworks Common\\tRedistributables\"\n}\n");
    ASSERT_TRUE(root);
    EXPECT_EQ(root->find("appstate")->text("name"), "Steamworks Common\tRedistributables");
    EXPECT_EQ(root->find("appstate")->text("appid"), "228980");
}

// A file that is not well formed is no tree: cut short, unbalanced, a key without a value, an
// unclosed quote or condition, or nested past the limit. An empty file is an empty tree.
TEST(Vdf, BrokenFilesAreRefused)
{
    for (const char* broken : { "\"a\" {", "\"a\" { \"b\" \"c\" } }", "}", "\"a\"", "\"a\" \"b", "{ }", "\"a\" { \"b\" { } ", "\"a\" \"b\" [$X" })
        EXPECT_FALSE(parseVdf(broken)) << broken;
    std::string deep, closing;
    for (int i = 0; i < 65; ++i) {
        deep += "\"k\" { ";
        closing += "} ";
    }
    EXPECT_FALSE(parseVdf(deep + closing));
    const std::string allowed = deep.substr(6) + closing.substr(2); // 64 levels
    EXPECT_TRUE(parseVdf(allowed));
    const auto empty = parseVdf("  // nothing\n");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->children.empty());
}
