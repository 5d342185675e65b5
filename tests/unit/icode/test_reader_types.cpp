// The reader's types: every type code with its fields and attribute lists,
// completion, the fatal "TP>> internal error" cases of the type map, and
// the field layouts of older format versions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_reader_recording.h"

namespace {

using namespace reader_test;

// A unit whose type section is `types` and which has one global symbol
// "tN" of type N for each id in `ids`, so that tests can reach the types.
std::string unit_with_types(int version, const std::string& types, const std::vector<int>& ids) {
    std::string text = "header version=" + std::to_string(version) + " target=700 name=\"t.c\"\n";
    text += "label label=1\nend\n.files\nfile_name name=\"t.c\"\nend\n.types\n" + types + "end\n";
    text += ".symbols\n";
    for (int id : ids)
        text += "symbol name=\"t" + std::to_string(id) + "\" type=" + std::to_string(id) + "\n";
    return text + "end\n";
}

const TYPE* type_of(const READER_RUN& run, int id) {
    const SYMTAB* s = run.client.symbol("t" + std::to_string(id));
    return s ? s->type() : nullptr;
}

TEST(ReaderTypes, EveryTypeCode) {
    const std::string types = R"(
type 1 bool explicit_sign=0 size=8 align=8 flag1=1 flag2=0
type 2 char explicit_sign=1 size=8 align=8
type 3 uchar size=8 align=8
type 4 wchar size=16 align=16
type 5 short size=16 align=16
type 6 ushort size=16 align=16
type 7 int size=16 align=16 flag2=1
type 8 uint size=16 align=16
type 9 long size=32 align=16
type 10 ulong size=32 align=16
type 11 llong size=64 align=16
type 12 ullong size=64 align=16
type 13 float size=32 align=16
type 14 double size=64 align=32
type 15 ldouble size=80 align=16
type 16 fixed byte1=-3 byte2=200 base=7 size=16 align=16
type 17 typedef name="myint" base=7 size=16 align=16 flag1=1 flag2=1 pos=1:3:4
type 18 pointer pointee=7 size=16 align=16
type 19 reference target=7 size=24 align=8
type 20 qualified base=7 quals=3 size=16 align=16
type 21 array elem=7 count=10 size=160 align=16 flag1=1 vector=0
type 22 array elem=13 count=4 size=128 align=16 flag2=1 vector=1
type 23 csu csu=2 name="C" size=32 align=16 has_fields=1 flag1=1 flag3=1 mangled=1 pos=1:5:6
type 23 open list=7
type 23 field member=1 name="m" type=7 byte1=5 offset=16 byte2=6 width=3 is_bitfield=1 flag1=1 pos=1:5:9
type 23 close list=7
type 24 ptrmem pointee=7 class=23 size=32 align=16
type 25 function ret=7 flag1=1 flag2=0 byte=9 flag3=1
type 25 open list=0
type 25 param type=7 flag=1 number=4 name="a"
type 25 param type=18 name="b"
type 25 close list=0
type 26 enum name="E" size=16 align=16 base=7 pos=1:7:1
type 26 open list=1
type 26 enumerator name="A" value=-1 pos=1:7:5
type 26 enumerator name="B" value=5
type 26 close list=1
type 27 enum name="U" size=16 align=16 base=8
type 27 open list=1
type 27 enumerator name="Z" value=4294967295
type 27 close list=1
type 28 complex size=999 align=999 part=13
type 29 void
type 30 csu csu=0 name="Empty" size=0 align=8 has_fields=0
)";
    std::vector<int> ids;
    for (int i = 1; i <= 30; ++i) ids.push_back(i);
    READER_RUN run;
    run.read(unit_with_types(-71, types, ids));
    run.expect_clean();

