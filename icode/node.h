// Expression-tree nodes: the abstract BASE_NODE with its 37 operations and
// the one concrete node class NODE.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace icode {

class TYPE;
class I_SYMTAB;
struct FieldMember;

// The operations every tree node offers, in their fixed slot order (the
// comment gives the slot).  Only the weight pair and the destructor have
// bodies here; a node class that keeps no weight reports -1 and ignores
// writes.
class BASE_NODE {
public:
    virtual uint32_t value_low() const = 0;                                // 0
    virtual bool is_tree_node() const = 0;                                 // 1
    virtual uint32_t value_high() const = 0;                               // 2
    virtual uint32_t label_number() const = 0;                             // 3
    virtual int32_t int_value() const = 0;                                 // 4
    virtual uint32_t skip_number() const = 0;                              // 5
    virtual std::string decimal_text() const = 0;                          // 6
    virtual const char* float_text() = 0;                                  // 7
    virtual const char* text() const = 0;                                  // 8
    virtual int32_t register_number() const = 0;                           // 9
    virtual uint32_t extra_arg_count() const = 0;                          // 10
    virtual int extra_int_a() const = 0;                                   // 11
    virtual uint32_t string_length() const = 0;                            // 12
    virtual int switch_number() const = 0;                                 // 13
    virtual int extra_int_b() const = 0;                                   // 14
    virtual int extra_int_c() const = 0;                                   // 15
    virtual int extra_int_d() const = 0;                                   // 16
    virtual uint32_t low_word_a() const = 0;                               // 17
    virtual uint32_t low_word_b() const = 0;                               // 18
    virtual int call_number() const = 0;                                   // 19
    virtual int weight() const;                                            // 20
    virtual void set_weight(int weight);                                   // 21
    virtual void set_value_low_from_text(const char* text) = 0;            // 22
    virtual void set_value_if(int kind, uint32_t high, uint32_t low) = 0;  // 23
    virtual void set_value_int(int value) = 0;                             // 24
    virtual void set_value_from_decimal(const char* text) = 0;             // 25
    virtual void set_float_from_text(const char* text) = 0;                // 26
    virtual void set_bytes(const char* bytes, std::size_t n) = 0;          // 27
    virtual void set_value_unsigned(int value) = 0;                        // 28
    virtual void set_extra_int_a(int value) = 0;                           // 29
    virtual void set_value_int_signed(int value) = 0;                      // 30
    virtual void set_switch_number(int value) = 0;                         // 31
    virtual void set_extra_int_b(int value) = 0;                           // 32
    virtual void set_value_and_call_number(int value, int call) = 0;       // 33
    virtual void set_call_number(int call) = 0;                            // 34
    virtual void set_text(const char* text) = 0;                           // 35
    virtual ~BASE_NODE();                                                  // 36
};

// An expression-tree node.  Fields, in order: opcode, type, left and right
// operand (the right link also chains list elements), a 64-bit value kept
// as low and high halves, an owned text, the SWITCH number, the weight
// annotation (-1 until set) and the call number.
//
// The value holds integer constants, label numbers, string lengths, and for
// a floating constant made from a number the bits of a double.  A NAME node
// keeps its symbol pointer in the value and a FIELD node its class type
// (see set_symbol() and set_field_ref()), so that the node needs no further
// fields: a unit may hold millions of nodes.
//
// The text is owned by the node: the bytes of a string constant (which may
// contain NUL; the value holds the length), the text of a floating or long
// constant as read, a call name, or the cached "%a" form of a floating
// constant.
//
// Ownership: a node does not own its operands.  Whoever holds the root of a
// tree owns the whole tree and releases it with free_tree(); deleting a
// single node frees only that node.
class NODE final : public BASE_NODE {
public:
    NODE(int opcode, TYPE* type) : opcode_(opcode), type_(type) {}
    NODE(const NODE&) = delete;
    NODE& operator=(const NODE&) = delete;
    ~NODE() override = default;

    // Nodes live in a pool of equal slots that freed nodes go back to, so
    // that the millions of nodes of a run cost no allocator call each.
    static void* operator new(std::size_t size);
    static void operator delete(void* p, std::size_t size) noexcept;

