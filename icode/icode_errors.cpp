// The fixed failure texts of the I-code reader and writer.
#include "icode/icode_errors.h"

#include <cstdio>

#include "diag/process_exit.h"

namespace icode {

namespace {
[[noreturn]] void stop(const char* text) {
    std::fputs(text, stdout);
    trelv_exit(1);
}
}  // namespace

void invalid_record() { stop("\nINTERNAL ERROR: Invalid I-code record, aborting\n"); }
void invalid_eht_record() { stop("\nINTERNAL ERROR: Invalid EHT record in I-code, aborting\n"); }
void write_buffer_exceeded() { stop(">> ICODE Buffer size exceeded and realloc failed\n"); }
void value_exceeds_short() { stop(">> Value exceeds size of short\n"); }

void symbol_not_in_table(const std::string& name) {
    std::printf(">> Symbol %s is not in the symbol table\n", name.c_str());
    trelv_exit(1);
}

}  // namespace icode