    const char* const printed[] = {
        "bool ",  "char ",           "unsigned char ", "wchar_t ",
        "short ", "unsigned short ", "int ",           "unsigned ",
        "long ",  "unsigned long ",  "long long ",     "unsigned long long ",
        "float ", "double ",         "long double ",
    };
    for (int id = 1; id <= 15; ++id) {
        const TYPE* t = type_of(run, id);
        ASSERT_NE(t, nullptr) << id;
        EXPECT_EQ(print_type(t), printed[id - 1]) << id;
        EXPECT_EQ(t->kind(), id <= 12 ? TypeKind::INTEGRAL : TypeKind::FLOATING) << id;
    }
    // Codes 0-9, 50 and 51 are integral sub-kinds 0-11.
    EXPECT_EQ(type_of(run, 11)->integral_part().sub_kind, IntegralKind::LLONG);
    EXPECT_EQ(type_of(run, 12)->integral_part().sub_kind, IntegralKind::ULLONG);
    EXPECT_TRUE(type_of(run, 1)->integral_part().flag1);
    EXPECT_TRUE(type_of(run, 2)->integral_part().explicit_sign);
    EXPECT_TRUE(type_of(run, 7)->integral_part().flag2);
    EXPECT_EQ(type_of(run, 14)->size(), 64u);
    EXPECT_EQ(type_of(run, 14)->alignment(), 32u);
    EXPECT_EQ(type_of(run, 15)->size(), 80u);

    const TYPE* fixed = type_of(run, 16);
    EXPECT_EQ(fixed->kind(), TypeKind::FIXED_POINT);
    EXPECT_EQ(fixed->fixed_point_part().number_a, -3);
    EXPECT_EQ(fixed->fixed_point_part().number_b, 200);
    EXPECT_EQ(fixed->fixed_point_part().base, type_of(run, 7));

    const TYPE* td = type_of(run, 17);
    EXPECT_EQ(print_type(td), "myint ");
    EXPECT_EQ(td->typedef_part().base, type_of(run, 7));
    EXPECT_TRUE(td->typedef_part().flag1 && td->typedef_part().flag2);
    EXPECT_EQ(show_pos(td->position()), "t.c:3:4");

    EXPECT_EQ(print_type(type_of(run, 18)), "int *");
    EXPECT_EQ(print_type(type_of(run, 19)), "int &");
    EXPECT_EQ(type_of(run, 19)->size(), 24u);
    EXPECT_EQ(print_type(type_of(run, 20)), "const volatile int ");
    EXPECT_EQ(print_type(type_of(run, 21)), "int [10]");
    EXPECT_TRUE(type_of(run, 21)->array_part().flag1);
    EXPECT_FALSE(type_of(run, 21)->array_part().vector);
    EXPECT_EQ(print_type(type_of(run, 22)), "<[float [4]]>");
    EXPECT_TRUE(type_of(run, 22)->array_part().flag2);

    const TYPE* c = type_of(run, 23);
    EXPECT_EQ(print_type(c), "class C ");
    EXPECT_EQ(c->kind(), TypeKind::CLASS);
    EXPECT_TRUE(c->mangled());
    EXPECT_TRUE(c->csu_part().flag1);
    EXPECT_TRUE(c->csu_part().version_flag);
    EXPECT_TRUE(c->csu_part().has_fields);
    ASSERT_EQ(c->csu_part().fields.size(), 1u);
    const FieldMember& m = c->csu_part().fields[0];
    EXPECT_EQ(m.name, "m");
    EXPECT_EQ(m.type, type_of(run, 7));
    EXPECT_EQ(m.byte1, 5);
    EXPECT_EQ(m.offset, 16);
    EXPECT_EQ(m.byte2, 6);
    EXPECT_EQ(m.bit_width, 3u);
    EXPECT_TRUE(m.is_bit_field);
    EXPECT_TRUE(m.flag1);
    EXPECT_FALSE(m.flag2);
    EXPECT_EQ(show_pos(m.position), "t.c:5:9");

    EXPECT_EQ(print_type(type_of(run, 24)), "int C::*");

    const TYPE* fn = type_of(run, 25);
    EXPECT_EQ(print_type(fn), "int (int, int *)");
    const FunctionPart& fp = fn->function_part();
    EXPECT_TRUE(fp.flag1);
    EXPECT_FALSE(fp.flag2);
    EXPECT_EQ(fp.byte, 9);
    EXPECT_TRUE(fp.flag3);
    ASSERT_EQ(fp.params.size(), 2u);
    EXPECT_TRUE(fp.params[0].flag);
    EXPECT_EQ(fp.params[0].number, 4u);
    EXPECT_EQ(fp.params[0].name, "a");
    EXPECT_EQ(fp.params[1].name, "b");

