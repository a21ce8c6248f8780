// The pack reader on packs made by the writer, and on hand-made packs for every way a pack can
// be wrong.
#include "pak/PakArchive.h"
#include "tools/pak/PakWriter.h"
#include "util/MD5.h"

#include "tests/support/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace tvn;
using test::TempDir;

namespace {

// A pack file in its own folder, written from bytes.
struct PackOnDisk {
    TempDir dir;
    std::filesystem::path path = dir / "dist.pak";
    explicit PackOnDisk(const std::string& bytes) { test::writeFile(path, bytes); }

    PakArchive open(PakStatus expected = PakStatus::Ok) const
    {
        PakArchive archive;
        EXPECT_EQ(archive.open(path), expected);
        return archive;
    }
};

std::string entryJson(const std::string& stream, int64_t offset, int64_t size, const std::string& hash)
{
    return R"({"offset":)" + std::to_string(offset) + R"(,"size":)" + std::to_string(size) + R"(,"gsize":)"
        + std::to_string(stream.size()) + R"(,"hash":")" + hash + R"("})";
}

// A pack with one entry "f" whose fields are given as JSON text.
std::string singleEntryPack(const std::string& entry, const std::string& data)
{
    return pak::assemblePak(R"({"files":{"f":)" + entry + "}}", data);
}

const std::vector<pak::InputFile> kFiles = {
    { "index.html", "<html><body>hello</body></html>" },
    { "js/app.js", std::string(5000, 'x') + "console.log(1);" },
    { "js/lib/empty.js", "" },
    { "my%20file.js", "spaced" },
};

} // namespace

TEST(PakArchive, ReadsWhatTheWriterWrote)
{
    PackOnDisk pack(pak::buildPak(kFiles));
    const PakArchive archive = pack.open();
    for (const auto& file : kFiles) {
        const PakEntryContent content = archive.read(file.name);
        ASSERT_TRUE(content) << file.name << ": " << describe(content.status);
        EXPECT_EQ(content.bytes, file.content);
    }
    std::vector<std::string> names;
    forEachFileEntry(archive.index(), [&](const std::string& name, const nlohmann::json&) { names.push_back(name); });
    EXPECT_EQ(names, (std::vector<std::string> { "index.html", "js/app.js", "js/lib/empty.js", "my%20file.js" }));
}

TEST(PakArchive, Magic)
{
    std::string bytes = pak::buildPak(kFiles);
    for (const char fourth : { '\0', 'X', '\xFF' }) {
        bytes[3] = fourth;
        PackOnDisk(bytes).open(PakStatus::Ok);
    }
    for (const char* magic : { "PAK", "Pak", "pAk", "paK" }) {
        std::string wrong = bytes;
        wrong.replace(0, 3, magic);
        PackOnDisk(wrong).open(PakStatus::BadMagic);
    }
    PackOnDisk("pa").open(PakStatus::BadMagic);
    PackOnDisk("pak").open(PakStatus::Truncated);
    PakArchive missing;
    EXPECT_EQ(missing.open("/no/such/dist.pak"), PakStatus::CannotOpen);
}

TEST(PakArchive, AnyChangeToTheIndexOrSignatureIsRefused)
{
    const std::string bytes = pak::buildPak(kFiles);
    const size_t indexLength = static_cast<unsigned char>(bytes[4]) | static_cast<unsigned char>(bytes[5]) << 8;
    for (size_t at = 8; at < 8 + indexLength + 32; ++at) {
        std::string changed = bytes;
        changed[at] ^= 0x01;
        PakArchive archive;
        ASSERT_EQ(archive.open(PackOnDisk(changed).path), PakStatus::BadSignature) << at;
        EXPECT_EQ(archive.find("index.html"), nullptr);
    }
}

TEST(PakArchive, IndexMustBeJson)
{
    PackOnDisk(pak::assemblePak("null", "")).open(PakStatus::BadIndex);
    PackOnDisk(pak::assemblePak("{\"files\":", "")).open(PakStatus::BadIndex);
    PackOnDisk(pak::assemblePak("", "")).open(PakStatus::BadIndex);
    const PakArchive scalar = PackOnDisk(pak::assemblePak("3", "")).open();
    EXPECT_NE(scalar.find(""), nullptr);
    EXPECT_EQ(scalar.find("a"), nullptr);
}

