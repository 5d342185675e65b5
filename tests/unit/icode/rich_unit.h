// One unit in text form that uses every section and every record kind, every
// node with leaf data and nested local scopes, shared by the reader tests
// (which check what reaches the client) and the writer tests (which check
// that a copy hands out the same).
#pragma once

#include <string>
#include <vector>

namespace reader_test {

// Types: 1 int, 2 unsigned, 3 double, 7 int *, 8 struct S whose fields carry
// member numbers 10 and 20 in the file, 10 a typedef of int.  Globals: f, g
// (every symbol field set), h.  The opaque record's bytes spell a label
// record: skipped by its length, they never reach the client.
inline const char* const RICH_UNIT = R"(header version=-71 target=700 name="t.c"
func_begin pos=1:2:3 sym=0
symbol name="p" class=1 type=1 pragmas=1 pos=1:2:9
pragma kind=52 args=["x"]
body_begin pos=1:3:1
symbol name="b" class=2 type=2
block_begin pos=1:4:1
block_begin pos=-
symbol name="c" class=2 type=3
mark pos=-
opaque pos=1:4:2 bytes="\x2a\x01\x05"
text_at text="line" pos=1:4:3
text text="plain"
drop38 a=1 b=2 c=3 d=4 e=5 s=-6
drop45 a=1 b=2 c=3 d=4 e=5
drop58 a=1 b=2 c=3
drop59 a=1 b=2 values=[3, 65535]
drop64 a=-1
drop108 a=1 sub=0 b=2 c=-3 type=1 d=-4 e=5
drop108 a=1 sub=1 b=2 c=3 type=0 d=4 e=5
drop108 a=1 sub=2 b=2
drop124 a=1 level=-1 index=2 b=3
block_end pos=-
label label=7
expr pos=1:5:6
  ASG type=1
    NAME type=1 level=1 index=0
    ICON type=1 value=-5
expr pos=-
  LABEL type=1 label=4294967295
expr pos=-
  SCON type=7 bytes="a\x00b"
expr pos=-
  ICON type=2 value=4294967295
expr pos=-
  ICON type=10 value=-32768
expr pos=-
  FCON type=3 text="1.5e3"
expr pos=-
  LCON type=1 text="12345678901"
expr pos=-
  FIELD type=1 byte=-1 member=2 class=8
expr pos=-
  SWITCH type=1 number=4
    ICON type=1 value=0
    DEFAULT type=1
      LABEL type=1 label=9
expr pos=-
  CALL type=1 extra=1 eht=2
    NAME type=1 level=0 index=1
    ICON type=1 value=7
expr pos=-
  UCALL type=1 eht=3
    NAME type=1 level=4294967295 index=77
expr pos=-
  EPVAL type=1 weight=4294967295
    EPVAL type=1 weight=12
      ICON type=1 value=1
expr pos=-
  SKIP type=1 number=3
expr pos=-
  DDNODE type=1 id=1 locale=2 flags=255
    VREG type=1 reg=-7
expr pos=-
  ICALL type=1 name="f"
    UICALL type=1 name="g"
expr pos=-
  MCALL type=1 name="m"
    UMCALL type=1 name=""
expr pos=-
  CBRANCH type=1
    NEQ type=1
      NAME type=3 level=4 index=2
      ICON type=1 value=0
    LABEL type=1 label=7
expr pos=-
  MINUS type=1
    UMINUS type=1
      NOP type=1
    NAME type=2 level=2 index=1
pragma kind=7 args=["y"]
eht count=2
eht_entry first=1 kind=1 third=2 count=0
expr pos=-
  NOP type=0
eht_entry first=3 kind=2 third=0 count=1
eht_catches items=[("int", 3, 1)]
PLUS type=1
  ICON type=1 value=9
  ICON type=1 value=10
type 9 pointer pointee=2 size=16 align=16
file_name name="ignored.c"
block_end pos=-
func_end pos=1:9:1
drop123 sym=0 a=-1 b=2 c=3 pos=-
drop125 pos=-
end
.init
init sym=1
  ICON type=2 value=3
  PLUS type=1
    ICON type=1 value=4
    ICON type=1 value=-1
  ENDINIT type=1
init sym=2
  ENDINIT type=0
end
.strings
string_list id=1 strings=["-O2", "--x"]
string_list id=4 strings=[]
end
.types
type 1 int explicit_sign=1 size=16 align=16
type 2 uint size=16 align=16
type 3 double size=32 align=16
type 7 pointer pointee=1 size=16 align=16
type 8 csu name="S" size=32 align=16 has_fields=1
type 8 open list=7
type 8 field member=10 name="a" type=1 offset=0
type 8 field member=20 name="b" type=1 offset=16
type 8 close list=7
type 10 typedef name="myint" base=1 size=16 align=16
end
.files
file_name name="t.c"
file_name name="u.h"
end
.symbols
symbol name="f" type=1 pos=1:1:1
symbol name="g" size=32 value=4294967295 class=200 quals=-2 type=7 type2=2 align=65535 defoff=1234 opt=99 pos=2:7:9 ref=3
symbol name="h" type=10
end
)";

