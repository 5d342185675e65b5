// Units in text form for the writer tests, each covering a part of the
// format: every type code, every statement and leaf form, and an older
// version with the records the reader drops.
#pragma once

namespace writer_test {

// Every type code, with a global symbol naming each type that matters.
// Type 30 is named by nothing and must not be written; list 3 names a type
// that the writer leaves out.
inline const char* const TYPES_UNIT = R"(
header version=-71 target=700 name="types.c"
end
.types
type 1 void
type 2 char size=8 align=8
type 3 int explicit_sign=1 size=16 align=16 flag1=1
type 4 uint size=16 align=16 flag2=1
type 5 llong size=64 align=16
type 6 ullong size=64 align=16
type 7 bool size=8 align=8
type 8 float size=32 align=16
type 9 ldouble size=64 align=16
type 10 fixed byte1=-3 byte2=7 base=3 size=16 align=16
type 11 complex size=64 align=16 part=8
type 12 pointer pointee=2 size=16 align=16
type 13 reference target=3 size=16 align=16
type 14 qualified base=3 quals=3 size=16 align=16
type 15 typedef name="myint" base=14 size=16 align=16 flag1=1 pos=1:3:9
type 16 array elem=3 count=4 size=64 align=16 flag2=1 vector=1
type 17 csu csu=2 name="Base" size=16 align=16 has_fields=1 flag3=1 mangled=1 pos=1:5:7
type 17 open list=7
type 17 field member=1 name="b" type=3 byte1=1 offset=0 byte2=2 width=3 is_bitfield=1 flag1=1 flag2=1 pos=1:5:20
type 17 close list=7
type 18 csu_lists csu=2 name="Derived" size=64 align=16 extra=9 list2=1 list3=1 list4=1 list5=1 list6=1 list7=1 list8=1 list9=1 list0=1 pos=1:6:7
type 19 pointer pointee=18 size=16 align=16
type 18 open list=2
type 18 base_class type=17 offset=-16 byte=1 flag=1
type 18 close list=2
type 18 open list=3
type 18 member3 type=12 byte=4
type 18 close list=3
type 18 open list=4
type 18 member4 name="alias" type=15
type 18 close list=4
type 18 open list=5
type 18 member5 type=5
type 18 close list=5
type 18 open list=6
type 18 member6 type=13
type 18 close list=6
type 18 open list=7
type 18 field member=1 name="next" type=19 offset=16 pos=1:6:30
type 18 close list=7
type 18 open list=8
type 18 member8 name="m8" type=6 byte=5
type 18 close list=8
type 18 open list=9
type 18 member9 name="m9" type=7 byte=1 number=-7 flag1=1 flag4=1
type 18 close list=9
type 18 open list=0
type 18 param type=9 flag=1 number=2 name="p0"
type 18 close list=0
type 20 ptrmem pointee=3 class=18 size=16 align=16
type 21 function ret=3 flag1=1 byte=9 flag3=1
type 21 open list=0
type 21 param type=12 flag=1 number=1 name="s"
type 21 close list=0
type 22 function ret=1
type 22 open list=0
type 22 close list=0
type 23 enum name="color" size=16 align=16 base=3 pos=2:8:6
type 23 open list=1
type 23 enumerator name="red" value=-1 pos=2:8:14
type 23 enumerator name="blue" value=70000
type 23 close list=1
type 24 enum name="flags" size=16 align=16 base=4 mangled=1
type 24 open list=1
type 24 enumerator name="all" value=4294967295
type 24 close list=1
type 25 enum name="empty" size=16 align=16 base=3
type 25 open list=1
type 25 close list=1
type 26 csu csu=1 name="U" size=16 align=16
type 27 double size=32 align=16
type 28 pointer pointee=21 size=16 align=16
type 29 array elem=27 count=2 size=64 align=16
type 30 uchar size=8 align=8
end
.files
file_name name="types.c"
file_name name="colors.h"
end
.symbols
symbol name="v_fixed" type=10 pos=1:10:1
symbol name="v_complex" type=11 type2=29
symbol name="v_typedef" type=15 pos=-
symbol name="v_vector" type=16
symbol name="v_derived" type=18
symbol name="v_ptrmem" type=20
symbol name="f" class=4 type=21 pos=1:12:5
symbol name="g" type=22
symbol name="v_color" type=23 pos=2:9:1
symbol name="v_flags" type=24
symbol name="v_empty" type=25
symbol name="v_union" type=26
symbol name="v_ptr" type=28
symbol name="v_ll" type=5
symbol name="v_ull" type=6
end
)";

// Every statement record and every leaf form of the node records, local
// symbols at three depths, a global symbol met between functions, texts
// inside and outside functions, exception tables of the three entry kinds,
// string lists and initializers.  File 3 is named by nothing.
inline const char* const STATEMENTS_UNIT = R"(
header version=-71 target=700 name="stmts.c"
text_at text="#ident top" pos=2:1:1
func_begin pos=1:10:1 sym=1
symbol name="a" size=16 class=1 type=3 align=16 pragmas=2 pos=1:10:12
pragma kind=2 args=["sect"]
pragma kind=52 args=[]
body_begin pos=1:11:1
symbol name="d" size=32 class=2 type=5 align=16 pos=1:12:5
block_begin pos=1:13:1
symbol name="inner" size=16 class=2 type=3 align=16 pragmas=1
pragma kind=37 args=["4", "x"]
mark pos=1:14:1
block_end pos=1:15:1
label label=7
text text="asm nop"
text_at text="line" pos=1:16:2
pragma kind=37 args=["8"]
expr pos=1:17:3
  CBRANCH type=3
    LT type=3
      NAME type=5 level=2 index=1
      NAME type=3 level=1 index=0
    LABEL type=3 label=7
