// The registry store on SQLite.
//
// Tables: keys(id, parent, name, folded) with one row per key (the four roots are ids 1-4, parent
// 0); vals(key, name, folded, type, data). "folded" is the name case-folded: lookups and
// uniqueness use it, listings show "name".

#include "platform/RegistryStore.h"

#include "platform/Environment.h"
#include "platform/RuntimeFolder.h"
#include "util/TextConvert.h"

#include <cstdio>
#include <fcntl.h>
#include <glib.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tvn::platform {

namespace {

std::string folded(std::string_view name)
{
    char* folded = g_utf8_casefold(name.data(), static_cast<gssize>(name.size()));
    std::string result = folded ? folded : "";
    g_free(folded);
    return result;
}

std::vector<std::string_view> keyNames(std::string_view path)
{
    std::vector<std::string_view> names;
    for (size_t at = 0; at <= path.size();) {
        const size_t end = std::min(path.find('\\', at), path.size());
        if (end > at)
            names.push_back(path.substr(at, end - at));
        at = end + 1;
    }
    return names;
}

constexpr const char* kSchema = R"(
    CREATE TABLE IF NOT EXISTS keys (id INTEGER PRIMARY KEY, parent INTEGER NOT NULL, name TEXT NOT NULL,
        folded TEXT NOT NULL, UNIQUE (parent, folded));
    CREATE TABLE IF NOT EXISTS vals (key INTEGER NOT NULL, name TEXT NOT NULL, folded TEXT NOT NULL,
        type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY (key, folded));
    INSERT OR IGNORE INTO keys (id, parent, name, folded) VALUES
        (1, 0, 'HKEY_CLASSES_ROOT', 'hkey_classes_root'), (2, 0, 'HKEY_CURRENT_USER', 'hkey_current_user'),
        (3, 0, 'HKEY_LOCAL_MACHINE', 'hkey_local_machine'), (4, 0, 'HKEY_USERS', 'hkey_users');
)";

} // namespace

struct RegistryStore::Statement {
    struct Finalizer {
        void operator()(sqlite3_stmt* statement) const noexcept { sqlite3_finalize(statement); }
    };
    std::unique_ptr<sqlite3_stmt, Finalizer> handle;