// Every type code, a member of every attribute list of a class, and
// types that name types defined after them.
inline const char* const EVERY_TYPE = R"(type 1 bool size=8 align=8 flag1=1
type 2 char explicit_sign=1 size=8 align=8
type 7 int size=16 align=16 flag2=1
type 8 uint size=16 align=16
type 13 float size=32 align=16
type 14 double size=64 align=32
type 15 ldouble size=80 align=16
type 16 fixed byte1=-3 byte2=200 base=7 size=16 align=16
type 17 typedef name="myint" base=7 size=16 align=16 pos=1:3:4
type 18 pointer pointee=7 size=16 align=16
type 19 reference target=7 size=24 align=8
type 20 qualified base=7 quals=3 size=16 align=16
type 21 array elem=7 count=10 size=160 align=16 vector=0
type 22 array elem=13 count=4 size=128 align=16 vector=1
type 23 csu csu=2 name="C" size=32 align=16 has_fields=1 flag3=1 mangled=1
type 23 open list=7
type 23 field member=1 name="m" type=7 byte1=5 offset=16 byte2=6 width=3 is_bitfield=1 pos=1:5:9
type 23 close list=7
type 24 ptrmem pointee=7 class=23 size=32 align=16
type 25 function ret=7 byte=9
type 25 open list=0
type 25 param type=7 flag=1 number=4 name="a"
type 25 param type=18 name="b"
type 25 close list=0
type 26 enum name="E" size=16 align=16 base=7
type 26 open list=1
type 26 enumerator name="A" value=-1 pos=1:7:5
type 26 close list=1
type 27 enum name="U" size=16 align=16 base=8
type 27 open list=1
type 27 enumerator name="Z" value=4294967295
type 27 close list=1
type 28 complex size=999 align=999 part=13
type 29 void
type 30 csu_lists csu=1 name="K" size=64 align=16 extra=77 list2=1 list3=1 list4=1 list5=1 list6=1 list7=1 list8=1 list9=1 list0=1
type 31 pointer pointee=30 size=16 align=16
type 30 open list=2
type 30 base_class type=23 offset=-8 byte=1 flag=1
type 30 close list=2
type 30 open list=3
type 30 member3 type=0 byte=2
type 30 close list=3
type 30 open list=4
type 30 member4 name="n4" type=7
type 30 close list=4
type 30 open list=5
type 30 member5 type=7
type 30 close list=5
type 30 open list=6
type 30 member6 type=31
type 30 close list=6
type 30 open list=7
type 30 field member=9 name="f1" type=7 offset=0
type 30 field member=9 name="f2" type=31 offset=16
type 30 close list=7
type 30 open list=8
type 30 member8 name="n8" type=7 byte=3
type 30 close list=8
type 30 open list=9
type 30 member9 name="n9" type=7 byte=4 number=-5 flag1=1 flag3=1
type 30 close list=9
type 30 open list=0
type 30 param type=7 name="p0"
type 30 close list=0
)";

// A unit whose type section is `types`, with a global "tN" of type N for
// each N in `ids`.
inline std::string unit_with_types(int version, const std::string& types,
                                   const std::vector<int>& ids) {
    std::string text = "header version=" + std::to_string(version) +
                       " target=700 name=\"t.c\"\nlabel label=1\nend\n.files\nfile_name "
                       "name=\"t.c\"\nend\n.types\n" +
                       types + "end\n.symbols\n";
    for (int id : ids)
        text += "symbol name=\"t" + std::to_string(id) + "\" type=" + std::to_string(id) + "\n";
    return text + "end\n";
}
// The types above with a global "tN" of type N for each.
inline const std::vector<int> EVERY_TYPE_IDS = {1,  2,  7,  8,  13, 14, 15, 16, 17, 18, 19,
                                                20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30};
inline std::string every_type_unit() { return unit_with_types(-71, EVERY_TYPE, EVERY_TYPE_IDS); }

}  // namespace reader_test
