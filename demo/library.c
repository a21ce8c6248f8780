/* tvndemo.dll: the demo catalog's library that asks to be registered. DllRegisterServer writes
 * HKLM\Software\tvn\demo with the value "registered"; DllUnregisterServer removes the key. */

#include <windows.h>

#define DEMO_KEY "Software\\tvn\\demo"

__declspec(dllexport) int tvn_demo_library_ready(void)
{
    return 1;
}

__declspec(dllexport) HRESULT __stdcall DllRegisterServer(void)
{
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, DEMO_KEY, 0, NULL, 0, KEY_WRITE, NULL, &key, NULL) != ERROR_SUCCESS)
        return E_FAIL;
    const DWORD one = 1;
    const LONG written = RegSetValueExA(key, "registered", 0, REG_DWORD, (const BYTE*)&one, sizeof one);
    RegCloseKey(key);
    return written == ERROR_SUCCESS ? S_OK : E_FAIL;
}

__declspec(dllexport) HRESULT __stdcall DllUnregisterServer(void)
{
    const LONG removed = RegDeleteKeyA(HKEY_LOCAL_MACHINE, DEMO_KEY);
    return removed == ERROR_SUCCESS || removed == ERROR_FILE_NOT_FOUND ? S_OK : E_FAIL;
}
