// Runs a fuzz target over files and folders of inputs once each, without
// libFuzzer: the regression run of the corpus in the ordinary builds. A
// failed property aborts, so the test fails on the input it names.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

void RunOne(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::fprintf(stderr, "input %s\n", path.c_str());
    // Its own block of exactly the input's size, as libFuzzer gives it, so
    // that a read past the end is caught here too.
    const auto copy = std::make_unique<std::uint8_t[]>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), copy.get());
    (void)LLVMFuzzerTestOneInput(copy.get(), bytes.size());
}

} // namespace

int main(int argc, char** argv)
{
    std::size_t count = 0;
    for (int a = 1; a < argc; ++a) {
        std::vector<std::filesystem::path> paths;
        if (std::filesystem::is_directory(argv[a])) {
            for (const auto& entry : std::filesystem::directory_iterator(argv[a])) {
                paths.push_back(entry.path());
            }
            std::sort(paths.begin(), paths.end());
        } else {
            paths.emplace_back(argv[a]);
        }
        for (const auto& path : paths) {
            RunOne(path);
            ++count;
        }
    }
    if (count == 0) {
        std::fprintf(stderr, "no inputs\n");
        return 1;
    }
    std::fprintf(stderr, "%zu inputs ran\n", count);
    return 0;
}
