#!/bin/sh
# Writes, in the I-code text form, a unit "bench.c" of N functions of one
# realistic shape: a parameter copy, then S if/else statements on compound
# conditions, each joining before the next, and a return.
# Usage: gen_unit.sh N [S] > unit.txt
n=${1:-10000}
s=${2:-1}
awk -v n="$n" -v s="$s" 'BEGIN {
    print "header name=\"bench.c\""
    for (i = 0; i < n; i++) {
        line = i * (s * 6 + 4)
        print "func_begin pos=1:" (++line) ":1 sym=" i
        print "symbol name=\"p\" size=16 class=1 type=6 align=16"
        print "body_begin pos=-"
        print "symbol name=\"p\" size=16 class=2 type=6 align=16"
        print "symbol name=\"x\" size=16 class=2 type=6 align=16"
        print "expr pos=1:" (++line) ":3"
        print "  ASG type=6"
        print "    NAME type=6 level=2 index=0"
        print "    NAME type=6 level=1 index=0"
        for (k = 0; k < s; k++) {
            print "expr pos=1:" (++line) ":3"
            print "  CBRANCH type=6"
            print "    ANDAND type=6"
            print "      LT type=6"
            print "        NAME type=6 level=2 index=0"
            print "        ICON type=6 value=" (10 + k)
            print "      GT type=6"
            print "        NAME type=6 level=2 index=1"
            print "        ICON type=6 value=" k
            print "    LABEL type=6 label=" (2 * k + 1)
            print "expr pos=1:" (++line) ":5"
            print "  PLUSASG type=6"
            print "    NAME type=6 level=2 index=1"
            print "    ICON type=6 value=1"
            print "expr pos=1:" (++line) ":5"
            print "  BRANCH type=6"
            print "    LABEL type=6 label=" (2 * k + 2)
            print "label label=" (2 * k + 1)
            print "expr pos=1:" (++line) ":5"
            print "  ASG type=6"
            print "    NAME type=6 level=2 index=1"
            print "    ICON type=6 value=" (2 * k)
            print "label label=" (2 * k + 2)
        }
        print "expr pos=1:" (++line) ":3"
        print "  RETURN type=6"
        print "    NAME type=6 level=2 index=1"
        print "    NOP"
        print "func_end pos=-"
    }
    print "end"
    print ".types"
    print "type 6 int size=16 align=16"
    print "end"
    print ".files"
    print "file_name name=\"bench.c\""
    print "end"
    print ".symbols"
    for (i = 0; i < n; i++) print "symbol name=\"f" i "\" type=6"
    print "end"
}'
