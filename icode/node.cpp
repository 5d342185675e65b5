// NODE operations, the node factory and the pool it draws from, and the
// tree release and copy, which need no stack.
#include "icode/node.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include "icode/types.h"

namespace icode {

int BASE_NODE::weight() const { return -1; }

void BASE_NODE::set_weight(int) {}

BASE_NODE::~BASE_NODE() = default;

namespace node_detail {

// The first slot of a chunk links the chunks, so that they stay reachable;
// the others are for nodes.
void NODE_POOL::grow() {
    constexpr std::size_t CHUNK = 4096;
    SLOT* chunk = new SLOT[CHUNK];
    chunk->next = chunks_;
    chunks_ = chunk;
    for (std::size_t i = CHUNK; i-- > 1;) give(&chunk[i]);
}

#if TRELV_NODE_POOL
// Initialized before any code runs and never destroyed, so that nodes held
// by other static objects may be freed at any time.
NODE_POOL node_pool;
#endif

}  // namespace node_detail

namespace {

double bits_to_double(uint64_t bits) {
    double d;
    static_assert(sizeof d == sizeof bits, "double must be 64 bits");
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

uint64_t double_to_bits(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

// Decimal digits with an optional leading '-'; parsing stops at the first
// other character, and overflow wraps as 64-bit arithmetic does.
uint64_t parse_decimal(const char* text) {
    if (text == nullptr) return 0;
    bool negative = *text == '-';
    if (negative) ++text;
    uint64_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text)
        value = value * 10 + static_cast<uint64_t>(*text - '0');
    return negative ? ~value + 1 : value;
}

}  // namespace

void NODE::set_field_ref(int8_t flag, uint32_t member_number, TYPE* class_type) {
    set_value(reinterpret_cast<uintptr_t>(class_type));
    call_number_ = static_cast<int>(member_number);
    switch_number_ = flag;
}

TYPE* NODE::field_class() const { return reinterpret_cast<TYPE*>(static_cast<uintptr_t>(value())); }

const FieldMember* NODE::field() const {
    TYPE* cls = field_class();
    return cls ? cls->resolved()->find_field(field_member_number()) : nullptr;
}

std::string NODE::decimal_text() const {
    double value = text_ ? std::strtod(text_->c_str(), nullptr) : bits_to_double(this->value());
    bool single = type_ != nullptr && is_floating(type_) && type_->basic_type()->size() <= 32;
    char buffer[64];
    if (single)
        std::snprintf(buffer, sizeof buffer, "%.9g",
                      static_cast<double>(static_cast<float>(value)));
    else
        std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

const char* NODE::float_text() {
    if (!text_) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%a", bits_to_double(value()));
        text_ = std::make_unique<std::string>(buffer);
    }
    return text_->c_str();
}

void NODE::set_value_low_from_text(const char* text) {
    value_low_ = static_cast<uint32_t>(parse_decimal(text));
}

void NODE::set_value_if(int kind, uint32_t high, uint32_t low) {
    if (kind != 1) return;
    value_high_ = high;
    value_low_ = low;
}

void NODE::set_value_int(int value) {
    if (is_signed(type_))
        set_value_int_signed(value);
    else
        set_value_unsigned(value);
}

void NODE::set_value_from_decimal(const char* text) { set_value(parse_decimal(text)); }

void NODE::set_float_from_text(const char* text) {
    set_value(double_to_bits(text ? std::strtod(text, nullptr) : 0.0));
    text_.reset();
}

void NODE::set_bytes(const char* bytes, std::size_t n) {
    set_value(n);
    text_ = std::make_unique<std::string>(bytes, n);
}

void NODE::set_value_unsigned(int value) { set_value(static_cast<uint32_t>(value)); }

void NODE::set_value_int_signed(int value) {
    set_value(static_cast<uint64_t>(static_cast<int64_t>(value)));
}

void NODE::set_value_and_call_number(int value, int call) {
    set_value_unsigned(value);
    call_number_ = call;
}

void NODE::set_text(const char* text) {
    if (text == nullptr)
        text_.reset();
    else
        text_ = std::make_unique<std::string>(text);
}

void free_tree_of_nodes(NODE* root) {
    // Without a stack: while the node at hand has a left operand, a right
    // rotation lifts that operand above it; a node without one is freed and
    // its right operand comes next.  Every node is visited a bounded number
    // of times, and chains of any length are safe.
    NODE* node = root;
    while (node != nullptr) {
        if (NODE* left = node->left()) {
            node->set_left(left->right());
            left->set_right(node);
            node = left;
        } else {
            NODE* right = node->right();
            delete node;
            node = right;
        }
    }
}

NODE* clone_tree(const NODE* root) {
    if (root == nullptr) return nullptr;
    // Each entry pairs an original node with the link in the copy that must
    // receive its clone.
    std::vector<std::pair<const NODE*, NODE**>> pending;
    NODE* copy_root = nullptr;
    pending.emplace_back(root, &copy_root);
    while (!pending.empty()) {
        auto [original, slot] = pending.back();
        pending.pop_back();
        NODE* copy = new NODE(original->opcode_, original->type_);
        copy->value_low_ = original->value_low_;
        copy->value_high_ = original->value_high_;
        if (original->text_) copy->text_ = std::make_unique<std::string>(*original->text_);
        copy->switch_number_ = original->switch_number_;
        copy->weight_ = original->weight_;
        copy->call_number_ = original->call_number_;
        *slot = copy;
        if (original->left_ != nullptr) pending.emplace_back(original->left_, &copy->left_);
        if (original->right_ != nullptr) pending.emplace_back(original->right_, &copy->right_);
    }
    return copy_root;
}

}  // namespace icode

// Nodes are the most numerous objects of a run; keep them at ten words.
static_assert(sizeof(icode::NODE) <= 80, "NODE grew; a unit may hold millions of nodes");
