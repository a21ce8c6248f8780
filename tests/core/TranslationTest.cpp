// Where the native translations are found: beside tvn in a build or a copied application folder,
// else in the share/locale of the installation the folder belongs to.
#include "core/Translation.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace tvn;

TEST(Translation, TheApplicationFolderFirstThenTheInstallation)
{
    test::TempDir dir;
    const auto installed = dir / "usr" / "lib" / "tvn";
    std::filesystem::create_directories(installed);
    EXPECT_EQ(translationFolder(installed), dir / "usr" / "share" / "locale");
    std::filesystem::create_directories(installed / "locale");
    EXPECT_EQ(translationFolder(installed), installed / "locale");
}
