// fetchFile against the reference server: the download cache (hits, a corrupt entry, the bound),
// resuming a cut transfer, and sources tried in order.
#include "net/DownloadCache.h"
#include "net/FetchFile.h"

#include "tests/support/ServerFixture.h"
#include "util/Sha256.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <thread>

using namespace tvn;

namespace {

constexpr FetchPolicy kNoPause { 3, std::chrono::milliseconds(0) };

class FetchFileTest : public test::ServerFixture {
protected:
    void SetUp() override
    {
        test::ServerFixture::SetUp();
        content = std::string(1 << 20, 'c');
        for (size_t i = 0; i < content.size(); i += 4096)
            content[i] = static_cast<char>(i / 4096); // no two blocks alike: a misplaced part shows
        test::writeFile(dir / "catalog" / "big.bin", content);
    }

    DownloadAddress address(int mirrors = 0) const
    {
        DownloadAddress answer { "https://" + server->address() + "/files/big.bin", sha256Hex(content), content.size(), {} };
        for (int mirror = 1; mirror <= mirrors; ++mirror)
            answer.mirrors.push_back("https://" + server->address() + "/mirrors/" + std::to_string(mirror) + "/files/big.bin");
        return answer;
    }

    FetchResult fetch(const std::filesystem::path& destination, const FetchPolicy& policy = kNoPause, const DownloadAddress* given = nullptr)
    {
        return fetchFile(given ? *given : address(), destination, {}, {}, cache, policy);
    }

    // The file requests, each as "endpoint range".
    std::vector<std::string> fileRequests() const
    {
        std::vector<std::string> seen;
        for (const server::RecordedRequest& request : server->requests()) {
            if (request.endpoint == "files" || request.endpoint.starts_with("mirror")) {
                const auto range = request.headers.find("Range");
                seen.push_back(request.endpoint + (range == request.headers.end() ? "" : " " + range->second));
            }
        }
        return seen;
    }

    std::string content;
    DownloadCache cache { dir / "cache" / "files", 64u << 20 };
};

} // namespace

// The same file into two prefixes is one request; an entry that no longer has its digest is
// dropped and fetched again.
TEST_F(FetchFileTest, TheCacheServesASecondCopyAndDropsACorruptEntry)
{
    const auto first = dir / "prefix-a" / "drive_c" / "big.bin";
    const auto second = dir / "prefix-b" / "drive_c" / "big.bin";
    EXPECT_EQ(fetch(first).code, 0);
    EXPECT_FALSE(fetch(first).code);
    const FetchResult copied = fetch(second);
    EXPECT_EQ(copied.code, 0);
    EXPECT_TRUE(copied.fromCache);
    EXPECT_EQ(test::readFile(second), content);
    EXPECT_EQ(fileRequests(), std::vector<std::string>({ "files" }));

    std::string damaged = content;
    damaged[1000] ^= 1;
    test::writeFile(cache.entryPath(sha256Hex(content)), damaged);
    test::writeFile(second, "the old file");
    const FetchResult again = fetch(second);
    EXPECT_EQ(again.code, 0);
    EXPECT_FALSE(again.fromCache);
    EXPECT_EQ(test::readFile(second), content);
    EXPECT_EQ(fileRequests().size(), 2u);
    EXPECT_EQ(test::readFile(cache.entryPath(sha256Hex(content))), content); // the entry is whole again
}

// Two fetches of one file at once: the second waits for the first and copies its result.
TEST_F(FetchFileTest, ConcurrentFetchesOfOneFileMakeOneRequest)
{
    server->setBehaviour("files", server::Behaviour::slow(200));
    std::thread other([&] { EXPECT_EQ(fetch(dir / "a" / "big.bin").code, 0); });
    EXPECT_EQ(fetch(dir / "b" / "big.bin").code, 0);
    other.join();
    EXPECT_EQ(test::readFile(dir / "a" / "big.bin"), content);
    EXPECT_EQ(test::readFile(dir / "b" / "big.bin"), content);
    EXPECT_EQ(fileRequests(), std::vector<std::string>({ "files" }));
}

TEST_F(FetchFileTest, ACutTransferResumesWhereItStopped)
{
    const uint64_t half = content.size() / 2;
    server->setBehaviour("files", server::Behaviour::cutAfter(half));
    const auto target = dir / "out" / "big.bin";
    EXPECT_EQ(fetch(target).code, 0);
    EXPECT_EQ(test::readFile(target), content);
    EXPECT_EQ(fileRequests(), std::vector<std::string>({ "files", "files bytes=" + std::to_string(half) + "-" }));
    const auto resumed = server->requests().back();
    EXPECT_EQ(resumed.headers.at("If-Range"), "\"" + sha256Hex(content) + "\"");
    EXPECT_EQ(server->fileBytesSent(), content.size()); // nothing sent twice
    EXPECT_FALSE(std::filesystem::exists(cache.partialPath(sha256Hex(content))));
}

TEST_F(FetchFileTest, AServerThatIgnoresRangesSendsTheWholeFileAgain)
{
    const uint64_t half = content.size() / 2;
    server->setBehaviour("files", server::Behaviour::cutAfter(half));
    ASSERT_EQ(fetch(dir / "cut.bin", { 1, std::chrono::milliseconds(0) }).code, kDownloadError);
    EXPECT_EQ(std::filesystem::file_size(cache.partialPath(sha256Hex(content))), half);

    server->setBehaviour("files", server::Behaviour::wholeOnly());
    const auto target = dir / "out" / "big.bin";
    EXPECT_EQ(fetch(target).code, 0);
    EXPECT_EQ(test::readFile(target), content);
    EXPECT_EQ(server->fileBytesSent(), half + content.size());
}

