// Instrumentation: the function's counters array and the counter
// increments on the counted edges, at the entry and on conditional arms.
#include <boost/format.hpp>

#include "diag/trelv_diags.h"
#include "icode/attributes.h"
#include "icode/icode_file.h"
#include "icode/opcodes.h"
#include "icode/record_kinds.h"
#include "icode/type_pkg.h"
#include "profiling/BGL_cfg.h"
#include "profmgr/prof_mgr.h"

using namespace icode;

namespace {

// The counters array's symbol attributes, passed to the I-code as they are:
// their meaning belongs to the compiler's later passes.
constexpr uint8_t COUNTERS_ARRAY_STORAGE_CLASS = 3;  // file-local
constexpr uint16_t COUNTERS_ARRAY_QUALIFIERS = 0xE000;
// Alignment of the array, in bits.
constexpr uint16_t COUNTERS_ARRAY_ALIGNMENT = 32;

}  // namespace

void PROFILE_ICODE_MGR::set_types(TYPE_PKG* types) {
    types_ = types;
    counter_type_ = nullptr;
    counter_type_looked_up_ = false;
    counters_array_types_.clear();
}

TYPE* PROFILE_ICODE_MGR::counter_type() {
    // The first predefined unsigned type of 32 bits; looked up once.
    if (!counter_type_looked_up_ && types_) {
        counter_type_looked_up_ = true;
        for (IntegralKind k : {IntegralKind::UCHAR, IntegralKind::USHORT, IntegralKind::UINT,
                               IntegralKind::ULONG, IntegralKind::ULLONG}) {
            TYPE* t = types_->integral_type(k);
            if (t && t->size() == 32) {
                counter_type_ = t;
                break;
            }
        }
    }
    return counter_type_;
}

void PROFILE_ICODE_MGR::create_counters_array(int highest_index) {
    // Position 0 counts entries; the edge counters follow, then the extra
    // counters.
    int n = fn_.extra_counter_count + highest_index + 1;
    if (n == 0 || fn_.counters_array || !types_) return;
    auto [types, added] = counters_array_types_.try_emplace(uint32_t(n));
    if (added) {
        TYPE* counter = counter_type();
        types->second.first =
            types_->make_array(counter, uint32_t(n), uint64_t(n) * (counter ? counter->size() : 32),
                               counter ? counter->alignment() : 32, false, false, false);
        TYPE* pointer = types_->void_pointer();
        types->second.second =
            types_->make_pointer(types->second.first, pointer ? pointer->size() : 16,
                                 pointer ? pointer->alignment() : 16);
    }
    TYPE* array = types->second.first;
    array_pointer_type_ = types->second.second;
    SymbolRecord r;
    boost::format& name = counters_array_name();
    r.name = (name.clear() % function_name() % counters_array_sequence()).str();
    ++counters_array_sequence();
    r.size = array->size();
    r.value = 0;
    r.storage_class = COUNTERS_ARRAY_STORAGE_CLASS;
    r.qualifiers = COUNTERS_ARRAY_QUALIFIERS;
    r.type = array;
    r.alignment = COUNTERS_ARRAY_ALIGNMENT;
    auto symbol = std::make_unique<SYMTAB>(std::move(r));
    // Attributes go to the front of the list, so the array is written with
    // the function's name attribute first and its data section second.
    symbol->add_pragma_front(std::make_unique<Pragma>(uint8_t(AttributeKind::DATA_SECTION),
                                                      std::vector<std::string>{".ppdata"}));
    symbol->add_pragma_front(std::make_unique<Pragma>(uint8_t(AttributeKind::FUNC_TRELV_INFO),
                                                      std::vector<std::string>{function_name()}));
    fn_.counters_array = symbol.get();
    fn_.counters_array_owned = std::move(symbol);
    if (output_) output_->register_global_symbol(fn_.counters_array);
}

NODE* PROFILE_ICODE_MGR::make_counter_increment(int index, NODE** hole) {
    TYPE* const int_type = this->int_type();
    TYPE* counter = counter_type();
    NODE* name = make_node(NAME, fn_.counters_array->type());
    name->set_symbol(fn_.counters_array);
    NODE* address = make_node(UAND, array_pointer_type_);
    address->set_left(name);
    NODE* i = make_node(ICON, int_type);
    i->set_value(uint64_t(int64_t(index)));
    if (hole) *hole = i;
    NODE* width = make_node(ICON, int_type);
    width->set_value(32);
    NODE* scaled = make_node(PMCONV, int_type);
    scaled->set_left(i);
    scaled->set_right(width);
    NODE* plus = make_node(PLUS, array_pointer_type_);
    plus->set_left(address);
    plus->set_right(scaled);
    NODE* element = make_node(UMULT, counter);
    element->set_left(plus);
    NODE* one = make_node(ICON, counter);
    one->set_value(1);
    NODE* increment = make_node(PLUSPLUS, counter);
    increment->set_left(element);
    increment->set_right(one);
    return increment;
}

void PROFILE_ICODE_MGR::add_counter_increment(int index, bool before) {
    add_tree_statement(nullptr, std::nullopt, REC_EXPR_STMT, before)->counter = index;
}

