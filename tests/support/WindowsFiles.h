// Windows programs and DLLs for the tests, built on the spot: clang compiles for the Windows
// target and lld-link links (GNU ld cannot write delay-load tables), against import libraries
// that llvm-dlltool makes from one-line .def files. No C runtime: each file is a function per
// import and an entry point, which is all a reader of import tables needs. A file Wine's tag marks
// is a copy with the tag written into its DOS stub.
#pragma once

#include "tests/support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tvn::test {

struct WindowsImport {
    std::string dll;      // "helper.dll"
    std::string function; // a name unique across the file's imports
    bool delay = false;
};

// Builds `dir`/`name` for `machine` ("x64" or "x86"): a program, or a DLL that exports `exports`.
// An empty path (and a test failure) when a tool fails.
inline std::filesystem::path buildWindowsFile(const std::filesystem::path& dir, const std::string& name, const std::string& machine,
    const std::vector<WindowsImport>& imports, bool dll = false, const std::vector<std::string>& exports = {})
{
    const bool x64 = machine == "x64";
    const std::filesystem::path work = dir / (".build-" + name);
    std::filesystem::create_directories(work);
    std::string source = "void* __stdcall __delayLoadHelper2(void* descriptor, void* slot) { (void)descriptor; return slot; }\n";
    std::string body = "0";
    std::string libraries;
    std::string delayed;
    for (const WindowsImport& import : imports) {
        const std::string stem = import.function + "-import";
        writeFile(work / (stem + ".def"), "LIBRARY " + import.dll + "\nEXPORTS\n" + import.function + "\n");
        const std::string make = "llvm-dlltool-14 -m " + std::string(x64 ? "i386:x86-64" : "i386") + " -d '" + (work / (stem + ".def")).string() + "' -l '"
            + (work / (stem + ".lib")).string() + "'";
        if (std::system(make.c_str()) != 0) {
            ADD_FAILURE() << make;
            return {};
        }
        source += "__declspec(dllimport) int " + import.function + "(void);\n";
        body += " + " + import.function + "()";
        libraries += " '" + (work / (stem + ".lib")).string() + "'";
        if (import.delay)
            delayed += " /delayload:" + import.dll;
    }
    for (const std::string& exported : exports)
        source += "__declspec(dllexport) int " + exported + "(void) { return 1; }\n";
    // A DLL has no entry point; an exported function keeps its imports referenced.
    source += std::string(dll ? "__declspec(dllexport) int uses(void)" : "int entry(void)") + " { return " + body + "; }\n";
    writeFile(work / "source.c", source);
    const std::filesystem::path output = dir / name;
    const std::string build = "clang --target=" + std::string(x64 ? "x86_64" : "i686") + "-windows-msvc -c -o '" + (work / "source.obj").string() + "' '"
        + (work / "source.c").string() + "' && lld-link /nologo /nodefaultlib /safeseh:no /subsystem:console" + (dll ? " /dll /noentry" : " /entry:entry")
        + " /out:'" + output.string() + "' '" + (work / "source.obj").string() + "'" + libraries + delayed + " > /dev/null";
    if (std::system(build.c_str()) != 0) {
        ADD_FAILURE() << build;
        return {};
    }
    std::filesystem::remove_all(work);
    return output;
}

// A copy of a built file carrying Wine's tag ("Wine builtin DLL" or "Wine placeholder DLL").
inline void copyWithWineTag(const std::filesystem::path& from, const std::filesystem::path& to, const std::string& tag)
{
    std::string bytes = readFile(from);
    bytes.replace(0x40, tag.size() + 1, tag + '\0');
    std::filesystem::create_directories(to.parent_path());
    writeFile(to, bytes);
}

} // namespace tvn::test
