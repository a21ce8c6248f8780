/* A Windows program that cannot start without tvnhello.dll. */
#include <stdio.h>

__declspec(dllimport) const char* tvn_hello(void);

int main(void)
{
    printf("%s\n", tvn_hello());
    return 0;
}