// A kept part is only a start: the digest is checked over the whole file, and a part that was not
// this file's start is thrown away.
TEST_F(FetchFileTest, AForeignPartIsCaughtByTheDigestAndStartedOver)
{
    const std::string sha = sha256Hex(content);
    std::filesystem::create_directories(cache.partialPath(sha).parent_path());
    test::writeFile(cache.partialPath(sha), std::string(4096, 'x'));
    const auto target = dir / "out" / "big.bin";
    EXPECT_EQ(fetch(target).code, 0);
    EXPECT_EQ(test::readFile(target), content);
    EXPECT_EQ(fileRequests(), std::vector<std::string>({ "files bytes=4096-", "files" }));

    // A part that is the whole file already needs no request at all.
    test::writeFile(cache.partialPath(sha), content);
    std::filesystem::remove(cache.entryPath(sha));
    EXPECT_EQ(fetch(dir / "again.bin").code, 0);
    EXPECT_EQ(fileRequests().size(), 2u);
}

TEST_F(FetchFileTest, MirrorsAreTriedInOrderAfterAFailure)
{
    server->setBehaviour("files", server::Behaviour::corrupt());
    const DownloadAddress withMirrors = address(2);
    const auto target = dir / "out" / "big.bin";
    EXPECT_EQ(fetch(target, kNoPause, &withMirrors).code, 0);
    EXPECT_EQ(test::readFile(target), content);
    EXPECT_EQ(fileRequests(), std::vector<std::string>({ "files", "mirror1" }));

    // Every source failing, in every round: the item fails with the last reason.
    std::filesystem::remove(cache.entryPath(sha256Hex(content)));
    server->setBehaviour("mirror1", server::Behaviour::answer(503, "busy"));
    server->setBehaviour("mirror2", server::Behaviour::answer(404, "gone"));
    EXPECT_EQ(fetch(dir / "none.bin", { 2, std::chrono::milliseconds(0) }, &withMirrors).code, kDownloadFailed);
    EXPECT_EQ(fileRequests().size(), 2u + 2 * 3);
    EXPECT_FALSE(std::filesystem::exists(dir / "none.bin"));
}

// A cache folder that cannot be written costs the cache, not the file.
TEST_F(FetchFileTest, ACacheThatCannotBeWrittenStillGivesTheFile)
{
    std::filesystem::create_directories(cache.folder());
    test::writeFile(cache.folder() / "partial", "a file where the folder of parts should be");
    const auto target = dir / "out" / "big.bin";
    EXPECT_EQ(fetch(target).code, 0);
    EXPECT_EQ(test::readFile(target), content);
    EXPECT_FALSE(fetch(dir / "again.bin").fromCache);
}

TEST_F(FetchFileTest, ACancelEndsThePauseBetweenRounds)
{
    server->setBehaviour("files", server::Behaviour::answer(503, "busy"));
    std::atomic<int> asked { 0 };
    const auto cancelAfterTheFirstRound = [&] { return fileRequests().size() >= 1 && ++asked > 1; };
    const auto started = std::chrono::steady_clock::now();
    const FetchResult result = fetchFile(address(), dir / "x.bin", {}, cancelAfterTheFirstRound, cache, { 3, std::chrono::minutes(10) });
    EXPECT_EQ(result.code, kDownloadAborted);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::minutes(1));
    EXPECT_EQ(fileRequests().size(), 1u);
}

TEST(DownloadCacheBound, EvictsTheLeastRecentlyUsedUntilTheRestFits)
{
    const std::vector<CacheEntry> entries { { "a", 40, 3 }, { "b", 30, 1 }, { "c", 30, 2 } };
    EXPECT_TRUE(entriesToEvict(entries, 100, "").empty()); // exactly full
    EXPECT_EQ(entriesToEvict(entries, 99, ""), std::vector<std::string>({ "b" }));
    EXPECT_EQ(entriesToEvict(entries, 40, ""), std::vector<std::string>({ "b", "c" }));
    EXPECT_EQ(entriesToEvict(entries, 60, "b"), std::vector<std::string>({ "c", "a" })); // the new one stays
    EXPECT_EQ(entriesToEvict(entries, 29, "b"), std::vector<std::string>({ "c", "a", "b" }));

    EXPECT_EQ(cacheLimitFromText("1"), 1u << 20);
    for (const char* bad : { "", "0", "-1", "2k", "18446744073709551615" })
        EXPECT_EQ(cacheLimitFromText(bad), 2048ull << 20) << bad;
}

TEST(DownloadCacheBound, AUseMakesAnEntryTheLastToGo)
{
    test::TempDir dir;
    const DownloadCache cache(dir / "files", 20);
    const auto keep = [&](char byte) {
        test::writeFile(dir / "new", std::string(10, byte));
        EXPECT_TRUE(cache.adopt(sha256Hex(std::string(10, byte)), dir / "new"));
        return cache.entryPath(sha256Hex(std::string(10, byte)));
    };
    const auto one = keep('1');
    const auto two = keep('2');
    // "one" older than "two", then used.
    const struct timespec older[2] = { { 1000, 0 }, { 1000, 0 } };
    ::utimensat(AT_FDCWD, one.c_str(), older, 0);
    ASSERT_EQ(cache.copyTo(sha256Hex(std::string(10, '1')), dir / "used"), DownloadCache::Copy::Done);
    const auto three = keep('3');
    cache.trim(sha256Hex(std::string(10, '3')));
    EXPECT_TRUE(std::filesystem::exists(one));
    EXPECT_FALSE(std::filesystem::exists(two));
    EXPECT_TRUE(std::filesystem::exists(three));
}
