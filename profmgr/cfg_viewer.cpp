// The graph models of a function built for the debug dump.
#include "profmgr/cfg_viewer.h"

#include <unordered_map>

#include "diag/diag_settings.h"
#include "profmgr/prof_mgr.h"

const char* const VCG_VIEWER::COLORS[15] = {"white",  "blue",   "red",  "green",  "magenta",
                                            "cyan",   "khaki",  "gold", "lilac",  "turquoise",
                                            "orchid", "purple", "pink", "orange", "yellow"};

VCG_VIEWER::VCG_VIEWER() = default;

void VCG_VIEWER::print() const { std::fputs("Sorry, not implemented\n", DIAG::settings().err); }

PP_CFG_VIEWER::PP_CFG_VIEWER(CFG_MANAGER& manager) {
    std::unordered_map<const BASIC_BLK*, int> node_of;
    for (BASIC_BLK* b = manager.first_block(); b; b = manager.next_block()) {
        node_of[b] = int(nodes_.size());
        std::string prefix;
        if (manager.is_entry_block(b))
            prefix = "Entry\n";
        else if (manager.is_exit_block(b))
            prefix = "Exit\n";
        NODE_REC n;
        n.title = b->label();
        n.shape = "ellipse";
        n.label = prefix + b->label() + std::to_string(b->exec_weight());
        nodes_.push_back(std::move(n));
    }
    for (BASIC_BLK* b = manager.first_block(); b; b = manager.next_block()) {
        for (BASIC_BLK* s = b->first_succ(); s; s = b->next_succ()) {
            EDGE_REC e;
            e.source = node_of[b];
            auto it = node_of.find(s);
            e.target = it == node_of.end() ? -1 : it->second;
            e.back_edge = b->number_ge(s);
            e.color = e.back_edge ? "red" : "";
            e.label = b->succ_label(s);
            edges_.push_back(std::move(e));
        }
    }
}

void dump_cfg(CFG_MANAGER& manager) {
    PP_CFG_VIEWER viewer(manager);
    viewer.print();
}