    // Enumerator values take the encoding and extension of the underlying
    // type: signed int -1, unsigned 4294967295.
    const TYPE* e = type_of(run, 26);
    EXPECT_EQ(print_type(e), "enum E ");
    ASSERT_EQ(e->enum_part().enumerators.size(), 2u);
    EXPECT_EQ(e->enum_part().enumerators[0].value, -1);
    EXPECT_EQ(show_pos(e->enum_part().enumerators[0].position), "t.c:7:5");
    EXPECT_EQ(e->enum_part().enumerators[1].value, 5);
    EXPECT_FALSE(e->mangled());
    ASSERT_EQ(type_of(run, 27)->enum_part().enumerators.size(), 1u);
    EXPECT_EQ(type_of(run, 27)->enum_part().enumerators[0].value, 4294967295LL);

    // The complex type is built from its part; the record's size and
    // alignment are ignored.
    const TYPE* cx = type_of(run, 28);
    EXPECT_EQ(print_type(cx), "cfloat ");
    EXPECT_EQ(cx->size(), 64u);
    EXPECT_EQ(cx->alignment(), 16u);

    EXPECT_EQ(print_type(type_of(run, 29)), "void ");
    EXPECT_EQ(print_type(type_of(run, 30)), "struct Empty ");
}

TEST(ReaderTypes, EveryMemberListOfAClass) {
    // Code 25 flags its lists in the order 2..9, 0; each list is opened,
    // filled and closed.  A member may refer to its own class.
    const std::string types = R"(
type 1 int size=16 align=16
type 2 csu csu=0 name="B" size=16 align=16 has_fields=0
type 3 csu_lists csu=1 name="K" size=64 align=16 extra=77 list2=1 list3=1 list4=1 list5=1 list6=1 list7=1 list8=1 list9=1 list0=1
type 4 pointer pointee=3 size=16 align=16
type 3 open list=2
type 3 base_class type=2 offset=-8 byte=1 flag=1
type 3 close list=2
type 3 open list=3
type 3 member3 type=0 byte=2
type 3 close list=3
type 3 open list=4
type 3 member4 name="n4" type=1
type 3 close list=4
type 3 open list=5
type 3 member5 type=1
type 3 close list=5
type 3 open list=6
type 3 member6 type=4
type 3 close list=6
type 3 open list=7
type 3 field member=9 name="f1" type=1 offset=0
type 3 field member=9 name="f2" type=4 offset=16
type 3 close list=7
type 3 open list=8
type 3 member8 name="n8" type=1 byte=3
type 3 close list=8
type 3 open list=9
type 3 member9 name="n9" type=1 byte=4 number=-5 flag1=1 flag3=1
type 3 close list=9
type 3 open list=0
type 3 param type=1 name="p0"
type 3 close list=0
)";
    READER_RUN run;
    run.read(unit_with_types(-71, types, {3}));
    run.expect_clean();
    const TYPE* k = type_of(run, 3);
    ASSERT_NE(k, nullptr);
    EXPECT_EQ(print_type(k), "union K ");
    const CsuPart& p = k->csu_part();
    EXPECT_EQ(p.class_number, 77u);
    EXPECT_TRUE(p.has_fields);
    ASSERT_EQ(p.bases.size(), 1u);
    EXPECT_EQ(print_type(p.bases[0].type), "struct B ");
    EXPECT_EQ(p.bases[0].offset, -8);
    EXPECT_EQ(p.bases[0].byte, 1);
    EXPECT_TRUE(p.bases[0].flag);
    ASSERT_EQ(p.list3.size(), 1u);
    EXPECT_EQ(p.list3[0].type, nullptr);
    EXPECT_EQ(p.list3[0].byte, 2);
    ASSERT_EQ(p.list4.size(), 1u);
    EXPECT_EQ(p.list4[0].name, "n4");
    ASSERT_EQ(p.list5.size(), 1u);
    EXPECT_EQ(print_type(p.list5[0].type), "int ");
    ASSERT_EQ(p.list6.size(), 1u);
    EXPECT_EQ(print_type(p.list6[0].type), "union K *");
    ASSERT_EQ(p.list8.size(), 1u);
    EXPECT_EQ(p.list8[0].byte, 3);
    ASSERT_EQ(p.list9.size(), 1u);
    EXPECT_EQ(p.list9[0].number, -5);
    EXPECT_EQ(p.list9[0].flags, (std::array<bool, 4>{true, false, true, false}));
    ASSERT_EQ(p.list0.size(), 1u);
    EXPECT_EQ(p.list0[0].name, "p0");
    // Completion renumbered the fields 1, 2 whatever the file said.
    ASSERT_EQ(p.fields.size(), 2u);
    EXPECT_EQ(p.fields[0].number, 1u);
    EXPECT_EQ(p.fields[1].number, 2u);
    EXPECT_EQ(p.fields[1].type->pointer_part().pointee, k);
}