TEST(PakArchive, PathsSplitAtSlashBackslashAndBar)
{
    const PackOnDisk pack(pak::buildPak(kFiles));
    const PakArchive archive = pack.open();
    const nlohmann::json* entry = archive.find("index.html");
    ASSERT_NE(entry, nullptr);
    for (const char* spelling : { "/index.html", "\\index.html", "|index.html", "//index.html/" })
        EXPECT_EQ(archive.find(spelling), entry) << spelling;
    EXPECT_EQ(archive.find("js\\lib|empty.js"), archive.find("js/lib/empty.js"));
    EXPECT_EQ(archive.find("Index.html"), nullptr);
    EXPECT_EQ(archive.find("my file.js"), nullptr); // names are compared as URLs spell them
    EXPECT_EQ(archive.find("index.html/more"), nullptr);
    EXPECT_EQ(archive.find(""), &archive.index());
    EXPECT_EQ(archive.find("///"), &archive.index());
}

TEST(PakArchive, DirectoriesAreFoundButNotRead)
{
    const PackOnDisk pack(pak::buildPak(kFiles));
    const PakArchive archive = pack.open();
    ASSERT_NE(archive.find("js/lib"), nullptr);
    EXPECT_EQ(archive.read("js/lib").status, PakStatus::Directory);
    EXPECT_EQ(archive.read("").status, PakStatus::Directory);
    EXPECT_EQ(archive.read("nothing").status, PakStatus::NotFound);
}

TEST(PakArchive, DigestIsExactAndLowerCase)
{
    const std::string stream = pak::deflateStream("content");
    std::string upper = MD5(stream).hexdigest();
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const PackOnDisk pack(singleEntryPack(entryJson(stream, 0, 7, upper), stream));
    EXPECT_EQ(pack.open().read("f").status, PakStatus::BadDigest);

    std::string flipped = stream;
    flipped[3] ^= 0x40;
    EXPECT_EQ(PackOnDisk(singleEntryPack(entryJson(stream, 0, 7, MD5(stream).hexdigest()), flipped)).open().read("f").status,
        PakStatus::BadDigest);
}

TEST(PakArchive, StreamInflatesIntoExactlySizeBytes)
{
    const std::string stream = pak::deflateStream(std::string(50, 'a'));
    const std::string hash = MD5(stream).hexdigest();

    const PakEntryContent shortStream = PackOnDisk(singleEntryPack(entryJson(stream, 0, 100, hash), stream)).open().read("f");
    ASSERT_TRUE(shortStream);
    EXPECT_EQ(shortStream.bytes, std::string(50, 'a') + std::string(50, '\0'));

    EXPECT_EQ(PackOnDisk(singleEntryPack(entryJson(stream, 0, 10, hash), stream)).open().read("f").status, PakStatus::BadStream);
    EXPECT_EQ(PackOnDisk(singleEntryPack(entryJson("", 0, 0, MD5("").hexdigest()), "")).open().read("f").status,
        PakStatus::BadStream); // no bytes are no stream

    // Raw deflate without the zlib header and trailer is not one zlib stream.
    const std::string raw = stream.substr(2, stream.size() - 6);
    EXPECT_EQ(PackOnDisk(singleEntryPack(entryJson(raw, 0, 50, MD5(raw).hexdigest()), raw)).open().read("f").status,
        PakStatus::BadStream);
}

TEST(PakArchive, FieldsAreSigned32BitIntegers)
{
    const std::string stream = pak::deflateStream("abcdef");
    const std::string hash = MD5(stream).hexdigest();
    const auto fieldsOf = [](const std::string& json) { return entryFields(nlohmann::json::parse(json)); };

    EXPECT_EQ(fieldsOf(R"({"size": 5.9})").size, 5);
    EXPECT_EQ(fieldsOf(R"({"size": "5"})").size, 0);
    EXPECT_EQ(fieldsOf(R"({"size": 4294967296})").size, INT32_MIN);
    EXPECT_EQ(fieldsOf(R"({"size": -1e12})").size, INT32_MIN);
    EXPECT_EQ(fieldsOf(R"({"hash": 5})").hash, "");

    // Entry fields as real packs would carry them, shifted so the stream sits after some padding.
    const std::string data = "xyz" + stream;
    const std::string fractional = R"({"offset":3.7,"size":6.2,"gsize":)" + std::to_string(stream.size()) + R"(,"hash":")" + hash + R"("})";
    EXPECT_EQ(PackOnDisk(singleEntryPack(fractional, data)).open().read("f").bytes, "abcdef");
}

