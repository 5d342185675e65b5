// The counters of a unit's functions, found by building each function's
// graph and numbering its chords as an instrumenting run does, without
// instrumenting anything.
#include "tools/profile/unit_counters.h"

#include <memory>

#include "icode/icode_file.h"
#include "icode/type_pkg.h"
#include "profiling/BGL_cfg.h"
#include "profmgr/prof_client.h"
#include "profmgr/prof_mgr.h"
#include "profmgr/profile_data_path.h"
#include "tools/common/unit_open.h"

namespace {

class COUNTER_COLLECTOR : public PROFILE_ICODE_MGR {
public:
    explicit COUNTER_COLLECTOR(UNIT_COUNTERS& unit) : unit_(unit) {}

    void process_function() override {
        std::unique_ptr<PROFILE_GRAPH> graph = build_graph();
        graph->number_chords();
        FUNCTION_COUNTERS f;
        f.function = function_name();
        f.key = unit_.key_prefix + f.function;
        f.counters.assign(std::size_t(graph->next_index() + extra_counter_count()), "?: true arm");
        if (!f.counters.empty()) f.counters[0] = "entry";
        const CFG_GRAPH& g = graph->graph();
        for (auto [it, end] = boost::edges(g); it != end; ++it) {
            int index = g[*it].index;
            if (index > 0 && index < graph->next_index())
                f.counters[std::size_t(index)] =
                    g[boost::source(*it, g)].name() + "->" + g[boost::target(*it, g)].name();
        }
        unit_.functions.push_back(std::move(f));
    }

private:
    UNIT_COUNTERS& unit_;
};

}  // namespace

const FUNCTION_COUNTERS* UNIT_COUNTERS::find(const std::string& key) const {
    for (const FUNCTION_COUNTERS& f : functions)
        if (f.key == key) return &f;
    return nullptr;
}

bool read_unit_counters(const std::string& path, UNIT_COUNTERS& unit, std::string* error) {
    COUNTER_COLLECTOR manager(unit);
    PROF_CLIENT client(manager);
    icode::TYPE_PKG types;
    std::unique_ptr<icode::IcodeFile> file = icode_text::open_unit(path, client, types, error);
    if (!file) return false;
    unit.unit_name = file->unit_name();
    unit.key_prefix = canonical_path(unit.unit_name) + "/";
    manager.set_types(&types);
    manager.set_unit_name(unit.unit_name);
    file->read_unit();
    file->close();
    return true;
}
