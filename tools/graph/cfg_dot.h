// icode cfg UNIT --dot [--profile FILE...]: every function's control-flow
// graph as one Graphviz DOT picture.
//
// Layout (stable; tests parse it back):
//
//   digraph "UNIT NAME" {
//     node [shape=box, fontname="monospace"];
//     subgraph "cluster_0" {                  one cluster per function,
//       label="f\l4 blocks, 3 counters\lentry count 10\l";   numbered in
//       "0.L0" [label="L0  count 10  lines 3-4\lx = 1\l", peripheries=2];
//       "0.L0" -> "0.L1" [label="7\lT\lchord 1\l", fontcolor=blue];
//       "0.L3" -> "0.L1" [label="..", color=red, style=bold];
//       "0.L4" -> "0.L0" [label="exit\l", style=dashed, color=gray, constraint=false];
//     }
//   }
//
// Clusters are numbered in unit order; with --function NAME only that
// function's is drawn, under its number all the same.  Nodes are the
// blocks, named "<function number>.<block name>"; the label is the block
// name, its count when counts are known, the source lines its statements'
// positions cover ("line 3", "lines 3-4"; none without positions), then
// the infix text of each of its statements, one per line.  A block whose
// count is known to be 0 is filled in light red (style=filled).  The entry block is drawn with a
// double outline (peripheries=2), a block that returns with rounded corners
// (style=rounded); the one block of a function that is both gets both.
// Edges are the graph's edges in the order the graph holds them, which is
// the order counter numbering follows: after the count, the arms of a
// two-way condition say "T" (falling through: the condition as the source
// wrote it holds) or "F" (the jump); a chord carries "chord N" (its
// counter index) in blue; an edge back to a block of the same or a lower
// number is red and bold; the edges the graph adds from every block without
// successors back to the entry are dashed, gray and labelled "exit" (they
// carry counters like any other edge).
//
// Counts: without --profile there are none, and the picture shows the
// structure and the counter numbering.  With --profile the files are read
// for each function as the profiler reads them, and the counts are the
// propagated ones (what the profiler writes into the unit as weights; the
// entry block carries the entry count); a block whose count propagation
// could not settle has "?" after its count (not so in a function that was
// never entered: its counts are all 0), an unreachable block says so
// instead of a count, and a function without any data set says "no profile
// data".  Conditions are lowered in every
// function, as for instrumenting, so that the numbering shown is the one
// the counters follow.
#pragma once

#include <cstdio>
#include <iosfwd>
#include <string>
#include <vector>

// Text for a DOT double-quoted string: backslashes and double quotes are
// escaped, control characters shown as \xHH.
std::string dot_escape(const std::string& text);

struct DOT_OPTIONS {
    std::vector<std::string> profile_files;  // none: no counts
    std::string function;                    // only this function; "" for all
};

// Reads a unit from `unit` (which is closed) and writes its picture to
// `out`, with counts from the profile files unless there are none.  False,
// with a message in *error, when the file is not an I-code unit or has no
// function of the name asked for.
bool write_unit_dot(std::FILE* unit, const DOT_OPTIONS& options, std::ostream& out,
                    std::string* error);
// Every function, with counts from `profile_files`.
bool write_unit_dot(std::FILE* unit, const std::vector<std::string>& profile_files,
                    std::ostream& out, std::string* error);