TEST(ReaderTypes, SelfReferenceAndEmptyLists) {
    // S's main record precedes the pointer to it and its field list; an
    // enum without enumerators still has its list opened and closed; a
    // function without parameters too.
    const std::string types = R"(
type 1 csu name="S" size=16 align=16 has_fields=1
type 2 pointer pointee=1 size=16 align=16
type 1 open list=7
type 1 field member=1 name="next" type=2
type 1 close list=7
type 3 int size=16 align=16
type 4 enum name="E" size=16 align=16 base=3
type 4 open list=1
type 4 close list=1
type 5 function ret=3
type 5 open list=0
type 5 close list=0
)";
    READER_RUN run;
    run.read(unit_with_types(-71, types, {1, 4, 5}));
    run.expect_clean();
    const TYPE* s = type_of(run, 1);
    ASSERT_EQ(s->csu_part().fields.size(), 1u);
    EXPECT_EQ(s->csu_part().fields[0].type->pointer_part().pointee, s);
    EXPECT_TRUE(type_of(run, 4)->enum_part().enumerators.empty());
    EXPECT_EQ(print_type(type_of(run, 5)), "int ()");
}

TEST(ReaderTypes, TypesInTheFunctionStream) {
    // A type record in the function stream has the same payload and joins
    // the same map; trees after it may use it.
    READER_RUN run;
    run.read(R"(header version=-71 target=700 name="t.c"
type 50 double size=32 align=16
expr pos=-
  LT type=1
    ICON type=50 value=1
    ICON type=1 value=2
end
.types
type 1 int size=16 align=16
end
)");
    run.expect_clean();
    EXPECT_EQ(run.client.calls.back(), "expr FLT(ICON 1, ICON 2) -");
}

TEST(ReaderTypes, FieldNodesFindFieldsByTheirNewNumbers) {
    READER_RUN run;
    run.read(R"(header version=-71 target=700 name="t.c"
expr pos=-
  STREF type=1
    FIELD type=1 member=1 class=2
    FIELD type=1 member=3 class=2
end
.types
type 1 int size=16 align=16
type 2 csu name="P" size=48 align=16 has_fields=1
type 2 open list=7
type 2 field member=30 name="x" type=1
type 2 field member=20 name="y" type=1
type 2 field member=10 name="z" type=1
type 2 close list=7
end
)");
    run.expect_clean();
    EXPECT_EQ(run.client.calls.back(), "expr STREF(FIELD 0/1:x, FIELD 0/3:z) -");
}

struct FATAL_CASE {
    const char* what;
    const char* types;
    const char* message;
};

