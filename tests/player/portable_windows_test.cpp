// The Windows player, cross-built with mingw-w64: what it imports, and runs under Wine (in the
// prefix the wine_prefix test makes) on the virtual X server with Mesa's GL.
#include "test_support/portable_support.h"

namespace demo::portable {
namespace {

// Runs the Windows program $1 with Wine in its own folder, its working directory, in the prefix
// $2; then waits for Wine's server to end, so that nothing of the run outlives its X server.
// Wine reads paths, arguments and the environment as UTF-8 whatever the caller's locale.
constexpr const char* kWineScript = R"sh(#!/bin/sh
export LC_ALL=C.UTF-8 WINEPREFIX="$2" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cd "$(dirname "$1")"
/usr/lib/wine/wine64 "$(basename "$1")"
status=$?
/usr/lib/wine/wineserver -w
exit $status
)sh";

// Runs `program`, a path relative to `folder`, under Wine; the X server's files stay in
// `folder`, whose name is plain. (SDL's disk driver writes at its own pace here: on Windows
// SDL reads its environment into one shared buffer, and a delay given to the driver would
// become the name of the file it writes.)
RunResult run_with_wine(const fs::path& folder, const std::string& program) {
    write_text(folder / "wine.sh", kWineScript);
    return run_under_xvfb(folder, 640, 360, {"sh", "./wine.sh", program, WINE_PREFIX_PATH},
                          std::chrono::seconds(300));
}

// The executable imports Windows' own DLLs and the C runtime, nothing else, and is small
// enough to hand out, alone and carrying the example.
TEST(PortableWindows, ImportsOnlyWindowsSystemLibraries) {
    const std::set<std::string> system = {
        "KERNEL32.DLL", "USER32.DLL",   "GDI32.DLL",    "OPENGL32.DLL", "WINMM.DLL",
        "IMM32.DLL",    "OLE32.DLL",    "OLEAUT32.DLL", "SETUPAPI.DLL", "VERSION.DLL",
        "SHELL32.DLL",  "ADVAPI32.DLL", "MSVCRT.DLL"};
    const std::set<std::string> imports =
        matches({"x86_64-w64-mingw32-objdump", "-p", PORTABLE_WINDOWS_PATH}, R"(DLL Name: (\S+))");
    EXPECT_EQ(imports.count("KERNEL32.dll"), 1u) << "no import table read";
    for (std::string dll : imports) {
        std::transform(dll.begin(), dll.end(), dll.begin(), ::toupper);
        EXPECT_EQ(system.count(dll), 1u) << dll;
    }
    EXPECT_LT(fs::file_size(PORTABLE_WINDOWS_PATH), 4u << 20);
    TempDir dir;
    EXPECT_LT(fs::file_size(pack_for("windows", EXAMPLE_DIR "/project.json", dir / "demo")),
              6u << 20);
}

// Packed onto the Windows player, the short example plays to its end with status 0, and SDL's
// disk audio driver writes its music.
TEST(PortableWindows, PlaysTheShortExampleUnderWine) {
    TempDir dir;
    pack_for("windows", kShortProject, dir / "demo");
    expect_played_short_example(run_with_wine(dir.path, "demo.exe"), dir.path);
}

// The player as built carries no package: it writes "error.log" and exits with status 1.
TEST(PortableWindows, WithoutAPackageWritesErrorLog) {
    TempDir dir;
    fs::copy_file(PORTABLE_WINDOWS_PATH, dir / "player.exe");
    const RunResult run = run_with_wine(dir.path, "player.exe");
    EXPECT_EQ(run.exit_code, 1) << run;
    EXPECT_EQ(read_text(dir / "error.log"),
              "Cannot find DEMO in executable. Please follow the instructions in Quenvale.\n");
}

// A demo in folders and files whose names are not ASCII finds its own package: Latin-1 letters
// (which the ANSI code page would still have) and letters and signs it has not.
TEST(PortableWindows, FindsItsPackageUnderLatinOneAndUnicodeNames) {
    TempDir dir;
    write_text(dir / "project.json", R"({"end_beat": 1.0, "bpm": 120.0, "beat_offset": 0.0})");
    fs::create_directories(dir / "resources");
    fs::copy_file(EXAMPLE_DIR "/sounds/blip.wav", dir / "resources/music.mp3");
    for (const char* name :
         {"d\u00e9j\u00e0 vu/d\u00e9mo", "\u0434\u0435\u043c\u043e \u2713/\u2600"}) {
        SCOPED_TRACE(name);
        fs::create_directories((dir / name).parent_path());
        pack_for("windows", dir / "project.json", dir / name);
        const RunResult run = run_with_wine(dir.path, std::string(name) + ".exe");
        EXPECT_EQ(run.exit_code, 0) << run;
        EXPECT_FALSE(fs::exists((dir / name).parent_path() / "error.log"));
    }
}

}  // namespace
}  // namespace demo::portable