    int opcode() const { return opcode_; }
    void set_opcode(int opcode) { opcode_ = opcode; }
    TYPE* type() const { return type_; }
    void set_type(TYPE* type) { type_ = type; }
    NODE* left() const { return left_; }
    NODE* right() const { return right_; }
    void set_left(NODE* node) { left_ = node; }
    void set_right(NODE* node) { right_ = node; }
    // The operand links themselves, for rewriting a tree in place.
    NODE** left_slot() { return &left_; }
    NODE** right_slot() { return &right_; }

    uint64_t value() const { return (static_cast<uint64_t>(value_high_) << 32) | value_low_; }
    void set_value(uint64_t value) {
        value_low_ = static_cast<uint32_t>(value);
        value_high_ = static_cast<uint32_t>(value >> 32);
    }
    bool has_text() const { return text_ != nullptr; }
    // The text with its full length (string constants may contain NUL).
    const std::string* text_string() const { return text_.get(); }

    // NAME: the symbol named, or nullptr for a NAME without symbol.
    void set_symbol(I_SYMTAB* symbol) { set_value(reinterpret_cast<uintptr_t>(symbol)); }
    I_SYMTAB* symbol() const {
        return reinterpret_cast<I_SYMTAB*>(static_cast<uintptr_t>(value()));
    }
    // FIELD: the i8 of the record, the member number and the class type.  The
    // class sits in the value, the member number in the call number and the
    // i8 in the SWITCH number.
    void set_field_ref(int8_t flag, uint32_t member_number, TYPE* class_type);
    TYPE* field_class() const;
    uint32_t field_member_number() const { return static_cast<uint32_t>(call_number_); }
    int8_t field_flag() const { return static_cast<int8_t>(switch_number_); }
    // The designated field of the class, or nullptr when none matches.
    const FieldMember* field() const;

    // ---- BASE_NODE operations ----
    // Slots 0, 3, 4, 5, 9, 10, 12, 17 and 18 all read the low half of the
    // value; the names say what callers use them for.
    uint32_t value_low() const override { return value_low_; }
    bool is_tree_node() const override { return true; }
    uint32_t value_high() const override { return value_high_; }
    uint32_t label_number() const override { return value_low_; }
    int32_t int_value() const override { return static_cast<int32_t>(value_low_); }
    uint32_t skip_number() const override { return value_low_; }
    // A new decimal text of the floating constant: the kept text, or the
    // value's double, converted at float precision ("%.9g") when the node's
    // type is a floating type of at most 32 bits and at double precision
    // ("%.17g") otherwise.
    std::string decimal_text() const override;
    // The text; a node without text first prints its value, taken as a
    // double, in "%a" form and keeps that text.
    const char* float_text() override;
    const char* text() const override { return text_ ? text_->c_str() : nullptr; }
    int32_t register_number() const override { return static_cast<int32_t>(value_low_); }
    uint32_t extra_arg_count() const override { return value_low_; }
    // Slots 11, 14, 15 and 16 ask for data this node class does not hold.
    int extra_int_a() const override { return 0; }
    uint32_t string_length() const override { return value_low_; }
    int switch_number() const override { return switch_number_; }
    int extra_int_b() const override { return 0; }
    int extra_int_c() const override { return 0; }
    int extra_int_d() const override { return 0; }
    uint32_t low_word_a() const override { return value_low_; }
    uint32_t low_word_b() const override { return value_low_; }
    int call_number() const override { return call_number_; }
    int weight() const override { return weight_; }
    void set_weight(int weight) override { weight_ = weight; }
    // The low half becomes the text's decimal number (optional sign).
    void set_value_low_from_text(const char* text) override;
    // Sets the value when kind is 1; other kinds leave it unchanged.
    void set_value_if(int kind, uint32_t high, uint32_t low) override;
    // Sign-extended when the node's type is signed, else zero-extended.
    void set_value_int(int value) override;
    // A decimal text with an optional leading '-', as a 64-bit integer.
    void set_value_from_decimal(const char* text) override;
    // The value becomes the bits of the double the text denotes (decimal or
    // hexadecimal floating form) and the text is dropped.
    void set_float_from_text(const char* text) override;
    // The value becomes n and the text a copy of the n bytes.
    void set_bytes(const char* bytes, std::size_t n) override;
    void set_value_unsigned(int value) override;    // zero-extended
    void set_extra_int_a(int) override {}           // not held; ignored
    void set_value_int_signed(int value) override;  // sign-extended
    void set_switch_number(int value) override { switch_number_ = value; }
    void set_extra_int_b(int) override {}  // not held; ignored
    void set_value_and_call_number(int value, int call) override;
    void set_call_number(int call) override { call_number_ = call; }
    // Keeps a copy of a NUL-terminated text (floating or long constant text,
    // call names); the value is unchanged.
    void set_text(const char* text) override;

