// The registry store: the registry's rules, and several writers at once.
#include "platform/RegistryStore.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace tvn;
using namespace tvn::platform;
using test::TempDir;

namespace {
constexpr RegistryRoot kMachine = RegistryRoot::LocalMachine;
constexpr RegistryRoot kUser = RegistryRoot::CurrentUser;
}

TEST(RegistryStore, KeysIgnoreCaseButKeepIt)
{
    TempDir dir;
    RegistryStore store(dir / "registry.db");
    ASSERT_TRUE(regWriteString(store, kMachine, "SOFTWARE\\Vendor\\Product", "Version", "1.0"));
    EXPECT_EQ(regReadString(store, kMachine, "software\\VENDOR\\product", "VERSION"), "1.0");
    EXPECT_TRUE(store.keyExists(kMachine, "\\Software\\Vendor\\"));
    EXPECT_FALSE(store.keyExists(kUser, "SOFTWARE\\Vendor")); // another root
    ASSERT_TRUE(regWriteString(store, kMachine, "software\\vendor\\Other", "x", "y"));
    EXPECT_EQ(store.subkeys(kMachine, "SOFTWARE\\vendor"), (std::vector<std::string> { "Other", "Product" }));
    EXPECT_EQ(store.subkeys(kMachine, "SOFTWARE"), (std::vector<std::string> { "Vendor" })); // first spelling kept
    EXPECT_FALSE(store.subkeys(kMachine, "NoSuchKey"));

    EXPECT_EQ(rootKeyFromName("HKEY_LOCAL_MACHINE"), kMachine);
    EXPECT_EQ(rootKeyFromName("hkey_local_machine"), kUser);
    EXPECT_EQ(rootKeyFromName(""), kUser);
}

TEST(RegistryStore, ValuesAndTheDefaultValue)
{
    TempDir dir;
    RegistryStore store(dir / "registry.db");
    EXPECT_FALSE(regValueExists(store, kUser, "Key", ""));
    ASSERT_TRUE(regWriteString(store, kUser, "Key", "", "default text \xE4\xBD\xA0"));
    EXPECT_TRUE(regValueExists(store, kUser, "Key", ""));
    EXPECT_FALSE(regValueExists(store, kUser, "Key", "named"));
    EXPECT_EQ(regReadString(store, kUser, "Key", ""), "default text \xE4\xBD\xA0");

    RegistryValue value;
    ASSERT_EQ(store.queryValue(kUser, "Key", "", value), kErrorSuccess);
    EXPECT_EQ(value.type, kRegSz);
    EXPECT_EQ(value.data.size(), (13 + 1 + 1) * 2u); // 14 UTF-16 units and the NUL

    ASSERT_TRUE(regWriteNumber(store, kUser, "Key", "n", -2));
    EXPECT_EQ(regReadNumber(store, kUser, "Key", "n"), -2);
    ASSERT_EQ(store.queryValue(kUser, "Key", "n", value), kErrorSuccess);
    EXPECT_EQ(value.type, kRegDword);
    EXPECT_EQ(regReadNumber(store, kUser, "Key", ""), std::nullopt); // longer than 4 bytes
    EXPECT_EQ(regReadNumber(store, kUser, "Key", "missing"), std::nullopt);
    ASSERT_TRUE(regWriteString(store, kUser, "Key", "n", ""));        // the type changes with the value
    EXPECT_EQ(regReadString(store, kUser, "Key", "n"), "");

    EXPECT_EQ(store.deleteValue(kUser, "Key", "N"), kErrorSuccess);
    EXPECT_EQ(store.deleteValue(kUser, "Key", "n"), kErrorFileNotFound);
    EXPECT_EQ(store.deleteValue(kUser, "Missing", "n"), kErrorFileNotFound);
}

TEST(RegistryStore, DeletingKeysAndDeepTrees)
{
    TempDir dir;
    RegistryStore store(dir / "registry.db");
    std::string deep = "Top";
    for (int i = 0; i < 1500; ++i)
        deep += "\\level" + std::to_string(i);
    ASSERT_TRUE(regWriteNumber(store, kUser, deep, "bottom", 1));
    ASSERT_TRUE(regWriteNumber(store, kUser, "Top\\side", "v", 2));
    ASSERT_TRUE(regWriteNumber(store, kUser, "Kept", "v", 3));

    EXPECT_EQ(store.deleteKey(kUser, "Top"), kErrorAccessDenied); // has subkeys
    EXPECT_EQ(store.deleteKey(kUser, "Top\\side"), kErrorSuccess);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(regDeleteKeyTree(store, kUser, "top"));
    EXPECT_TRUE(regDeleteKeyTree(store, kUser, "Top")); // gone: "Key not found." and true
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Key not found.\n");
    EXPECT_FALSE(store.keyExists(kUser, "Top"));
    EXPECT_FALSE(store.keyExists(kUser, deep));
    EXPECT_EQ(regReadNumber(store, kUser, "Kept", "v"), 3);
    EXPECT_EQ(store.deleteKey(kUser, ""), kErrorAccessDenied); // the root stays
}

TEST(RegistryStore, TwoProcessesWritingAtOnceLoseNothing)
{
    TempDir dir;
    const auto database = dir / "registry.db";
    { RegistryStore create(database); }
    constexpr int kValues = 150;
    std::vector<pid_t> children;
    for (int writer = 0; writer < 2; ++writer) {
        const pid_t child = fork();
        if (child == 0) {
            RegistryStore store(database);
            bool ok = true;
            for (int i = 0; i < kValues; ++i)
                ok &= regWriteNumber(store, kUser, "Shared\\writer" + std::to_string(writer), "v" + std::to_string(i), i);
            _exit(ok ? 0 : 1);
        }
        children.push_back(child);
    }
    // And threads of this process at the same time.
    RegistryStore store(database);
    std::thread thread([&] {
        for (int i = 0; i < kValues; ++i)
            regWriteNumber(store, kUser, "Shared\\thread", "v" + std::to_string(i), i);
    });
    for (int i = 0; i < kValues; ++i)
        regWriteNumber(store, kUser, "Shared\\main", "v" + std::to_string(i), i);
    thread.join();
    for (const pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (const char* key : { "Shared\\writer0", "Shared\\writer1", "Shared\\thread", "Shared\\main" }) {
        for (int i = 0; i < kValues; ++i)
            ASSERT_EQ(regReadNumber(store, kUser, key, "v" + std::to_string(i)), i) << key << " " << i;
    }
}
