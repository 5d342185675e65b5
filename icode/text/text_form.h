// The text form of I-code: a readable, lossless rendering of a unit, one
// record per line, and the assembler that turns it back into the same bytes.
//
//   header magic="!<icode>\n" version=-71 target=700 name="t.c" reserved=0
//   func_begin pos=1:1:1 sym=0          ; f
//   expr pos=1:2:3
//     ASG type=7                        ; int
//       NAME type=7 level=2 index=0     ; x
//       ICON type=7 value=1             ; int
//   func_end pos=-
//   end
//   .types
//   type 7 int explicit_sign=0 size=16 align=16 flag1=0 flag2=0
//   end
//
// Records are written as their keyword and name=value fields, in any order;
// a field left out is 0, the empty string, the empty list or no position.
// Node records are written as the opcode name; type records as "type", the
// type id and the type code's name.  "end" is the end record, "raw" writes
// hexadecimal bytes as they stand, and the markers .init, .strings, .types,
// .files and .symbols set the header's section offsets to the place where
// they stand (an offset given in the header line wins).  "len=N" on a record
// writes N as its payload length whatever the payload is, so that damaged
// units can be built.  A ";" starts a comment; indentation is ignored.
#pragma once

#include <iosfwd>
#include <string>

namespace icode_text {

// Prints the text form of a unit.  Returns true when every byte was decoded;
// false when the unit is damaged, with a message in *error (the text printed
// still holds every byte, undecodable ones as raw bytes).
bool disassemble(const std::string& unit, std::ostream& out, std::string* error);

// Assembles text into unit bytes.  On failure returns false with
// "FILE:LINE: message" in *error.
bool assemble(const std::string& text, const std::string& file_name, std::string& unit,
              std::string* error);

}  // namespace icode_text