expr pos=1:18:3
  ASG type=3
    NAME type=3 level=0 index=0
    PLUS type=3
      ICON type=3 value=-5
      ICON type=4 value=4294967295
expr pos=-
  CALL type=3 extra=2 eht=1
    NAME type=6 level=0 index=1
    COMMA type=3
      SCON type=7 bytes="hi\x00there"
      COMMA type=3
        FCON type=5 text="1.5"
        LCON type=9 text="123456789012"
expr pos=1:19:1
  UCALL type=3 eht=0
    ICALL type=3 name="ind"
      NAME type=3 level=4294967295 index=0
expr pos=1:20:1
  SWITCH type=3 number=3
    FIELD type=3 byte=-1 member=2 class=8
    COMMA type=3
      EPVAL type=3 weight=17
        UICALL type=3 name="u"
      DDNODE type=3 id=1 locale=2 flags=3
        MCALL type=3 name="m"
          UMCALL type=3 name="um"
expr pos=1:21:1
  COMMA type=3
    SKIP type=3 number=5
    COMMA type=3
      VREG type=3 reg=-3
      NEQ type=3
        NAME type=5 level=3 index=2
        FCON type=5 text="0.0"
eht count=3
eht_entry first=1 kind=1 third=2 count=0
expr pos=1:1:1
  ICON type=3 value=1
eht_entry first=3 kind=2 third=4 count=2
eht_catches items=[("int", 5, 1), ("...", 6, 0)]
eht_entry first=7 kind=0 third=8 count=0
func_end pos=1:30:1
symbol name="late" size=16 class=4 type=3 align=16 pos=2:40:1
text text="between"
func_begin pos=1:50:1 sym=3
body_begin pos=-
expr pos=1:51:1
  RETURN type=3
    NAME type=3 level=0 index=4
    NOP type=1
func_end pos=1:52:1
end
.init
init sym=0
  ICON type=3 value=42
  ENDINIT type=3
init sym=2
  ICON type=3 value=-1
  ICON type=4 value=65535
  ENDINIT type=3
end
.strings
string_list id=1 strings=["--gen_profile_info", "x y"]
string_list id=9 strings=[]
end
.types
type 1 void
type 2 char size=8 align=8
type 3 int size=16 align=16
type 4 uint size=16 align=16
type 5 double size=32 align=16
type 6 function ret=3
type 6 open list=0
type 6 close list=0
type 7 array elem=2 count=9 size=72 align=8
type 8 csu csu=0 name="S" size=32 align=16 has_fields=1
type 8 open list=7
type 8 field member=1 name="p" type=3 offset=0
type 8 field member=2 name="q" type=3 offset=16
type 8 close list=7
type 9 llong size=64 align=16
end
.files
file_name name="stmts.c"
file_name name="inc.h"
file_name name="unused.h"
end
.symbols
symbol name="g" size=16 class=4 type=3 align=16 pragmas=3 pos=1:1:5
pragma kind=23 args=[]
pragma kind=59 args=["dead"]
pragma kind=52 args=["a", "b"]
symbol name="f" class=4 type=6 defoff=99 pos=1:10:1
symbol name="h" size=32 class=3 type=7 align=8 opt=5 pos=1:2:2
symbol name="k" class=3 type=6 pos=1:50:1
end
)";

// A unit of an older version with every record the reader drops, a tree at
// the top level and a type record inside the function stream.
inline const char* const OLD_UNIT = R"(
header version=-84 target=700 name="old.c"
func_begin pos=1:1:1 sym=0
drop38 a=1 b=2 c=3 d=4 e=5 s=-6
body_begin pos=1:2:1
drop45 a=1 b=2 c=3 d=4 e=5
drop58 a=1 b=2 c=3
drop59 a=1 b=2 values=[1, 65535]
drop64 a=-1
drop108 a=1 sub=0 b=2 c=-3 type=2 d=4 e=5
drop108 a=1 sub=2 b=2
drop124 a=1 level=2 index=0 b=3
opaque pos=1:3:3 bytes="\x01\x02"
ICON type=2 value=1
type 5 pointer pointee=2 size=16 align=16
file_name name="ignored.h"
expr pos=1:4:1
  UAND type=5
    NAME type=2 level=0 index=1
func_end pos=1:9:1
drop123 sym=0 a=-1 b=2 c=3 pos=1:10:1
drop125 pos=1:11:1
end
.types
type 1 void
type 2 int size=16 align=16
type 3 function ret=2
type 3 open list=0
type 3 close list=0
type 4 csu csu=0 name="T" size=16 align=16 has_fields=1 flag3=1
type 4 open list=7
type 4 field member=1 name="t" type=2 byte1=4 offset=0 width=1 is_bitfield=1 flag1=1 flag2=1
type 4 close list=7
type 6 array elem=2 count=3 size=48 align=16 flag1=1
end
.files
file_name name="old.c"
end
.symbols
symbol name="main" class=4 type=3 pos=1:1:1
symbol name="x" size=16 class=4 type=2 align=16 pragmas=1
pragma kind=59 args=[]
symbol name="t" type=4
symbol name="arr" type=6
end
)";

}  // namespace writer_test