TEST(ReaderTypes, EachTypeMapErrorEndsTheRun) {
    const FATAL_CASE cases[] = {
        {"pointee defined later",
         "type 1 pointer pointee=2 size=16 align=16\ntype 2 int size=16 align=16\n",
         "invalid forward reference"},
        {"field of an undefined type",
         "type 1 csu name=\"S\" has_fields=1\ntype 1 open list=7\ntype 1 field type=9\n",
         "invalid forward reference"},
        {"member of an undefined owner", "type 5 param type=0 name=\"a\"\n",
         "invalid forward reference"},
        {"open list of an undefined owner", "type 5 open list=0\n", "invalid forward reference"},
        {"two pointers with one id",
         "type 1 int size=16 align=16\ntype 3 pointer pointee=1\ntype 3 pointer pointee=1\n",
         "read type twice"},
        {"a class id reused", "type 2 csu name=\"A\"\ntype 2 void\n", "read type twice"},
        {"a list for a type without lists", "type 1 int size=16 align=16\ntype 1 open list=0\n",
         "Unexpected type attribute"},
        {"a struct without lists is complete at once",
         "type 1 csu name=\"S\" has_fields=0\ntype 1 open list=7\n", "Unexpected type attribute"},
        {"a list after the last one closed",
         "type 1 function ret=0\ntype 1 open list=0\ntype 1 close list=0\ntype 1 open list=0\n",
         "Unexpected type attribute"},
        {"parameters opened twice",
         "type 1 int size=16 align=16\ntype 2 function ret=1\ntype 2 open list=0\n"
         "type 2 param type=1 name=\"a\"\ntype 2 open list=0\n",
         "Duplicate function parameters"},
        {"parameters before their list",
         "type 1 int size=16 align=16\ntype 2 function ret=1\ntype 2 param type=1\n"
         "type 2 open list=0\n",
         "Duplicate function parameters"},
        {"enumerators opened twice",
         "type 1 int size=16 align=16\ntype 2 enum name=\"E\" base=1\ntype 2 open list=1\n"
         "type 2 enumerator name=\"A\" value=1\ntype 2 open list=1\n",
         "Duplicate enumerator attributes"},
        {"fields opened again",
         "type 1 int size=16 align=16\ntype 2 csu_lists name=\"K\" list2=1 list7=1\n"
         "type 2 open list=7\ntype 2 field type=1\ntype 2 close list=7\ntype 2 open list=7\n",
         "Duplicate CSU attributes"},
        {"class list 0 opened again",
         "type 1 int size=16 align=16\ntype 2 csu_lists name=\"K\" list0=1 list5=1\n"
         "type 2 open list=0\ntype 2 param type=1\ntype 2 close list=0\ntype 2 open list=0\n",
         "Duplicate CSU attributes"},
    };
    for (const FATAL_CASE& c : cases) {
        SCOPED_TRACE(c.what);
        READER_RUN run;
        run.read(unit_with_types(-71, c.types, {}));
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, std::string("TP>> internal error: ") + c.message + "\n");
        // The error stops the type section: no symbol was read.
        EXPECT_TRUE(run.client.calls_of("symbol").empty());
    }
}

TEST(ReaderTypes, UndefinedTypesOfSymbolsAndNodesAreForwardReferences) {
    const char* const texts[] = {
        "header version=-71 target=700 name=\"t\"\nsymbol name=\"s\" type=4\nend\n",
        "header version=-71 target=700 name=\"t\"\nsymbol name=\"s\" type2=4\nend\n",
        "header version=-71 target=700 name=\"t\"\nexpr pos=-\n  NOP type=4\nend\n",
        "header version=-71 target=700 name=\"t\"\nexpr pos=-\n  FIELD type=0 class=4\nend\n",
        "header version=-71 target=700 name=\"t\"\ndrop108 a=0 sub=0 type=4\nend\n",
    };
    for (const char* text : texts) {
        READER_RUN run;
        run.read(text);
        EXPECT_EQ(run.status, 1) << text;
        EXPECT_EQ(run.err, "TP>> internal error: invalid forward reference\n") << text;
        EXPECT_TRUE(run.client.trees.empty());
    }
}

// ---- older versions ----------------------------------------------------------

TEST(ReaderTypes, FieldLayoutsOfOlderVersions) {
    // -86 orders the field tail is-bit-field, width, one flag; -85 has
    // width, is-bit-field and two flags; the byte after the offset exists
    // from -74 on.  Each unit ends with a label that must still be read.
    struct CASE {
        int version;
        const char* field;
        uint8_t byte2;
        bool flag2;
    };
    const CASE cases[] = {
        {-86, "is_bitfield=1 width=5 flag1=1", 0, false},
        {-85, "width=5 is_bitfield=1 flag1=1 flag2=1", 0, true},
        {-75, "width=5 is_bitfield=1 flag1=1 flag2=1", 0, true},
        {-74, "byte2=7 width=5 is_bitfield=1 flag1=1 flag2=1", 7, true},
        {-71, "byte2=7 width=5 is_bitfield=1 flag1=1 flag2=1", 7, true},
    };
    for (const CASE& c : cases) {
        SCOPED_TRACE(c.version);
        std::string types = std::string("type 1 int size=16 align=16\n") +
                            "type 2 csu name=\"S\" size=16 align=16 has_fields=1\n"
                            "type 2 open list=7\n"
                            "type 2 field member=1 name=\"f\" type=1 byte1=3 offset=-2 " +
                            c.field + " pos=1:2:3\ntype 2 close list=7\n";
        READER_RUN run;
        run.read(unit_with_types(c.version, types, {2}));
        run.expect_clean();
        EXPECT_EQ(run.client.calls_of("label"), std::vector<std::string>{"label 1"});
        const TYPE* s = type_of(run, 2);
        ASSERT_NE(s, nullptr);
        ASSERT_EQ(s->csu_part().fields.size(), 1u);
        const FieldMember& f = s->csu_part().fields[0];
        EXPECT_EQ(f.byte1, 3);
        EXPECT_EQ(f.offset, -2);
        EXPECT_EQ(f.byte2, c.byte2);
        EXPECT_EQ(f.bit_width, 5u);
        EXPECT_TRUE(f.is_bit_field);
        EXPECT_TRUE(f.flag1);
        EXPECT_EQ(f.flag2, c.flag2);
        EXPECT_EQ(show_pos(f.position), "t.c:2:3");
    }
}

