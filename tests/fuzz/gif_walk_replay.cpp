// Runs every file of a corpus once through the GIF walk fuzz target, without
// libFuzzer, so any compiler can build it. Arguments are files or folders
// (searched recursively); without arguments the seed folder is used.
// Exits 77 (skipped) when there is no corpus to replay.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

#ifndef GIF_WALK_SEED_DIR
#define GIF_WALK_SEED_DIR "build/fuzz/seeds"
#endif

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::vector<std::string> roots(argv + 1, argv + argc);
    if (roots.empty())
        roots.push_back(GIF_WALK_SEED_DIR);

    std::vector<fs::path> files;
    for (const std::string& root : roots) {
        std::error_code ec;
        if (fs::is_regular_file(root, ec)) {
            files.emplace_back(root);
            continue;
        }
        for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end;
             it.increment(ec)) {
            if (it->is_regular_file(ec))
                files.push_back(it->path());
        }
    }
    if (files.empty()) {
        printf("gif_walk_replay: SKIPPED, no corpus in");
        for (const std::string& root : roots)
            printf(" %s", root.c_str());
        printf(" (tools/fuzz_corpus.sh fetches the seeds)\n");
        return 77;
    }

    uintmax_t bytes = 0;
    for (const fs::path& path : files) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            printf("gif_walk_replay: cannot read %s\n", path.c_str());
            return 1;
        }
        const std::vector<char> content((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
        // An exactly sized copy, so the sanitizers see any read past the end.
        std::unique_ptr<uint8_t[]> data(new uint8_t[content.size()]);
        std::copy(content.begin(), content.end(), data.get());
        LLVMFuzzerTestOneInput(data.get(), content.size());
        bytes += content.size();
    }
    // A failed input aborts inside the target, so reaching here means all passed.
    printf("gif_walk_replay: %zu inputs, %ju bytes\n", files.size(), bytes);
    printf("gif_walk_replay: %zu passed, 0 failed\n", files.size());
    return 0;
}
