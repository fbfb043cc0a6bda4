// Runs a fuzz target over files and directories of inputs without libFuzzer, so the stored
// starting inputs and earlier findings are replayed by every test run with the normal compiler.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void RunOne(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes(std::istreambuf_iterator<char>(in), {});
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
}

} // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::size_t runs = 0;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg = argv[i];
        if (fs::is_directory(arg)) {
            for (const auto& entry : fs::recursive_directory_iterator(arg)) {
                if (entry.is_regular_file()) {
                    RunOne(entry.path());
                    ++runs;
                }
            }
        } else if (fs::is_regular_file(arg)) {
            RunOne(arg);
            ++runs;
        } else {
            std::fprintf(stderr, "%s: no such file or directory\n", argv[i]);
            return 2;
        }
    }
    std::printf("%zu inputs passed\n", runs);
    return runs > 0 ? 0 : 1;
}
