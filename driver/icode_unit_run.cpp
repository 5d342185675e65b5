// The profiler's own unit-run steps: the I-code reader feeding the profile
// manager, the writer it writes through, and the job it is given.
#include "driver/icode_unit_run.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "diag/trelv_diags.h"
#include "driver/run_job.h"
#include "driver/run_state.h"
#include "icode/icode_file.h"
#include "icode/type_pkg.h"
#include "profmgr/analysis_tables.h"
#include "profmgr/prof_client.h"
#include "profmgr/prof_mgr.h"

using namespace icode;

namespace {

// The run-wide objects; they live until the process ends (or a test
// resets them).
struct RUN_UNITS {
    std::unique_ptr<PROF_CLIENT> client;
    std::unique_ptr<IcodeFile> input;
    std::unique_ptr<TYPE_PKG> types;
    std::unique_ptr<IcodeFile> output;
};

RUN_UNITS& units() {
    static RUN_UNITS u;
    return u;
}

STRING_LISTS open_input(const std::string& name) {
    RUN_UNITS& u = units();
    std::FILE* f = open_input_file(name);
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

void open_output(const std::string& name) {
    RUN_UNITS& u = units();
    std::FILE* f = name.empty() ? nullptr : std::fopen(name.c_str(), "wb");
    if (!f) {
        const char* reason = std::strerror(name.empty() ? ENOENT : errno);
        DIAG::trelv_fatal_icode_file_open(TRELV_HERE, name.c_str(), reason).emit();
    }
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
    // Results are not looked at: the run has written what it could.
    if (u.input) u.input->close();
    if (u.output) u.output->close();
    profile_manager().set_output(nullptr);
    close_analysis_table();
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
    reset_profile_manager();
    reset_icode_target();
    u.output.reset();
    u.input.reset();
    u.types.reset();
    u.client.reset();
}

UNIT_RUN& unit_run() {
    static UNIT_RUN run = icode_unit_run();
    return run;
}

void reset_unit_run() {
    reset_icode_unit_run();
    unit_run() = icode_unit_run();
}