// Lies in the header or the index end in a status; nothing is allocated for them.
TEST(PakArchive, LyingLengthsAndOffsetsAreRefused)
{
    std::string lying = pak::buildPak(kFiles);
    lying[4] = lying[5] = lying[6] = lying[7] = '\xFF';
    PackOnDisk(lying).open(PakStatus::Truncated);

    const std::string stream = pak::deflateStream("abc");
    const std::string hash = MD5(stream).hexdigest();
    const int64_t gsize = static_cast<int64_t>(stream.size());
    const auto statusOf = [&](const std::string& entry) {
        return PackOnDisk(singleEntryPack(entry, stream)).open().read("f").status;
    };
    const auto fields = [&](int64_t offset, int64_t size, int64_t storedSize) {
        return R"({"offset":)" + std::to_string(offset) + R"(,"size":)" + std::to_string(size) + R"(,"gsize":)"
            + std::to_string(storedSize) + R"(,"hash":")" + hash + R"("})";
    };
    EXPECT_EQ(statusOf(fields(0, 3, gsize)), PakStatus::Ok);
    EXPECT_EQ(statusOf(fields(-1, 3, gsize)), PakStatus::BadEntry);
    EXPECT_EQ(statusOf(fields(0, -3, gsize)), PakStatus::BadEntry);
    EXPECT_EQ(statusOf(fields(0, 3, -1)), PakStatus::BadEntry);
    EXPECT_EQ(statusOf(fields(1, 3, gsize)), PakStatus::BadEntry);          // one byte past the end
    EXPECT_EQ(statusOf(fields(2147483647, 3, gsize)), PakStatus::BadEntry);
    EXPECT_EQ(statusOf(fields(0, 3, 2147483647)), PakStatus::BadEntry);
    EXPECT_EQ(statusOf(fields(0, 2147483647, gsize)), PakStatus::BadEntry); // more than any stream inflates to
}

// An entry whose stored length runs past the file is refused before anything is allocated for it:
// with the address space capped well below the claimed 2 GiB, reading it must not fail for memory.
TEST(PakArchive, EntryBoundsAreCheckedBeforeAllocating)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's shadow memory needs the address space a cap would take";
#else
    const std::string stream = pak::deflateStream("abc");
    const std::string entry = R"({"offset":0,"size":3,"gsize":2147483000,"hash":")" + MD5(stream).hexdigest() + R"("})";
    PackOnDisk pack(singleEntryPack(entry, stream));
    const pid_t child = fork();
    if (child == 0) {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t limit = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (256u << 20);
        const rlimit capped { limit, limit };
        setrlimit(RLIMIT_AS, &capped);
        try {
            PakArchive archive;
            _exit(archive.open(pack.path) == PakStatus::Ok && archive.read("f").status == PakStatus::BadEntry ? 0 : 1);
        } catch (const std::bad_alloc&) {
            _exit(2);
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
#endif
}

TEST(PakArchive, EveryTruncationIsACleanFailure)
{
    const std::string bytes = pak::buildPak(kFiles);
    for (size_t length = 0; length < bytes.size(); ++length) {
        PakArchive archive;
        if (archive.open(PackOnDisk(bytes.substr(0, length)).path) != PakStatus::Ok)
            continue;
        bool allRead = true;
        forEachFileEntry(archive.index(), [&](const std::string&, const nlohmann::json& entry) { allRead &= bool(archive.readEntry(entry)); });
        EXPECT_FALSE(allRead) << length;
    }
}

TEST(PakArchive, NothingBeforeOpen)
{
    PakArchive archive;
    EXPECT_FALSE(archive.isOpen());
    EXPECT_EQ(archive.find(""), nullptr);
    EXPECT_EQ(archive.read("index.html").status, PakStatus::NotOpen);
}
