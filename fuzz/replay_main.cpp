// Replays saved fuzz inputs through a target without fuzzing:
//
//   fuzz_replay TARGET PATH...
//
// Each PATH is an input file or a folder of them (hidden files and
// README.md are skipped).  For targets that take a unit, a file ending in
// ".txt" is I-code text form and is assembled first, so reproducers can be
// kept readable.  Status 0 when every input ran through; a crash or a
// sanitizer report ends the process as it would under the fuzzer.
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "fuzz/fuzz_targets.h"
#include "icode/text/text_form.h"
#include "tools/common/tool_io.h"

namespace fs = std::filesystem;

namespace {

bool replay_file(const fuzz::TARGET& target, const fs::path& path) {
    std::string data, error;
    if (!icode_text::read_whole_file(path.string(), data)) {
        std::cerr << path.string() << ": cannot read\n";
        return false;
    }
    if (target.takes_unit && path.extension() == ".txt") {
        std::string unit;
        if (!icode_text::assemble(data, path.string(), unit, &error)) {
            std::cerr << error << "\n";
            return false;
        }
        data = unit;
    }
    std::cout << "replaying " << path.string() << std::endl;
    target.run(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: fuzz_replay TARGET PATH...\n";
        return 2;
    }
    const fuzz::TARGET* target = fuzz::find_target(argv[1]);
    if (!target) {
        std::cerr << "fuzz_replay: no target " << argv[1] << "\n";
        return 2;
    }
    bool ok = true;
    for (int i = 2; i < argc; ++i) {
        std::vector<fs::path> files;
        if (fs::is_directory(argv[i])) {
            for (const fs::directory_entry& e : fs::directory_iterator(argv[i])) {
                const std::string name = e.path().filename().string();
                if (e.is_regular_file() && name[0] != '.' && name != "README.md")
                    files.push_back(e.path());
            }
            std::sort(files.begin(), files.end());
        } else {
            files.push_back(argv[i]);
        }
        for (const fs::path& f : files) ok = replay_file(*target, f) && ok;
    }
    return ok ? 0 : 1;
}
