// Symbol attributes: the attribute kinds with their printed names, and the
// Pragma that carries one attribute and its arguments.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace icode {

// Attribute kind codes as they appear in I-code.  Only FUNC_EXT_CALLED,
// SYM_IS_REFERENCED and SYM_IS_DEAD change how a symbol is read; every
// other kind is carried through unchanged.
enum class AttributeKind : uint8_t {
    INVALID = 0,
    DATA_ALIGN = 1,
    DATA_SECTION = 2,
    FUNC_NEVER_RETURNS = 3,
    FUNC_CANNOT_INLINE = 4,
    FUNC_NO_GLOBAL_ASG = 5,
    FUNC_NO_IND_ASG = 6,
    FUNC_IS_PURE = 7,
    FUNC_IS_SYSTEM = 8,
    NO_INTERRUPT = 9,
    NEAR = 10,
    FAR = 11,
    INTERRUPT = 12,
    PORT = 13,
    INLINE = 14,
    OVLY_INDIRECT = 15,
    NO_OVLY = 16,
    FUNC_NOT_IND_CALLED = 17,
    SHARED = 18,
    SHAREDPP = 19,
    DUAL_STATE = 20,
    TASK = 21,
    OVLY_IND_CALLS = 22,
    FUNC_EXT_CALLED = 23,
    REENTRANT = 24,
    CALLS = 25,
    SWI_ALIAS = 26,
    CODE_SECTION = 27,
    TRAP = 28,
    FUNC_INTERRUPT_THRESHOLD = 29,
    FUNC_NO_MDEP = 30,
    NMI_INTERRUPT = 31,
    PROTECT_VOLATILE = 32,
    STRUCT_ALIGN = 33,
    DATA_MEM_BANK = 34,
    IDENT = 35,
    OPT_OVERRIDE = 36,
    UNROLL = 37,
    UNROLL_AMOUNT = 38,
    MUST_ITERATE = 39,
    PROB_ITERATE = 40,
    SRC_LOOP = 41,
    ALIAS_ADVICE = 42,
    ALIGN_ADVICE = 43,
    INLINE_ADVICE = 44,
    WRAP_ADVICE = 45,
    FAST_FUNC_CALL = 46,
    VELM_CALL = 47,
    VELM_FAR_CALL = 48,
    SRC_LANGUAGE = 49,
    UNUSED = 50,
    SCOPING_FUNC = 51,
    SYM_IS_REFERENCED = 52,
    STANDARD_LIBRARY_FUNCTION = 53,
    FUNC_IS_NONCONFORMING = 54,
    TRANSLATION_UNIT_ID = 55,
    TRIP_CNTR_MUNGED = 56,
    LOOP_FLAGS = 57,
    IS_CLASS_MEMBER = 58,
    SYM_IS_DEAD = 59,
    NO_ALIAS = 60,
    REG_FLAGS = 61,
    REG_MAP = 62,
    SP_CONSTRAINT = 63,
    II_ESTIMATE = 64,
    UNIT_RESOURCES = 65,
    SP_HINDRANCES = 66,
    READ_WRITE = 67,
    NO_ALIAS_CLONE = 68,
    COMDAT_GROUP = 69,
    DEFAULT_NEVER_EXECUTED = 70,
    FUNC_IS_CTOR_DTOR = 71,
    SYM_VISIBILITY = 72,
    DLLEXPORT_OBSOLETE = 73,
    FS_DYNAMIC_INIT = 74,
    FUNC_ESPEC = 75,
    FUNC_EXCEPTIONS_NOUNWIND = 76,
    VORN_CALL = 77,
    FUNC_SYNONYM = 78,
    BIS_IE1_INTERRUPT = 79,
    LOOP_NO_ALIAS = 80,
    FUNC_RET_BY_CCTOR = 81,
    CODE_ALIGN = 82,
    ZK_WEAK = 83,
    WORD_MODE_FUNC = 84,
    NO_HOOKS = 85,
    HOOK_FUNCTION = 86,
    FUNC_NUM_CALLED = 87,
    FUNC_ALWAYS_INLINE = 88,
    FUNC_TRELV_INFO = 89,
    INTR_FUNC = 90,
    TRAP_FUNC = 91,
    VECTOR_EQUALS = 92,
    CODE_STATE = 93,
    FUNC_RET_UNIQUE_POINTER = 94,
    RETAIN = 95,
    CLINK = 96,
    FUNC_IN_INIT_ARRAY = 97,
    VCC_VREG = 98,
    NUBE_REG = 99,
    LOCATION = 100,
    NOINIT = 101,
    PERSISTENT = 102,
    LPM_INFO = 103,
    PORTS_INIT_INFO = 104,
    FUNC_HAS_FP_INTERFACE = 105,
    THREAD_LOCAL = 106,
    CREGISTER = 107,
    INS_PROPS = 108,
    FRAM_LOCKIO = 109,
    FRAM_WAITSTATE = 110,
    HW_MPY32 = 111,
    PARALLEL_LOOP = 112,
    HW_MPY_INTR_SAFE = 113,
    ZK_PATCHABLE = 114,
    TRAMPOLINE = 115,
    RAMFUNC = 116,
    FUNC_IS_NAKED = 117,
    QUIL_STATUS = 118,
    BLOCKED = 119,
    NOBLOCKED = 120,
    TAMO_LOOP = 121,
    FUNC_IS_INTERNAL_RUNTIME = 122,
    COALESCE_LOOP = 123,
    NO_COALESCE_LOOP = 124,
    NO_NLC = 125,
};

constexpr unsigned MAX_ATTRIBUTE_KIND = 125;

// The printed name of an attribute kind code ("COMDAT GROUP" for 69);
// "unknown" for codes above MAX_ATTRIBUTE_KIND.
const char* attribute_name(unsigned code);

// The reference state of a symbol after one more attribute of the given
// kind: FUNC_EXT_CALLED and SYM_IS_REFERENCED give 1, SYM_IS_DEAD gives 3,
// any other kind leaves the state as it is.  Applied in file order, so the
// last such attribute wins.
uint8_t reference_state_after(uint8_t state, uint8_t kind);

// One attribute: of a symbol (linked into its list through next), or a
// free-standing attribute statement of a function.
struct Pragma {
    uint8_t kind = 0;
    std::vector<std::string> args;  // in file order
    std::unique_ptr<Pragma> next;   // the next attribute of the same symbol

    Pragma() = default;
    Pragma(uint8_t k, std::vector<std::string> a) : kind(k), args(std::move(a)) {}
    // Releases the rest of the list iteratively.
    ~Pragma();
    Pragma(const Pragma&) = delete;
    Pragma& operator=(const Pragma&) = delete;
};

}  // namespace icode
