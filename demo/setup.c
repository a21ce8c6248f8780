/* tvn-demo-runtime-setup.exe: the demo runtime's installer, a Windows program like any other.
 *
 *     tvn-demo-runtime-setup.exe /install [/quiet] [/norestart] [/hold FILE]
 *     tvn-demo-runtime-setup.exe /uninstall [/quiet]
 *
 * /install writes its payload (tvndemort.dll, carried as resource 1) into the system folder and the
 * runtime's Uninstall key; /uninstall removes both. /hold keeps the installer running once it has
 * written them, until FILE exists (tests stop tvn in the middle of an install). Without /quiet the outcome is shown in a message
 * box. Exit codes: 0 done, 1 unknown arguments, 2 the library could not be written or removed,
 * 3 the Uninstall key could not be written or removed. */

#include <windows.h>
#include <wchar.h>

#define UNINSTALL_KEY L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\tvn demo runtime"
#define DISPLAY_NAME L"tvn demo runtime - 1.0.0"
#define DISPLAY_VERSION L"1.0.0"
#define LIBRARY_NAME L"tvndemort.dll"

static int libraryPath(wchar_t* path, DWORD size)
{
    const UINT length = GetSystemDirectoryW(path, size);
    if (length == 0 || length + 1 + wcslen(LIBRARY_NAME) >= size)
        return 0;
    path[length] = L'\\';
    wcscpy(path + length + 1, LIBRARY_NAME);
    return 1;
}

static int writeLibrary(void)
{
    HRSRC found = FindResourceW(NULL, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    HGLOBAL loaded = found ? LoadResource(NULL, found) : NULL;
    const void* bytes = loaded ? LockResource(loaded) : NULL;
    const DWORD size = found ? SizeofResource(NULL, found) : 0;
    wchar_t path[MAX_PATH];
    if (!bytes || size == 0 || !libraryPath(path, MAX_PATH))
        return 0;
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    const BOOL wrote = WriteFile(file, bytes, size, &written, NULL);
    const BOOL closed = CloseHandle(file);
    if (!wrote || !closed || written != size) {
        DeleteFileW(path);
        return 0;
    }
    return 1;
}

static int removeLibrary(void)
{
    wchar_t path[MAX_PATH];
    return libraryPath(path, MAX_PATH) && (DeleteFileW(path) || GetLastError() == ERROR_FILE_NOT_FOUND);
}

static int setString(HKEY key, const wchar_t* name, const wchar_t* value)
{
    const DWORD bytes = (DWORD)((wcslen(value) + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, (const BYTE*)value, bytes) == ERROR_SUCCESS;
}

static int writeUninstallKey(void)
{
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, UNINSTALL_KEY, 0, NULL, 0, KEY_WRITE, NULL, &key, NULL) != ERROR_SUCCESS)
        return 0;
    const int written = setString(key, L"DisplayName", DISPLAY_NAME) && setString(key, L"DisplayVersion", DISPLAY_VERSION)
        && setString(key, L"Publisher", L"tvn");
    RegCloseKey(key);
    return written;
}

static int removeUninstallKey(void)
{
    const LONG removed = RegDeleteKeyW(HKEY_LOCAL_MACHINE, UNINSTALL_KEY);
    return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND;
}

static int install(void)
{
    if (!writeLibrary())
        return 2;
    if (!writeUninstallKey()) {
        removeLibrary(); /* nothing half-installed stays behind */
        return 3;
    }
    return 0;
}

static int uninstall(void)
{
    if (!removeLibrary())
        return 2;
    return removeUninstallKey() ? 0 : 3;
}

int wmain(int argc, wchar_t** argv)
{
    int installing = -1, quiet = 0;
    const wchar_t* hold = NULL;
    for (int i = 1; i < argc; ++i) {
        if (_wcsicmp(argv[i], L"/hold") == 0 && i + 1 < argc)
            hold = argv[++i];
        else if (_wcsicmp(argv[i], L"/install") == 0)
            installing = 1;
        else if (_wcsicmp(argv[i], L"/uninstall") == 0)
            installing = 0;
        else if (_wcsicmp(argv[i], L"/quiet") == 0)
            quiet = 1;
        else if (_wcsicmp(argv[i], L"/norestart") != 0)
            installing = -2;
    }
    if (installing < 0) {
        if (!quiet)
            MessageBoxW(NULL, L"Usage: tvn-demo-runtime-setup.exe /install | /uninstall [/quiet]", L"tvn demo runtime", MB_OK | MB_ICONERROR);
        return 1;
    }
    const int result = installing ? install() : uninstall();
    while (hold && GetFileAttributesW(hold) == INVALID_FILE_ATTRIBUTES)
        Sleep(100);
    if (!quiet) {
        const wchar_t* text = result == 0 ? (installing ? L"The tvn demo runtime is installed." : L"The tvn demo runtime is removed.")
                                          : L"The tvn demo runtime could not be changed.";
        MessageBoxW(NULL, text, L"tvn demo runtime", MB_OK | (result == 0 ? MB_ICONINFORMATION : MB_ICONERROR));
    }
    return result;
}
