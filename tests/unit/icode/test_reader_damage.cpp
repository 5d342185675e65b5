// Damaged units: every way a record can fail to decode within the file ends
// the run with the reader's fixed text and status 1, never a crash, a hang
// or an allocation out of proportion to the file.  The last test reads a
// few hundred deterministic mutations of a valid unit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "test_reader_recording.h"

// ---- allocation watch ------------------------------------------------------
//
// The largest single allocation made while a watch is on.  Under the address
// sanitizer its allocator reports every allocation to a hook; elsewhere the
// global operator new is replaced by one that forwards to malloc and counts
// while asked to.  (Replacing it under the sanitizer would cost the whole
// test program the sanitizer's new/delete mismatch checks.)
#if defined(__SANITIZE_ADDRESS__)
#define TRELV_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TRELV_TEST_ASAN 1
#endif
#endif

namespace {
bool watching = false;
size_t largest_request = 0;

void note_request(size_t n) {
    if (watching && n > largest_request) largest_request = n;
}
}  // namespace

#if defined(TRELV_TEST_ASAN)
// The sanitizer runtime's hook interface (its header is not installed with
// every compiler).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*malloc_hook)(const volatile void*,
                                                                             size_t),
                                                         void (*free_hook)(const volatile void*));

namespace {
void note_malloc(const volatile void*, size_t n) { note_request(n); }
void note_free(const volatile void*) {}
const int hooks_installed = __sanitizer_install_malloc_and_free_hooks(note_malloc, note_free);
}  // namespace
#else
namespace {
void* allocate(size_t n) {
    note_request(n);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
}  // namespace

void* operator new(size_t n) { return allocate(n); }
void* operator new[](size_t n) { return allocate(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
#endif

namespace {

using namespace reader_test;
using Calls = std::vector<std::string>;

struct ALLOCATION_WATCH {
    ALLOCATION_WATCH() {
        largest_request = 0;
        watching = true;
    }
    ~ALLOCATION_WATCH() { watching = false; }
};

TEST(ReaderDamage, TheAllocationWatchSeesAllocations) {
    // The bounds below mean something only if the watch measures.
    ALLOCATION_WATCH watch;
    std::string big(300000, 'x');
    EXPECT_GE(largest_request, big.size());
}

const std::string HEAD = "header version=-71 target=700 name=\"t.c\"\n";

const std::string SECTIONS = R"(
.types
type 1 int explicit_sign=1 size=16 align=16
end
.symbols
symbol name="f" type=1
end
)";

struct DAMAGE {
    const char* what;
    std::string text;
    const char* message;
};

void expect_invalid(const DAMAGE& d) {
    SCOPED_TRACE(d.what);
    READER_RUN run;
    {
        ALLOCATION_WATCH watch;
        run.read(d.text);
        // The stream's 32768-byte buffer is the largest thing a read needs.
        EXPECT_LE(largest_request, 65536u);
    }
    // The string-list table is read while the unit is opened, so damage
    // there ends the run before the open returns.
    EXPECT_FALSE(run.client.calls.empty());
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, d.message);
    EXPECT_EQ(run.err, "");
}

TEST(ReaderDamage, RecordsCutOffByTheEndOfTheFile) {
    const DAMAGE cases[] = {
        {"a symbol whose name has no terminator", HEAD + "raw 23 05 61 62\n", INVALID_RECORD},
        {"a label whose number runs off the end", HEAD + "raw 2a 01 80\n", INVALID_RECORD},
        {"a length cut off", HEAD + "raw 2a 80\n", INVALID_RECORD},
        {"a node whose type is missing", HEAD + "expr pos=-\nraw 65 01 04\n", INVALID_RECORD},
        {"a node without leaf data", HEAD + "expr pos=-\nraw 65 02 04 01\n", INVALID_RECORD},
        {"a tree whose operand is missing", HEAD + "expr pos=-\nPLUS type=0\nICON type=0 value=1\n",
         INVALID_RECORD},
        {"a tree followed by another kind", HEAD + "expr pos=-\nlabel label=1\nend\n",
         INVALID_RECORD},
        {"an operand of another kind", HEAD + "expr pos=-\nUMINUS type=0\nmark pos=-\nend\n",
         INVALID_RECORD},
        {"an initializer without ENDINIT",
         HEAD + "init sym=0\nICON type=1 value=1\n" + "end\n" + SECTIONS, INVALID_RECORD},
        {"a symbol missing its pragmas",
         HEAD + "symbol name=\"s\" pragmas=2\npragma kind=1\nlabel label=1\nend\n", INVALID_RECORD},
        {"a pragma cut off", HEAD + "symbol name=\"s\" pragmas=1\nraw 5e 03 01 01 61\n",
         INVALID_RECORD},
        {"a type record cut off", HEAD + "end\n.types\nraw 74 03 01 0f 01\n", INVALID_RECORD},
        {"a string list cut off", HEAD + "end\n.strings\nraw 6f 04 01 02 61 00\n", INVALID_RECORD},
        {"a file name cut off", HEAD + "end\n.files\nraw 7e 02 61 62\n", INVALID_RECORD},
    };
    for (const DAMAGE& d : cases) expect_invalid(d);
}

TEST(ReaderDamage, LengthsAndCountsPastTheEndOfTheFile) {
    const DAMAGE cases[] = {
        {"a length beyond the file", HEAD + "mark len=100 pos=-\nend\n", INVALID_RECORD},
        {"the largest length", HEAD + "label len=4294967295 label=1\nend\n", INVALID_RECORD},
        {"an opaque length beyond the file", HEAD + "opaque len=50 pos=-\nend\n", INVALID_RECORD},
        {"pragma arguments", HEAD + "raw 5e 04 01 e8 07 00\nend\n", INVALID_RECORD},
        {"pragma arguments, the largest count", HEAD + "raw 5e 07 01 ff ff ff ff 0f 00\nend\n",
         INVALID_RECORD},
        {"string lists", HEAD + "end\n.strings\nraw 6f 05 01 90 4e 61 00\nend\n", INVALID_RECORD},
        {"counted bytes of a string constant", HEAD + "expr pos=-\nraw 65 05 03 00 ff ff 03\nend\n",
         INVALID_RECORD},
        {"drop59 values", HEAD + "raw 3b 05 01 02 ff 01 00\nend\n", INVALID_RECORD},
        // exception tables end with their own text
        {"exception-table entries", HEAD + "eht count=4000000000\n", INVALID_EHT},
        {"exception-table entries before an end", HEAD + "eht count=3\neht_entry kind=0\nend\n",
         INVALID_EHT},
        {"catch items",
         HEAD +
             "eht count=1\neht_entry kind=2 count=1000\neht_catches items=[(\"a\", 1, 0)]\nend\n",
         INVALID_EHT},
        {"catch items, the largest count",
         HEAD + "eht count=1\neht_entry kind=2 count=4294967295\neht_catches items=[]\nend\n",
         INVALID_EHT},
        {"an entry length beyond the file", HEAD + "eht count=1\neht_entry len=99 kind=0\nend\n",
         INVALID_EHT},
    };
    for (const DAMAGE& d : cases) expect_invalid(d);
}

TEST(ReaderDamage, IndexesBeyondTheirTables) {
    const DAMAGE cases[] = {
        {"a function's global symbol", HEAD + "func_begin pos=- sym=1\nend\n" + SECTIONS,
         INVALID_RECORD},
        {"a global NAME", HEAD + "expr pos=-\nNAME type=1 level=0 index=1\nend\n" + SECTIONS,
         INVALID_RECORD},
        {"a local NAME",
         HEAD +
             "func_begin pos=- sym=0\nsymbol name=\"x\" type=1\nexpr pos=-\n"
             "NAME type=1 level=1 index=1\nend\n" +
             SECTIONS,
         INVALID_RECORD},
        {"a local NAME outside any function",
         HEAD + "expr pos=-\nNAME type=1 level=2 index=0\nend\n" + SECTIONS, INVALID_RECORD},
        {"a local NAME after kind 123 emptied the table",
         HEAD +
             "func_begin pos=- sym=0\nsymbol name=\"x\" type=1\n"
             "drop123 sym=0 a=0 b=0 c=0 pos=-\nexpr pos=-\nNAME type=1 level=1 index=0\nend\n" +
             SECTIONS,
         INVALID_RECORD},
        {"an initializer's symbol",
         HEAD + "end\n.init\ninit sym=1\nENDINIT type=0\nend\n" + SECTIONS, INVALID_RECORD},
        {"an initializer with no globals", HEAD + "init sym=0\nENDINIT type=0\nend\n",
         INVALID_RECORD},
    };
    for (const DAMAGE& d : cases) expect_invalid(d);
}

TEST(ReaderDamage, OpcodesAndTypeCodesWithoutALayout) {
    const DAMAGE cases[] = {
        {"opcode 164", HEAD + "expr pos=-\nraw 65 02 a4 00\nend\n", INVALID_RECORD},
        {"opcode 255", HEAD + "expr pos=-\nraw 65 02 ff 00\nend\n", INVALID_RECORD},
        {"opcode 164 as an operand", HEAD + "expr pos=-\nUMINUS type=0\nraw 65 02 a4 00\nend\n",
         INVALID_RECORD},
        {"opcode 164 at the top level", HEAD + "raw 65 02 a4 00\nend\n", INVALID_RECORD},
        {"type code 26", HEAD + "end\n.types\nraw 74 02 05 1a\nend\n", INVALID_RECORD},
        {"type code 253", HEAD + "end\n.types\nraw 74 02 05 fd\nend\n", INVALID_RECORD},
        {"type code 52 in the function stream", HEAD + "raw 74 02 05 34\nend\n", INVALID_RECORD},
        {"drop108 sub-kind 3", HEAD + "raw 6c 02 00 03\nend\n", INVALID_RECORD},
        // a member record for an owner of another kind cannot be placed
        {"an enumerator for a pointer",
         HEAD + "end\n.types\ntype 1 pointer pointee=0\ntype 1 enumerator name=\"a\"\nend\n",
         INVALID_RECORD},
        {"a field for a function",
         HEAD + "end\n.types\ntype 1 function ret=0\ntype 1 open list=0\ntype 1 field\nend\n",
         INVALID_RECORD},
    };
    for (const DAMAGE& d : cases) expect_invalid(d);
}

TEST(ReaderDamage, ExceptionTableRecordsOutOfPlace) {
    const DAMAGE cases[] = {
        {"an entry that is not kind 91", HEAD + "eht count=1\nlabel label=1\nend\n", INVALID_EHT},
        {"a kind 1 entry without its statement",
         HEAD + "eht count=1\neht_entry kind=1\nlabel label=1\nend\n", INVALID_EHT},
        {"a kind 2 entry without its catches",
         HEAD + "eht count=1\neht_entry kind=2 count=0\nexpr pos=-\nNOP type=0\nend\n",
         INVALID_EHT},
        {"a catches record that is cut off",
         HEAD + "eht count=1\neht_entry kind=2 count=1\nraw 3f 03 61 00 05\n", INVALID_EHT},
        // the tree of a kind 1 entry is a tree like any other
        {"a kind 1 entry whose statement has no tree",
         HEAD + "eht count=1\neht_entry kind=1\nexpr pos=-\nlabel label=1\nend\n", INVALID_RECORD},
    };
    for (const DAMAGE& d : cases) expect_invalid(d);
}

TEST(ReaderDamage, NothingIsLostWhenARunEndsInTheMiddle) {
    // With the exit turned into an exception, everything read so far must
    // be released: the trees of an initializer list and of an exception
    // table, and a node whose symbol lookup fails.  The sanitizer build
    // reports what is not.
    const DAMAGE cases[] = {
        {"initializer",
         HEAD + "init sym=0\nICON type=1 value=1\nICON type=1 value=2\nlabel label=1\nend\n" +
             SECTIONS,
         INVALID_RECORD},
        {"exception table",
         HEAD +
             "eht count=2\neht_entry kind=1\nexpr pos=-\nICON type=1 value=1\nlabel "
             "label=1\nend\n" +
             SECTIONS,
         INVALID_EHT},
        {"name lookup",
         HEAD + "expr pos=-\nPLUS type=1\nICON type=1 value=1\nNAME type=1 level=0 index=5\nend\n" +
             SECTIONS,
         INVALID_RECORD},
    };
    for (const DAMAGE& d : cases) expect_invalid(d);
}

// ---- mutations of a valid unit -------------------------------------------------

// A unit that uses every section and most record kinds, so that mutations
// reach every decoding path.
const std::string RICH = R"(header version=-71 target=700 name="rich.c"
func_begin pos=1:2:3 sym=1
symbol name="p" size=16 class=1 type=2 align=16 pragmas=2 pos=1:2:9 ref=1
pragma kind=52 args=[]
pragma kind=2 args=["sec", "x"]
body_begin pos=1:3:1
symbol name="d" size=32 class=2 type=5 align=16 pos=1:3:5
block_begin pos=1:4:1
mark pos=-
opaque pos=1:4:2 bytes="\x01\x02\x03"
text_at text="line" pos=1:4:3
text text="plain"
drop38 a=1 b=2 c=3 d=4 e=5 s=-6
drop59 a=1 b=2 values=[3, 65535]
drop108 a=1 sub=0 b=2 c=-3 type=2 d=-4 e=5
drop124 a=1 level=-1 index=2 b=3
label label=7
expr pos=1:5:6
  ASG type=2
    NAME type=2 level=1 index=0
    PLUS type=2
      ICON type=2 value=-5
      FIELD type=2 byte=0 member=1 class=6
expr pos=1:6:1
  CBRANCH type=2
    LT type=2
      NAME type=5 level=2 index=1
      FCON type=5 text="1.5"
    LABEL type=2 label=7
expr pos=-
  CALL type=2 extra=1 eht=0
    UAND type=3
      NAME type=4 level=0 index=1
    COMMA type=2
      SCON type=3 bytes="a\x00b"
      DDNODE type=2 id=1 locale=2 flags=3
        VREG type=2 reg=-7
eht count=2
eht_entry first=1 kind=1 third=2 count=0
expr pos=-
  SKIP type=2 number=3
eht_entry first=3 kind=2 third=0 count=1
eht_catches items=[("int", 3, 1)]
block_end pos=-
func_end pos=1:9:1
end
.init
init sym=0
  ICON type=2 value=3
  ENDINIT type=2
end
.strings
string_list id=1 strings=["-O2", "--x"]
end
.types
type 1 void
type 2 int explicit_sign=1 size=16 align=16
type 3 pointer pointee=2 size=16 align=16
type 4 function ret=2
type 4 open list=0
type 4 param type=3 name="s"
type 4 close list=0
type 5 double size=32 align=16
type 6 csu_lists csu=0 name="S" size=32 align=16 list7=1 list2=0
type 6 open list=7
type 6 field member=1 name="a" type=2 offset=0 pos=1:1:1
type 6 close list=7
type 7 enum name="E" size=16 align=16 base=2
type 7 open list=1
type 7 enumerator name="A" value=-1
type 7 close list=1
type 8 array elem=2 count=3 size=48 align=16
end
.files
file_name name="rich.c"
end
.symbols
symbol name="g" size=16 class=4 type=2 align=16 pos=1:1:5
symbol name="f" class=4 type=4 pos=1:2:3
end
)";

TEST(ReaderDamage, MutationsOfAValidUnitNeverCrash) {
    const std::string unit = assemble(RICH);
    {
        READER_RUN intact;
        intact.read_bytes(unit);
        intact.expect_clean();
        ASSERT_EQ(intact.client.calls_of("function_end").size(), 1u);
    }
    // Each variant: one of a few kinds of damage at a place chosen by a
    // fixed seed.  What a variant may do: read cleanly (a changed number is
    // still a number), report unknown kinds, be refused at open, or end
    // with one of the fixed texts and status 1.
    std::mt19937 random(20240611);
    int ended = 0, refused = 0, clean = 0;
    for (int variant = 0; variant < 400; ++variant) {
        std::string bytes = unit;
        size_t at = random() % bytes.size();
        switch (variant % 5) {
            case 0: bytes[at] = char(random() & 0xff); break;
            case 1: bytes[at] = char(bytes[at] ^ (1 << (random() % 8))); break;
            case 2: bytes.resize(at); break;
            case 3: bytes.erase(at, 1 + random() % 4); break;
            case 4: bytes[at] = char(0x80 | bytes[at]); break;  // a ULEB that goes on
        }
        SCOPED_TRACE("variant " + std::to_string(variant) + " at " + std::to_string(at));
        READER_RUN run;
        {
            ALLOCATION_WATCH watch;
            run.read_bytes(bytes);
            // Within the stream's buffer and a small multiple of the file.
            EXPECT_LE(largest_request, 65536u + 64 * bytes.size());
        }
        if (run.status == -1) {
            EXPECT_EQ(run.err, "");
            if (run.opened) {
                ++clean;
            } else {
                ++refused;
                EXPECT_EQ(run.out, "");
            }
            continue;
        }
        ++ended;
        EXPECT_EQ(run.status, 1);
        const std::string& out = run.out;
        bool fixed_text = out.size() >= std::strlen(INVALID_RECORD) &&
                          (out.compare(out.size() - std::strlen(INVALID_RECORD), std::string::npos,
                                       INVALID_RECORD) == 0 ||
                           (out.size() >= std::strlen(INVALID_EHT) &&
                            out.compare(out.size() - std::strlen(INVALID_EHT), std::string::npos,
                                        INVALID_EHT) == 0));
        bool type_error = run.err.rfind("TP>> internal error: ", 0) == 0;
        EXPECT_TRUE(fixed_text != type_error) << "stdout: " << out << "\nstderr: " << run.err;
    }
    // The mutations reach all three outcomes.
    EXPECT_GT(ended, 0);
    EXPECT_GT(refused, 0);
    EXPECT_GT(clean, 0);
}

}  // namespace
