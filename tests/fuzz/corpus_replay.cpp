// Runs every file of a corpus once through a fuzz target, without libFuzzer,
// so any compiler can build it. Arguments are files or folders (searched
// recursively); without arguments the seed folder is used. Exits 77
// (skipped) when there is no corpus to replay, unless the corpus is
// committed with the sources: then a missing corpus fails.
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

#ifndef FUZZ_REPLAY_NAME
#define FUZZ_REPLAY_NAME "gif_walk_replay"
#endif
#ifndef FUZZ_SEED_DIR
#define FUZZ_SEED_DIR "build/fuzz/seeds"
#endif
#ifndef FUZZ_CORPUS_COMMITTED
#define FUZZ_CORPUS_COMMITTED 0
#endif

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::vector<std::string> roots(argv + 1, argv + argc);
    if (roots.empty())
        roots.push_back(FUZZ_SEED_DIR);

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
        printf("%s: %s, no corpus in", FUZZ_REPLAY_NAME,
               FUZZ_CORPUS_COMMITTED ? "FAILED" : "SKIPPED");
        for (const std::string& root : roots)
            printf(" %s", root.c_str());
        printf(FUZZ_CORPUS_COMMITTED ? "\n" : " (tools/fuzz_corpus.sh fetches the seeds)\n");
        return FUZZ_CORPUS_COMMITTED ? 1 : 77;
    }

    uintmax_t bytes = 0;
    for (const fs::path& path : files) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            printf("%s: cannot read %s\n", FUZZ_REPLAY_NAME, path.c_str());
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
    printf("%s: %zu inputs, %ju bytes\n", FUZZ_REPLAY_NAME, files.size(), bytes);
    printf("%s: %zu passed, 0 failed\n", FUZZ_REPLAY_NAME, files.size());
    return 0;
}
