// File names as profile records and functions are matched by them.
//
// A profile record names its function by source path and function name, and
// the path may be written differently from the unit name the I-code carries
// (relative, through "..", through a symbolic link).  Both sides are turned
// into the directory the system reports after changing into it, so that any
// spelling of the same file gives the same text.
#pragma once

#include <string>

// Every part of a split name (directory, base name, extension) is cut to this
// many characters.
constexpr std::size_t PROFILE_PATH_PART_MAX = 499;

// The absolute, normalised form of `name`.  A name that starts with neither a
// drive letter and ":", nor two backslashes, nor "/" is taken relative to the
// current directory; the result is then normalised as normalised_path does.
std::string canonical_path(const std::string& name);

// Normalises a name without making it absolute first: the directory part (up
// to and including the last "\", "/" or ":") is replaced by the directory the
// system reports after changing into it, or by the current directory when it
// cannot be entered; then "/" and the base name follow when the base name is
// not empty, and "." and the extension when that is not empty.  The current
// directory is restored afterwards.
std::string normalised_path(const std::string& name);

// normalised_path, remembered per argument for the rest of the run: data
// files repeat the same source path on every record.  The run never changes
// its current directory for good, so a remembered result stays right; code
// that does change it (tests) resets the memory.
const std::string& cached_normalised_path(const std::string& name);
// canonical_path, remembered the same way: the unit name is looked up for
// every function and the source file for every row of a coverage table.
const std::string& cached_canonical_path(const std::string& name);
// Forgets both memories.
void reset_normalised_path_cache();

// The key under which a function's records are looked for:
// canonical_path(unit name), "/", function name.
std::string profile_key(const std::string& unit_name, const std::string& function_name);