TEST(ReaderTypes, ArrayFlagsByVersion) {
    // The vector flag exists from -76 on; -75 and -74 carry one more flag
    // that is read and ignored.
    struct CASE {
        int version;
        const char* tail;
        bool vector;
    };
    const CASE cases[] = {
        {-86, "", false},
        {-77, "", false},
        {-76, "vector=1", true},
        {-75, "vector=1 ignored=1", true},
        {-74, "vector=0 ignored=1", false},
        {-73, "vector=1", true},
    };
    for (const CASE& c : cases) {
        SCOPED_TRACE(c.version);
        std::string types = std::string("type 1 float size=32 align=16\n") +
                            "type 2 array elem=1 count=4 size=128 align=16 flag1=1 " + c.tail +
                            "\n";
        READER_RUN run;
        run.read(unit_with_types(c.version, types, {2}));
        run.expect_clean();
        const TYPE* a = type_of(run, 2);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->array_part().vector, c.vector);
        EXPECT_TRUE(a->array_part().flag1);
        EXPECT_EQ(a->array_part().count, 4u);
        EXPECT_EQ(run.client.calls_of("label"), std::vector<std::string>{"label 1"});
    }
}

TEST(ReaderTypes, ClassVersionFlagExistsFromMinus84) {
    for (int version : {-85, -84}) {
        SCOPED_TRACE(version);
        std::string flag = version >= -84 ? " flag3=1" : "";
        std::string types = "type 1 csu name=\"S\" size=16 align=16" + flag + "\n" +
                            "type 2 csu_lists name=\"K\" size=16 align=16" + flag + "\n";
        READER_RUN run;
        run.read(unit_with_types(version, types, {1, 2}));
        run.expect_clean();
        EXPECT_EQ(type_of(run, 1)->csu_part().version_flag, version >= -84);
        EXPECT_EQ(type_of(run, 2)->csu_part().version_flag, version >= -84);
        EXPECT_EQ(run.client.calls_of("label"), std::vector<std::string>{"label 1"});
    }
}

TEST(ReaderTypes, MangledNameFlagBeforeMinus81ComesFromDemangling) {
    // Before -81 the flag is not in the record: a name is mangled when
    // demangling changes it.  From -81 on the record's flag is taken as it
    // is, whatever the name.
    struct CASE {
        int version;
        const char* flag;
        bool first, second;  // for "3Foo" and "Foo"
    };
    const CASE cases[] = {
        {-86, "", true, false},
        {-82, "", true, false},
        {-81, " mangled=0", false, false},
        {-71, " mangled=1", true, true},
    };
    for (const CASE& c : cases) {
        SCOPED_TRACE(c.version);
        std::string f = c.flag;
        std::string types =
            "type 1 int size=16 align=16\n"
            "type 2 enum name=\"3Foo\" base=1" +
            f + "\n" + "type 3 enum name=\"Foo\" base=1" + f + "\n" + "type 4 csu name=\"3Foo\"" +
            f + "\n" + "type 5 csu_lists name=\"Foo\"" + f + "\n";
        READER_RUN run;
        run.read(unit_with_types(c.version, types, {2, 3, 4, 5}));
        run.expect_clean();
        EXPECT_EQ(type_of(run, 2)->mangled(), c.first);
        EXPECT_EQ(type_of(run, 3)->mangled(), c.second);
        EXPECT_EQ(type_of(run, 4)->mangled(), c.first);
        EXPECT_EQ(type_of(run, 5)->mangled(), c.second);
        EXPECT_EQ(type_of(run, 2)->name(), "3Foo");
    }
}

}  // namespace
