// tvn-demo.exe: the program the main job repairs a prefix for. A C++ program built by mingw-w64
// against its runtime DLLs (libstdc++, libgcc_s, winpthread), the demo library and the demo
// runtime's library: Wine refuses to start it until all of them are in the prefix, and then it
// prints its one line.

#include <iostream>
#include <pthread.h>
#include <string>

extern "C" __declspec(dllimport) int tvn_demo_library_ready();
extern "C" __declspec(dllimport) int tvn_demo_runtime_version();

namespace {

// The line is made on a thread of mingw's threads library, which the program then needs directly.
void* makeLine(void* line)
{
    *static_cast<std::string*>(line) = "tvn demo program ran";
    return nullptr;
}

} // namespace

int main()
{
    // Both answers come from the DLLs; either one wrong means a stale or foreign file.
    if (tvn_demo_library_ready() != 1 || tvn_demo_runtime_version() < 1) {
        std::cerr << "tvn demo program: unexpected demo DLLs\n";
        return 2;
    }
    std::string line;
    pthread_t thread;
    if (pthread_create(&thread, nullptr, makeLine, &line) != 0 || pthread_join(thread, nullptr) != 0)
        return 3;
    std::cout << line << std::endl;
    return 0;
}