    // A mark for walks that must tell nodes apart from others without a set
    // on the side (see the profile manager's freeing of the nodes lowering
    // took apart).  False except while such a walk runs.
    bool marked() const { return marked_; }
    void set_marked(bool marked) { marked_ = marked; }

private:
    friend NODE* clone_tree(const NODE* root);

    int opcode_;
    bool marked_ = false;
    TYPE* type_;
    NODE* left_ = nullptr;
    NODE* right_ = nullptr;
    uint32_t value_low_ = 0;
    uint32_t value_high_ = 0;
    std::unique_ptr<std::string> text_;
    int switch_number_ = 0;
    int weight_ = -1;
    int call_number_ = 0;
};

namespace node_detail {

// Slots for nodes, taken in chunks and never given back to the heap: a
// freed node's slot is the next one taken.  The peak number of live nodes
// (one function's trees and the globals' initializers) bounds the pool.
// Taking and giving are inline: a run makes and frees millions of nodes.
class NODE_POOL {
public:
    constexpr NODE_POOL() = default;

    void* take() {
        if (!free_) grow();
        SLOT* slot = free_;
        free_ = slot->next;
        return slot;
    }
    void give(void* p) {
        SLOT* slot = static_cast<SLOT*>(p);
        slot->next = free_;
        free_ = slot;
    }

private:
    union SLOT {
        SLOT* next;
        alignas(NODE) unsigned char bytes[sizeof(NODE)];
    };
    // Adds a chunk of slots.
    void grow();

    SLOT* free_ = nullptr;
    SLOT* chunks_ = nullptr;
};

// Builds with AddressSanitizer use the heap instead, so that it still sees
// every node's use after release and every leak.
#if defined(__SANITIZE_ADDRESS__)
#define TRELV_NODE_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TRELV_NODE_POOL 0
#endif
#endif
#ifndef TRELV_NODE_POOL
#define TRELV_NODE_POOL 1
#endif

#if TRELV_NODE_POOL
// The pool of every node (node.cpp).
extern NODE_POOL node_pool;
#endif

}  // namespace node_detail

inline void* NODE::operator new(std::size_t size) {
#if TRELV_NODE_POOL
    if (size == sizeof(NODE)) return node_detail::node_pool.take();
#endif
    return ::operator new(size);
}

inline void NODE::operator delete(void* p, std::size_t size) noexcept {
    if (!p) return;
#if TRELV_NODE_POOL
    if (size == sizeof(NODE)) return node_detail::node_pool.give(p);
#endif
    ::operator delete(p);
}

// The node factory: a new node with every field zero except the weight
// annotation, which is -1.  The caller owns the node.
inline NODE* make_node(int opcode, TYPE* type) { return new NODE(opcode, type); }

// Frees a whole tree (both operand links, transitively) without recursion,
// so that chains of any length are safe.  Null is allowed.  A tree must not
// share nodes.  A lone node, the most frequent tree freed, is freed inline.
void free_tree_of_nodes(NODE* root);
inline void free_tree(NODE* root) {
    if (root && !root->left() && !root->right())
        delete root;
    else
        free_tree_of_nodes(root);
}

// A deep copy of a tree: every node with its text; type, symbol and class
// pointers are shared.  Iterative like free_tree().
NODE* clone_tree(const NODE* root);

// Owning handle for a tree, for callers that prefer RAII.
struct TreeDeleter {
    void operator()(NODE* root) const { free_tree(root); }
};
using TreePtr = std::unique_ptr<NODE, TreeDeleter>;

}  // namespace icode
