// The profiler's own unit-run steps: the I-code reader feeding the profile
// manager, the writer it writes through, and the job it is given.
#include "driver/icode_unit_run.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

#include "diag/process_exit.h"
#include "diag/trelv_diags.h"
#include "driver/output_file.h"
#include "driver/run_job.h"
#include "driver/run_state.h"
#include "icode/icode_file.h"
#include "icode/type_pkg.h"
#include "profmgr/analysis_tables.h"
#include "profmgr/prof_client.h"
#include "profmgr/prof_mgr.h"
#include "profmgr/profile_data.h"

using namespace icode;

namespace {

// The run-wide objects; they live until the process ends (or a test
// resets them).
struct RUN_UNITS {
    std::unique_ptr<PROF_CLIENT> client;
    std::unique_ptr<IcodeFile> input;
    std::unique_ptr<TYPE_PKG> types;
    std::unique_ptr<IcodeFile> output;
    std::FILE* input_stream = nullptr;  // owned by `input` once that exists
    std::string input_name;
    std::optional<FILE_ID> input_id;
    std::string output_name;
    std::optional<FILE_ID> output_id;
};

RUN_UNITS& units() {
    static RUN_UNITS u;
    return u;
}

STRING_LISTS open_input(const std::string& name) {
    RUN_UNITS& u = units();
    std::FILE* f = open_input_file(name);
    u.input_stream = f;
    u.input_name = name;
    u.input_id = file_id(f);
    u.client = std::make_unique<PROF_CLIENT>(profile_manager());
    u.input = IcodeFile::open_for_reading(f, u.client.get());
    if (!u.input) DIAG::trelv_fatal_icode_file_open(TRELV_HERE, name.c_str(), "").emit();
    return u.client->string_lists();
}

void create_type_package() {
    RUN_UNITS& u = units();
    u.types = std::make_unique<TYPE_PKG>();
    u.input->set_type_package(u.types.get());
}

// A run that ends with a failure after the output was opened leaves no
// half-written unit behind.
void remove_partial_output() {
    RUN_UNITS& u = units();
    if (u.output) u.output->close(true);
    remove_output_file(u.output_name, u.output_id);
}

// The files the run reads, which the output must not overwrite: the input
// and the profile data files.
std::vector<KEPT_FILE> files_read() {
    RUN_UNITS& u = units();
    std::vector<KEPT_FILE> kept;
    if (u.input_id) kept.push_back({"input", u.input_name, *u.input_id});
    const PROFILE_FILE_REQUEST request = profile_file_request(current_options());
    if (request.use_profile_info)
        for (const std::string& name : profile_file_names(request))
            if (const std::optional<FILE_ID> id = file_id(name))
                kept.push_back({"profile data file", name, *id});
    return kept;
}

void open_output(const std::string& name) {
    RUN_UNITS& u = units();
    std::string reason = std::strerror(ENOENT);
    std::FILE* f =
        name.empty() ? nullptr : open_output_file(name, files_read(), &u.output_id, &reason);
    if (!f) DIAG::trelv_fatal_icode_file_open(TRELV_HERE, name.c_str(), reason.c_str()).emit();
    u.output_name = name;
    set_exit_cleanup(remove_partial_output);
    u.output = IcodeFile::create_writer(f, u.types.get(), u.input->unit_name());
    for (const StringListEntry& e : u.client->string_lists()) u.output->add_string_list(e);
    PROFILE_ICODE_MGR& m = profile_manager();
    m.set_output(u.output.get());
    m.set_types(u.types.get());
    m.set_unit_name(u.input->unit_name());
}

// The manager learns the job of the run before the first function arrives.
void read_unit() {
    profile_manager().set_job(profile_job(current_options()));
    units().input->read_unit();
}

void write_initializers() {
    IcodeFile& out = *units().output;
    // Counters arrays are never initialized (and are frozen into bytes by
    // now, leaving null slots), so the table may grow under the walk only
    // with symbols that are skipped.
    for (size_t i = 0; i < out.global_symbols().size(); ++i) {
        SYMTAB* s = out.global_symbols()[i];
        if (!s || s->initializers().empty()) continue;
        out.write_initializer(s);
        for (NODE* tree : s->initializers()) out.write_tree(tree);
    }
}

void close_units() {
    RUN_UNITS& u = units();
    // The input's result is not looked at: it has been read as far as it
    // could be.
    if (u.input) u.input->close();
    // Every write error shows at the latest when the output is flushed and
    // closed here: the run then fails instead of leaving a damaged unit.
    errno = 0;
    const int err = u.output && u.output->close() != 0 ? (errno ? errno : EIO) : 0;
    profile_manager().set_output(nullptr);
    close_analysis_table();
    if (err)
        DIAG::trelv_fatal_icode_file_write(TRELV_HERE, u.output_name.c_str(), std::strerror(err))
            .emit();
    set_exit_cleanup(nullptr);
}

}  // namespace

UNIT_RUN icode_unit_run() {
    UNIT_RUN run;
    run.open_input = open_input;
    run.create_type_package = create_type_package;
    run.open_output = open_output;
    run.read_unit = read_unit;
    run.write_initializers = write_initializers;
    run.close_units = close_units;
    return run;
}

void reset_icode_unit_run() {
    RUN_UNITS& u = units();
    set_exit_cleanup(nullptr);
    // A run that ended early left its streams open: the process was to end.
    if (u.input)
        u.input->close(true);
    else if (u.input_stream)
        std::fclose(u.input_stream);
    if (u.output) u.output->close(true);
    reset_profile_manager();
    reset_icode_target();
    u.output.reset();
    u.input.reset();
    u.types.reset();
    u.client.reset();
    u = RUN_UNITS();
}

UNIT_RUN& unit_run() {
    static UNIT_RUN run = icode_unit_run();
    return run;
}

void reset_unit_run() {
    reset_icode_unit_run();
    unit_run() = icode_unit_run();
}