void PROFILE_ICODE_MGR::write_counter_increment(const STMT_ENTRY& e) {
    if (!fn_.counter_stamped) {
        NODE* hole = nullptr;
        NODE* tree = make_counter_increment(0, &hole);
        counter_stamp_ = output_->stamp_tree(tree, hole);
        free_tree(tree);
        fn_.counter_stamped = true;
    }
    output_->write_stamped_statement(counter_stamp_, uint32_t(e.counter), e.position);
}

void PROFILE_ICODE_MGR::insert_counters(const COUNTER_PLAN& plan) {
    create_counters_array(plan.highest_index);
    if (!fn_.counters_array) return;

    // Counter 0 counts entries: after a parameter copy that opens the
    // function, otherwise in front of its first statement.
    STMT_ENTRY* first = fn_.first_block->first();
    fn_.insertion_point = first;
    fn_.open_block = nullptr;
    if (copies_parameter(first)) {
        if (first == fn_.first_block->last()) fn_.open_block = fn_.first_block;
        add_counter_increment(0, false);
    } else {
        add_counter_increment(0, true);
    }

    // Edge counters, on the blocks as they were before any insertion: the
    // plan lists the counted edges in edge order, which is block order and
    // successor order within a block, the order the chords were numbered in.
    for (const COUNTER_PLACE& place : plan.places)
        insert_edge_counter(place.block, place.succ, place.index);

    // Extra counters: the true arm of every conditional expression of the
    // recorded trees, numbered after the edge counters in walk order.
    int next_counter = plan.highest_index + 1;
    std::vector<NODE*>& todo = stacks_.nodes;
    for (const COND_TREE& ct : fn_.cond_trees) {
        todo.assign(1, ct.tree);
        while (!todo.empty()) {
            NODE* n = todo.back();
            todo.pop_back();
            if (!n) continue;
            if (n->opcode() == QUEST && n->right() && n->right()->opcode() == COLON) {
                NODE* colon = n->right();
                NODE* x = colon->left();
                NODE* comma = make_node(COMMAOP, x ? x->type() : nullptr);
                comma->set_left(make_counter_increment(next_counter++));
                comma->set_right(x);
                colon->set_left(comma);
            }
            todo.push_back(n->right());
            todo.push_back(n->left());
        }
    }
    fn_.insertion_point = nullptr;
    fn_.open_block = nullptr;
}

void PROFILE_ICODE_MGR::insert_edge_counter(BASIC_BLK* b, BASIC_BLK* s, int index) {
    bool found = false;
    for (const SUCC_INFO& x : b->successors()) found |= x.succ == s;
    if (!found) {
        std::string sn = s->name(), bn = b->name();
        DIAG::trelv_warn_bad_succ(TRELV_HERE, function_name(), sn.c_str(), bn.c_str()).emit();
        return;
    }
    fn_.open_block = nullptr;
    if (s == b->fallthrough_succ()) {
        // Control falling out of b passes a new label and the increment
        // before it reaches s.
        fn_.insertion_point = b->last();
        add_label_def(new_label(), std::nullopt, false);
        add_counter_increment(index, false);
        return;
    }
    if (s->predecessors().size() == 1 && s != fn_.first_block) {
        STMT_ENTRY* f = s->first();
        fn_.insertion_point = f;
        if (f->kind == REC_LABEL) {
            if (f == s->last()) fn_.open_block = s;
            add_counter_increment(index, false);
        } else {
            add_counter_increment(index, true);
        }
        return;
    }
    // Split the edge with a new block where no control flow falls into it:
    // after the first block that ends in a jump or a return.
    BASIC_BLK* host = fn_.split_host;
    for (BASIC_BLK* x = fn_.first_block; x && !host; x = x->next()) {
        int op = x->last() ? x->last()->root_opcode() : -1;
        if (x->last() && x->last()->kind == REC_EXPR_STMT &&
            (op == BRANCH || op == RETURN || op == URETURN))
            host = x;
    }
    if (!host) DIAG::trelv_fatal_no_insrt_point(TRELV_HERE, function_name()).emit();
    fn_.split_host = host;
    uint64_t target = 0;
    s->first_label(target);
    int64_t m = new_label();
    fn_.insertion_point = host->last();
    add_label_def(m, std::nullopt, false);
    add_counter_increment(index, false);
    add_branch(int64_t(target), std::nullopt, false);
    // Redirect b's jump to s through the new block: the first label to s,
    // in pre-order.
    b->last()->new_labels = true;
    walk_tree(b->last()->tree, stacks_.nodes, [&](NODE* n) {
        if (n->opcode() != LABEL || n->value() != target) return true;
        n->set_value(uint64_t(m));
        return false;
    });
}

boost::format& PROFILE_ICODE_MGR::counters_array_name() {
    // Parsed once for the run: parsing the format and setting up its stream
    // cost more than the formatting itself.
    if (!counters_array_name_)
        counters_array_name_ = std::make_unique<boost::format>("__prof_arr_%s_%d");
    return *counters_array_name_;
}