    Statement(sqlite3* database, const char* sql)
    {
        sqlite3_stmt* prepared = nullptr;
        if (database)
            sqlite3_prepare_v2(database, sql, -1, &prepared, nullptr);
        handle.reset(prepared);
    }
    explicit operator bool() const { return static_cast<bool>(handle); }
    Statement& bind(int index, int64_t value)
    {
        sqlite3_bind_int64(handle.get(), index, value);
        return *this;
    }
    Statement& bind(int index, std::string_view text)
    {
        sqlite3_bind_text(handle.get(), index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bindBlob(int index, std::string_view bytes)
    {
        sqlite3_bind_blob(handle.get(), index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
        return *this;
    }
    int step() { return sqlite3_step(handle.get()); }
    int64_t integer(int column) { return sqlite3_column_int64(handle.get(), column); }
    std::string text(int column)
    {
        const auto* bytes = static_cast<const char*>(sqlite3_column_blob(handle.get(), column));
        return bytes ? std::string(bytes, static_cast<size_t>(sqlite3_column_bytes(handle.get(), column))) : std::string();
    }
};

RegistryRoot rootKeyFromName(std::string_view name)
{
    if (name == "HKEY_CLASSES_ROOT")
        return RegistryRoot::ClassesRoot;
    if (name == "HKEY_LOCAL_MACHINE")
        return RegistryRoot::LocalMachine;
    if (name == "HKEY_USERS")
        return RegistryRoot::Users;
    return RegistryRoot::CurrentUser;
}

RegistryStore::RegistryStore(std::filesystem::path database)
{
    makePrivateFolder(database.parent_path());
    // Made here with the user's permissions alone: SQLite would make it 0644, and gives its
    // journal and WAL files the database's own mode.
    const int fd = ::open(database.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) {
        ::fchmod(fd, 0600);
        ::close(fd);
    }
    if (sqlite3_open_v2(database.c_str(), &m_database, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
        sqlite3_close(m_database);
        m_database = nullptr;
        return;
    }
    sqlite3_busy_timeout(m_database, 10000);
    execute("PRAGMA journal_mode = WAL; PRAGMA synchronous = FULL;");
    inTransaction([this] { return execute(kSchema) ? kErrorSuccess : kErrorCannotOpen; });
}

RegistryStore::~RegistryStore()
{
    sqlite3_close(m_database);
}

bool RegistryStore::execute(const char* sql)
{
    return m_database && sqlite3_exec(m_database, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// Every operation is one transaction, taken for writing at once so two writers never deadlock.
template<typename Work>
long RegistryStore::inTransaction(Work work)
{
    std::lock_guard lock(m_mutex);
    if (!m_database || !execute("BEGIN IMMEDIATE"))
        return kErrorCannotOpen;
    const long result = work();
    if (result == kErrorSuccess ? !execute("COMMIT") : !execute("ROLLBACK")) {
        execute("ROLLBACK");
        return kErrorCannotOpen;
    }
    return result;
}

std::optional<int64_t> RegistryStore::findKey(RegistryRoot root, std::string_view path)
{
    int64_t id = static_cast<int64_t>(root);
    for (const std::string_view name : keyNames(path)) {
        Statement find(m_database, "SELECT id FROM keys WHERE parent = ? AND folded = ?");
        if (!find || find.bind(1, id).bind(2, folded(name)).step() != SQLITE_ROW)
            return std::nullopt;
        id = find.integer(0);
    }
    return id;
}

std::optional<int64_t> RegistryStore::makeKey(RegistryRoot root, std::string_view path)
{
    int64_t id = static_cast<int64_t>(root);
    for (const std::string_view name : keyNames(path)) {
        Statement find(m_database, "SELECT id FROM keys WHERE parent = ? AND folded = ?");
        if (!find)
            return std::nullopt;
        if (find.bind(1, id).bind(2, folded(name)).step() == SQLITE_ROW) {
            id = find.integer(0);
            continue;
        }
        Statement insert(m_database, "INSERT INTO keys (parent, name, folded) VALUES (?, ?, ?)");
        if (!insert || insert.bind(1, id).bind(2, name).bind(3, folded(name)).step() != SQLITE_DONE)
            return std::nullopt;
        id = sqlite3_last_insert_rowid(m_database);
    }
    return id;
}

bool RegistryStore::keyExists(RegistryRoot root, std::string_view path)
{
    return inTransaction([&] { return findKey(root, path) ? kErrorSuccess : kErrorFileNotFound; }) == kErrorSuccess;
}

long RegistryStore::queryValue(RegistryRoot root, std::string_view path, std::string_view name, RegistryValue& value)
{
    return inTransaction([&] {
        const auto key = findKey(root, path);
        if (!key)
            return kErrorFileNotFound;
        Statement read(m_database, "SELECT type, data FROM vals WHERE key = ? AND folded = ?");
        if (!read || read.bind(1, *key).bind(2, folded(name)).step() != SQLITE_ROW)
            return kErrorFileNotFound;
        value.type = static_cast<uint32_t>(read.integer(0));
        value.data = read.text(1);
        return kErrorSuccess;
    });
}

long RegistryStore::setValue(RegistryRoot root, std::string_view path, std::string_view name, uint32_t type, std::string_view data)
{
    return inTransaction([&] {
        const auto key = makeKey(root, path);
        if (!key)
            return kErrorCannotOpen;
        // A value keeps the spelling it was first written with, as a key does.
        Statement write(m_database, "INSERT INTO vals (key, name, folded, type, data) VALUES (?, ?, ?, ?, ?) "
                                    "ON CONFLICT (key, folded) DO UPDATE SET type = excluded.type, data = excluded.data");
        if (!write)
            return kErrorCannotOpen;
        write.bind(1, *key).bind(2, name).bind(3, folded(name)).bind(4, static_cast<int64_t>(type)).bindBlob(5, data);
        return write.step() == SQLITE_DONE ? kErrorSuccess : kErrorCannotOpen;
    });
}

long RegistryStore::deleteValue(RegistryRoot root, std::string_view path, std::string_view name)
{
    return inTransaction([&] {
        const auto key = findKey(root, path);
        if (!key)
            return kErrorFileNotFound;
        Statement erase(m_database, "DELETE FROM vals WHERE key = ? AND folded = ?");
        if (!erase || erase.bind(1, *key).bind(2, folded(name)).step() != SQLITE_DONE)
            return kErrorCannotOpen;
        return sqlite3_changes(m_database) ? kErrorSuccess : kErrorFileNotFound;
    });
}

long RegistryStore::deleteKey(RegistryRoot root, std::string_view path)
{
    return inTransaction([&] {
        const auto key = findKey(root, path);
        if (!key)
            return kErrorFileNotFound;
        if (*key <= 4)
            return kErrorAccessDenied; // a root is not deleted
        Statement children(m_database, "SELECT 1 FROM keys WHERE parent = ? LIMIT 1");
        if (!children || children.bind(1, *key).step() == SQLITE_ROW)
            return kErrorAccessDenied;
        Statement values(m_database, "DELETE FROM vals WHERE key = ?");
        Statement erase(m_database, "DELETE FROM keys WHERE id = ?");
        if (!values || !erase || values.bind(1, *key).step() != SQLITE_DONE || erase.bind(1, *key).step() != SQLITE_DONE)
            return kErrorCannotOpen;
        return kErrorSuccess;
    });
}

long RegistryStore::deleteKeyTree(RegistryRoot root, std::string_view path)
{
    return inTransaction([&] {
        const auto key = findKey(root, path);
        if (!key)
            return kErrorFileNotFound;
        if (*key <= 4)
            return kErrorAccessDenied;
        // The whole subtree, however deep, by one recursive query (no recursion on the stack).
        constexpr const char* tree = "WITH RECURSIVE tree (id) AS (SELECT ? UNION ALL SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) ";
        Statement values(m_database, (std::string(tree) + "DELETE FROM vals WHERE key IN tree").c_str());
        Statement keys(m_database, (std::string(tree) + "DELETE FROM keys WHERE id IN tree").c_str());
        if (!values || !keys || values.bind(1, *key).step() != SQLITE_DONE || keys.bind(1, *key).step() != SQLITE_DONE)
            return kErrorCannotOpen;
        return kErrorSuccess;
    });
}

std::optional<std::vector<std::string>> RegistryStore::subkeys(RegistryRoot root, std::string_view path)
{
    std::vector<std::string> names;
    const long result = inTransaction([&] {
        const auto key = findKey(root, path);
        if (!key)
            return kErrorFileNotFound;
        Statement list(m_database, "SELECT name FROM keys WHERE parent = ? ORDER BY folded");
        if (!list)
            return kErrorCannotOpen;
        list.bind(1, *key);
        while (list.step() == SQLITE_ROW)
            names.push_back(list.text(0));
        return kErrorSuccess;
    });
    if (result != kErrorSuccess)
        return std::nullopt;
    return names;
}

RegistryStore& registryStore()
{
    // Made on first use and deliberately never destroyed: worker threads may use it while the
    // process exits.
    static RegistryStore& store = *std::make_unique<RegistryStore>(userConfigFolder() / "tvn" / "registry.db").release();
    return store;
}

bool regValueExists(RegistryStore& store, RegistryRoot root, std::string_view path, std::string_view name)
{
    RegistryValue value;
    return store.queryValue(root, path, name, value) == kErrorSuccess;
}

std::optional<std::string> regReadString(RegistryStore& store, RegistryRoot root, std::string_view path, std::string_view name)
{
    RegistryValue value;
    if (store.queryValue(root, path, name, value) != kErrorSuccess)
        return std::nullopt;
    // The data as UTF-16 text up to its first NUL; the type is not checked.
    return utf16leToUtf8(value.data);
}

std::optional<int32_t> regReadNumber(RegistryStore& store, RegistryRoot root, std::string_view path, std::string_view name)
{
    RegistryValue value;
    // A 4-byte buffer: longer data does not fit, and the read fails.
    if (store.queryValue(root, path, name, value) != kErrorSuccess || value.data.size() > 4)
        return std::nullopt;
    uint32_t number = 0;
    for (size_t i = 0; i < value.data.size(); ++i)
        number |= uint32_t(static_cast<unsigned char>(value.data[i])) << (8 * i);
    return static_cast<int32_t>(number);
}

bool regWriteString(RegistryStore& store, RegistryRoot root, std::string_view path, std::string_view name, std::string_view value)
{
    std::string data;
    Converter("UTF-8", "UTF-16LE").convert(value, data);
    data.append(2, '\0'); // the terminating NUL
    return store.setValue(root, path, name, kRegSz, data) == kErrorSuccess;
}

bool regWriteNumber(RegistryStore& store, RegistryRoot root, std::string_view path, std::string_view name, int32_t value)
{
    std::string data(4, '\0');
    for (int i = 0; i < 4; ++i)
        data[i] = static_cast<char>(static_cast<uint32_t>(value) >> (8 * i));
    return store.setValue(root, path, name, kRegDword, data) == kErrorSuccess;
}

bool regDeleteKeyTree(RegistryStore& store, RegistryRoot root, std::string_view path)
{
    const long result = store.deleteKeyTree(root, path);
    if (result == kErrorFileNotFound) {
        std::fputs("Key not found.\n", stdout);
        return true;
    }
    return result == kErrorSuccess;
}

} // namespace tvn::platform
