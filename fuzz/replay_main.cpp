// Replays stored inputs through a fuzz target's LLVMFuzzerTestOneInput, for
// builds without libFuzzer (the normal gcc build and its sanitizer pass).
//
// Usage: fuzz_<target> [--allow-empty] [--timeout=SECONDS] PATH...
// Each PATH is a file or a folder (walked recursively; dot files such as
// .gitkeep are skipped). A crashing input aborts the process, so the CTest
// that runs this fails; the name of the input is printed before it runs.
// An input that runs longer than the timeout (default 5 s; 0 disables it)
// is a hang and aborts too: every stored input parses in milliseconds, even
// under the sanitizers, so 5 s only trips on runaway (e.g. quadratic) work. Without --allow-empty,
// finding no input at all is an error, so a mistyped or emptied seed folder
// cannot pass silently.
#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

namespace fs = std::filesystem;

namespace {
void onTimeout(int)
{
    static const char message[] = "replay: FUZZ FINDING: input ran past the timeout (a hang)\n";
    (void)!write(2, message, sizeof(message) - 1);
    std::abort();
}

bool hidden(const fs::path &p)
{
    const std::string name = p.filename().string();
    return !name.empty() && name.front() == '.';
}

bool collect(const fs::path &root, std::vector<fs::path> &inputs)
{
    std::error_code ec;
    if (fs::is_regular_file(root, ec)) {
        inputs.push_back(root);
        return true;
    }
    if (!fs::is_directory(root, ec)) {
        std::fprintf(stderr, "replay: no such file or folder: %s\n", root.c_str());
        return false;
    }
    for (auto it = fs::recursive_directory_iterator(root, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (hidden(it->path())) {
            if (it->is_directory()) {
                it.disable_recursion_pending();
            }
            continue;
        }
        if (it->is_regular_file()) {
            inputs.push_back(it->path());
        }
    }
    if (ec) {
        std::fprintf(stderr, "replay: cannot list %s: %s\n", root.c_str(), ec.message().c_str());
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char **argv)
{
    bool allowEmpty = false;
    unsigned timeout = 5;
    std::vector<fs::path> inputs;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--allow-empty") == 0) {
            allowEmpty = true;
        } else if (std::strncmp(argv[i], "--timeout=", 10) == 0) {
            timeout = unsigned(std::strtoul(argv[i] + 10, nullptr, 10));
        } else {
            ok = collect(argv[i], inputs) && ok;
        }
    }
    if (!ok) {
        return 2;
    }
    if (inputs.empty() && !allowEmpty) {
        std::fprintf(stderr, "replay: no inputs found\n");
        return 2;
    }
    std::sort(inputs.begin(), inputs.end());
    std::signal(SIGALRM, onTimeout);
    for (const fs::path &path : inputs) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
            return 2;
        }
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
        std::fprintf(stderr, "replay: %s (%zu bytes)\n", path.c_str(), bytes.size());
        std::fflush(stderr);
        alarm(timeout);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
        alarm(0);
    }
    std::printf("replay: %zu inputs ran without a finding\n", inputs.size());
    return 0;
}
