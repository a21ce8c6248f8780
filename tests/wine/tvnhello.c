/* The library the test program needs: what a repair puts into a Wine prefix. */
__declspec(dllexport) const char* tvn_hello(void)
{
    return "hello from tvnhello.dll";
}
