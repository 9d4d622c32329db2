// gloam's executable: answers --version itself and hands every other command
// line to the commands, which live in an internal shared object loaded here.
// The commands need the image, date and HTTP libraries, and mapping those is
// most of what starting a process costs; a program that only asks for the
// version should not pay for them.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

// Plain C library calls only: with no C++ library to map, this starts as fast
// as any program can.
namespace {

// Which commands to load: all of them for `serve`, and for any command line
// that may list them (help, or no command); all but `serve`, and so without
// the HTTP server and its libraries, for the rest.
const char* commandsFor(int argc, char** argv)
{
    if (argc < 2 || argv[1][0] == '-' || std::strcmp(argv[1], "serve") == 0)
        return GLOAM_SERVE_FILE;
    return GLOAM_COMMANDS_FILE;
}

// The commands: beside the executable in the build tree, else where
// `make install` puts them. On failure, `error` says why.
void* openCommands(const char* file, char (&error)[16384])
{
    char beside[4096];
    const ssize_t n = readlink("/proc/self/exe", beside, sizeof beside - 64);
    char* slash = nullptr;
    if (n > 0) {
        beside[n] = '\0';
        slash = std::strrchr(beside, '/');
    }
    if (slash)
        std::snprintf(slash + 1, sizeof beside - size_t(slash + 1 - beside), "%s", file);
    else
        std::snprintf(beside, sizeof beside, "./%s", file);
    char installed[4096];
    std::snprintf(installed, sizeof installed, "%s/%s", GLOAM_INSTALL_LIB_DIR, file);
    const char* const paths[] = {beside, installed};
    for (const char* path : paths) {
        if (access(path, F_OK) != 0)
            continue;
        // Lazily bound: a command calls a small part of what its libraries
        // offer, and binding all of it up front costs more than the calls.
        if (void* handle = dlopen(path, RTLD_LAZY | RTLD_LOCAL))
            return handle;
        std::snprintf(error, sizeof error, "%s", dlerror());
        return nullptr;
    }
    std::snprintf(error, sizeof error, "neither %s nor %s exists", beside, installed);
    return nullptr;
}

// A command touches a few pictures' worth of fresh memory, and on a virtual
// machine a page fault for each 4 KiB of it costs more than the drawing:
// the heap is grown once, well ahead, and asked for huge pages, so that a
// map's pictures fault in a few 2 MiB pieces. The heap's start is the only
// part that cannot hold one; pictures larger than the padding grow the heap
// in ordinary pages, as before.
void growHeapInHugePages()
{
    constexpr uintptr_t kHuge = uintptr_t(2) << 20;
    mallopt(M_TOP_PAD, 64 << 20);
    void* first = std::malloc(1);
    const uintptr_t from = (reinterpret_cast<uintptr_t>(first) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t to = reinterpret_cast<uintptr_t>(sbrk(0)) & ~(kHuge - 1);
    if (first && to > from)
        madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
    std::free(first);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("gloam %s\n", GLOAM_VERSION);
        return 0;
    }
    // Pictures of a few megabytes come and go many times in a command (bands
    // of a large map, a request's bitmaps in the host): kept in the heap
    // rather than mapped and unmapped each time, they cost no page faults
    // after the first. Larger ones are still mapped and returned at once.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
    // One heap for every thread: a thread's own would be mapped apart, in
    // small pages, and a command has no more than a few threads to share it.
    mallopt(M_ARENA_MAX, 1);
    growHeapInHugePages();
    char error[16384] = "";
    void* commands = openCommands(commandsFor(argc, argv), error);
    using Main = int (*)(int, char**);
    Main run = commands ? reinterpret_cast<Main>(dlsym(commands, "gloam_main")) : nullptr;
    if (!run) {
        std::fprintf(stderr, "gloam: cannot load its commands: %s\n",
            commands ? "no gloam_main in them" : error);
        return 1;
    }
    return run(argc, argv);
}
