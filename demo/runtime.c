/* tvndemort.dll: the library the demo runtime's installer puts in the system folder. */

__declspec(dllexport) int tvn_demo_runtime_version(void)
{
    return 1;
}
