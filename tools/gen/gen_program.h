// Generator of valid I-code units made of structured functions, for the
// closed-loop tests and as the source of large benchmark units.
//
// Every function takes 0 to 3 int parameters, copies each into a local of
// the same name first, and returns an int.  Bodies mix assignments (plain,
// compound, ++/--, on int, unsigned, long, array elements and struct
// fields), if/else on compound conditions (&&, ||, !, ?: inside
// conditions), bounded loops (while and do-while on a dedicated counter),
// switches with and without a default and with cases sharing a target,
// ?: in assigned values, early returns, unreachable code after jumps and
// returns, and calls.  A function calls only functions of lower index, at
// most two call sites and never inside a loop, so every run ends.  The last
// function is "main" (two parameters) and its paths depend on them.
//
// The same options give the same text, byte for byte.
#pragma once

#include <cstdint>
#include <string>

namespace gen {

struct GEN_OPTIONS {
    uint64_t seed = 1;
    int functions = 4;  // including main
    int size = 12;      // statements per function, nested ones included
    // Percentage of ?: that sit in an arm of another ?: (evaluated only on
    // that arm); the closed-loop checks leave those out of the ?: property.
    int nested_quest_percent = 5;
    std::string unit_name;  // default "gen_SEED.c"
};

// Appends the unit in the I-code text form to out.
void generate_text(const GEN_OPTIONS& options, std::string& out);

}  // namespace gen
