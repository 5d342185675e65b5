// The shared part of the fuzz targets: scratch files, the in-process
// profiler run and the reset between inputs.
#include "fuzz/fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>

#include "diag/diag_settings.h"
#include "diag/process_exit.h"
#include "diag/flag_levels.h"
#include "driver/prof_common.h"
#include "driver/run_state.h"
#include "driver/unit_run.h"
#include "icode/icode_file.h"
#include "icode/icode_input.h"
#include "icode/infix.h"
#include "icode/stmt_dump.h"
#include "icode/text/text_form.h"
#include "profmgr/analysis_tables.h"
#include "profmgr/prof_mgr.h"
#include "profmgr/profile_data_path.h"
#include "tools/common/tool_io.h"

namespace fuzz {

namespace {

// Thrown by the exit hook in place of ending the process.
struct FUZZ_EXIT {
    int status;
};

[[noreturn]] void throwing_exit(int status) { throw FUZZ_EXIT{status}; }

void reset_everything() {
    DIAG::reset();
    reset_flag_levels();
    reset_run_state();
    reset_unit_run();
    reset_profile_manager();
    reset_analysis_table();
    reset_normalised_path_cache();
    icode::reset_infix_state();
    icode::reset_statement_text_buffer();
    icode::reset_icode_target();
    // Every stream of the input is closed by now (see run_in_process).
    icode::ICODE_INPUT::release_kept_buffers();
    DIAG::settings().out = null_stream();
    DIAG::settings().err = null_stream();
}

struct SCRATCH {
    std::string dir;
    SCRATCH() {
        char pattern[] = "/tmp/trelv-fuzz-XXXXXX";
        if (!mkdtemp(pattern)) std::abort();
        dir = pattern;
    }
    ~SCRATCH() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
};

}  // namespace

std::string scratch_file(const std::string& name) {
    static SCRATCH scratch;
    return scratch.dir + "/" + name;
}

void write_file(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) std::abort();
}

void write_file(const std::string& path, const std::string& data) {
    write_file(path, reinterpret_cast<const uint8_t*>(data.data()), data.size());
}

std::FILE* null_stream() {
    static std::FILE* f = std::fopen("/dev/null", "w");
    return f;
}

int run_in_process(const std::function<int()>& step) {
    reset_everything();
    set_exit_hook(throwing_exit);
    int status = 0;
    try {
        status = step();
    } catch (const FUZZ_EXIT& e) {
        status = e.status;
    }
    reset_exit_hook();
    reset_everything();
    return status;
}

int run_profiler(const std::vector<std::string>& words) {
    std::vector<std::string> storage;
    storage.push_back("trelv");
    storage.insert(storage.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& w : storage) argv.push_back(w.data());
    argv.push_back(nullptr);

    return run_in_process([&] { return trelv_main(int(storage.size()), argv.data()); });
}

const std::string& example_unit() {
    static const std::string unit = [] {
        std::string text, bytes, error;
        const std::string path = std::string(TRELV_SOURCE_DIR) + "/examples/demo.icode.txt";
        if (!icode_text::read_whole_file(path, text) ||
            !icode_text::assemble(text, path, bytes, &error))
            std::abort();
        return bytes;
    }();
    return unit;
}

}  // namespace fuzz
