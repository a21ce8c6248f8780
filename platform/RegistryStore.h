// RegistryStore: the registry the program reads and writes, kept in one SQLite database.
//
// Its rules are the Windows registry's: four roots; keys named by paths of names joined with "\",
// compared without regard to case but kept as first written; each key holds named values and a
// default value (the empty name), each value with a type (REG_SZ: UTF-16 text and its NUL;
// REG_DWORD: 4 bytes) and its data bytes. Results are the registry's error codes.
//
// Safe for several threads (one lock per store) and several processes (SQLite's write-ahead log,
// writes in immediate transactions, a busy wait); a process that dies mid-write loses nothing
// committed and leaves nothing half-written.
#pragma once

#include "platform/Win32Error.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;

namespace tvn::platform {

enum class RegistryRoot { ClassesRoot = 1, CurrentUser, LocalMachine, Users };

// Root names as the page spells them; anything else is HKEY_CURRENT_USER.
RegistryRoot rootKeyFromName(std::string_view name);

inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegDword = 4;


struct RegistryValue {
    uint32_t type = kRegNone;
    std::string data; // bytes
};

class RegistryStore {
public:
    explicit RegistryStore(std::filesystem::path database);
    ~RegistryStore();
    RegistryStore(const RegistryStore&) = delete;
    RegistryStore& operator=(const RegistryStore&) = delete;

    bool keyExists(RegistryRoot, std::string_view path);
    // The value, or the error (kErrorFileNotFound for a missing key or value).
    long queryValue(RegistryRoot, std::string_view path, std::string_view name, RegistryValue& value);
    // Creates the key path when needed.
    long setValue(RegistryRoot, std::string_view path, std::string_view name, uint32_t type, std::string_view data);
    long deleteValue(RegistryRoot, std::string_view path, std::string_view name);
    // A key without subkeys (kErrorAccessDenied when it has some).
    long deleteKey(RegistryRoot, std::string_view path);
    // A key with everything below it.
    long deleteKeyTree(RegistryRoot, std::string_view path);
    // The names of the key's subkeys, in order without regard to case.
    std::optional<std::vector<std::string>> subkeys(RegistryRoot, std::string_view path);

private:
    struct Statement;
    std::optional<int64_t> findKey(RegistryRoot, std::string_view path);
    std::optional<int64_t> makeKey(RegistryRoot, std::string_view path);
    bool execute(const char* sql);
    template<typename Work>
    long inTransaction(Work work);

    std::mutex m_mutex;
    sqlite3* m_database = nullptr; // owned; closed in the destructor
};

// The process's store: registry.db in the application-data folder.
RegistryStore& registryStore();

// The reg helpers over a store, as the page's module and the software scan use them.
bool regValueExists(RegistryStore&, RegistryRoot, std::string_view path, std::string_view name);
std::optional<std::string> regReadString(RegistryStore&, RegistryRoot, std::string_view path, std::string_view name);
std::optional<int32_t> regReadNumber(RegistryStore&, RegistryRoot, std::string_view path, std::string_view name);
bool regWriteString(RegistryStore&, RegistryRoot, std::string_view path, std::string_view name, std::string_view value);
bool regWriteNumber(RegistryStore&, RegistryRoot, std::string_view path, std::string_view name, int32_t value);
bool regDeleteKeyTree(RegistryStore&, RegistryRoot, std::string_view path);

} // namespace tvn::platform
