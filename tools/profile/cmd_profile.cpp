// icode profile show|merge|check|diff: profile data files looked at,
// summed, checked against a unit and compared, as the profiler would read
// them (tools/profile/profile_records.h).
//
//   icode profile show PRF... [--unit UNIT]
//       per function (key): its records and, per number of counters, the
//       summed counters; with --unit each counter named by its edge
//   icode profile merge PRF... -o OUT
//       one record per function and number of counters with the sums, so
//       that the profiler reads from OUT the sums it read from all of PRF
//       (stale records, of another number of counters, stay one per number
//       of counters: the profiler reports each record it skips).  Records
//       are named by their key, the canonical path the profiler matched.
//   icode profile check UNIT PRF...
//       every record the profiler would skip quietly or report: status 1
//       when there is any (profile_check.cpp)
//   icode profile diff A B [--unit UNIT]
//       per-function changes and the overlap of the two (profile_diff.cpp)
//
// show, merge and check take --strip-prefix DIR and --relative-to DIR for
// data collected in a build tree that has moved since.
#include <cstdio>
#include <iostream>
#include <memory>

#include "tools/commands.h"
#include "tools/common/tool_cli.h"
#include "tools/common/tool_io.h"
#include "tools/profile/profile_commands.h"

namespace {

std::string counters_text(const RECORD_GROUP& g) {
    return std::to_string(g.counters) + (g.counters == 1 ? " counter" : " counters");
}

std::string records_text(unsigned n) {
    return std::to_string(n) + (n == 1 ? " record" : " records");
}

int show_profiles(const PROFILE_COMMAND& c) {
    PROFILE_RECORDS records;
    UNIT_COUNTERS unit;
    if (!read_inputs(c, records, c.unit.empty() ? nullptr : &unit)) return 1;
    for (const auto& [key, f] : records) {
        std::cout << "function " << key << ": " << records_text(f.records()) << "\n";
        const FUNCTION_COUNTERS* fn = c.unit.empty() ? nullptr : unit.find(key);
        for (const RECORD_GROUP& g : f.groups) {
            std::cout << "  " << records_text(g.records) << " of " << counters_text(g);
            if (!c.unit.empty()) {
                if (!fn)
                    std::cout << ", no function of the unit";
                else if (fn->counters.size() != g.counters)
                    std::cout << ", stale: the unit's function has " << fn->counters.size();
            }
            std::cout << "\n";
            bool named = fn && fn->counters.size() == g.counters;
            if (named) {
                for (std::size_t i = 0; i < g.sums.size(); ++i)
                    std::cout << "    " << i << " " << fn->counters[i] << ": " << g.sums[i] << "\n";
                continue;
            }
            std::cout << "    sums";
            for (uint32_t v : g.sums) std::cout << " " << v;
            std::cout << "\n";
        }
    }
    return 0;
}

int merge_profiles(const PROFILE_COMMAND& c) {
    PROFILE_RECORDS records;
    if (!read_inputs(c, records, nullptr)) return 1;
    std::string text;
    write_profile_records(records, text);
    if (!icode_text::write_whole_file(c.output, text)) {
        std::cerr << "icode profile merge: cannot write " << c.output << "\n";
        return 1;
    }
    unsigned in = 0, out = 0;
    for (const auto& [key, f] : records) {
        in += f.records();
        out += unsigned(f.groups.size());
    }
    std::cout << records_text(in) << " of " << records.size()
              << (records.size() == 1 ? " function" : " functions") << " merged into "
              << records_text(out) << " in " << c.output << "\n";
    return 0;
}

void add_name_map(CLI::App* sub, PROFILE_COMMAND& c) {
    sub->add_option("--strip-prefix", c.names.strip_prefix,
                    "record names starting with DIR/ lose that start")
        ->type_name("DIR");
    sub->add_option("--relative-to", c.names.relative_to,
                    "relative record names are taken relative to DIR")
        ->type_name("DIR");
}

}  // namespace

bool read_inputs(const PROFILE_COMMAND& c, PROFILE_RECORDS& records, UNIT_COUNTERS* unit) {
    std::string error;
    if (unit && !read_unit_counters(c.unit, *unit, &error)) {
        std::cerr << "icode profile: " << error << "\n";
        return false;
    }
    for (const std::string& path : c.profiles) {
        if (!read_profile_records(path, c.names, records, &error)) {
            std::cerr << "icode profile: " << error << "\n";
            return false;
        }
    }
    return true;
}

void add_cmd_profile(CLI::App& icode, int& status) {
    CLI::App* profile =
        icode.add_subcommand("profile", "show, merge, check and compare profile data files");
    profile->require_subcommand(1);

    auto show = std::make_shared<PROFILE_COMMAND>();
    CLI::App* sub = profile->add_subcommand("show", "records and summed counters per function");
    sub->add_option("PRF", show->profiles, "profile data files")->required();
    sub->add_option("--unit", show->unit, "name the counters by the unit's edges")
        ->type_name("UNIT");
    add_name_map(sub, *show);
    sub->callback([show, &status] { status = show_profiles(*show); });

    auto merge = std::make_shared<PROFILE_COMMAND>();
    sub = profile->add_subcommand("merge", "one record per function with the sums");
    sub->add_option("PRF", merge->profiles, "profile data files")->required();
    sub->add_option("-o,--output", merge->output, "the merged file")->required()->type_name("OUT");
    add_name_map(sub, *merge);
    sub->callback([merge, &status] { status = merge_profiles(*merge); });

    auto check = std::make_shared<PROFILE_COMMAND>();
    sub = profile->add_subcommand("check", "records that do not fit the unit, said out loud");
    sub->add_option("UNIT", check->unit, "the unit the data is for")->required();
    sub->add_option("PRF", check->profiles, "profile data files")->required();
    add_name_map(sub, *check);
    sub->callback([check, &status] { status = check_profiles(*check); });

    auto diff = std::make_shared<PROFILE_COMMAND>();
    sub = profile->add_subcommand("diff", "per-function changes and the overlap of two files");
    sub->add_option("PRF", diff->profiles, "the two files, A then B")->required()->expected(2);
    sub->add_option("--unit", diff->unit, "name the counters by the unit's edges")
        ->type_name("UNIT");
    sub->callback([diff, &status] { status = diff_profiles(*diff); });
}
