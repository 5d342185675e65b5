// Named flag levels: "debug:profile" = 3 and the like, recorded from the
// values of --debug: and --disable: and read by the whole run.
#pragma once

#include <string>
#include <utility>
#include <vector>

// A table of {flag name, level}, kept sorted by name in byte order so that
// lookups can bisect.
class FLAG_LEVELS {
public:
    // The level of `name`, or 0 when it was never recorded.
    int level(const std::string& name) const;
    // Records `name` at `level`, replacing an earlier level.
    void set(const std::string& name, int level);
    std::size_t size() const { return entries_.size(); }
    void clear() { entries_.clear(); }

private:
    std::vector<std::pair<std::string, int>> entries_;
};

// The process-wide table and its reset (empties it).
FLAG_LEVELS& flag_levels();
void reset_flag_levels();

// A handle on one flag name.  Names are interned, so every key with the same
// text refers to the same copy, and that copy lives as long as the process.
class FLAG_KEY {
public:
    explicit FLAG_KEY(const char* name);
    const char* name() const { return name_; }

private:
    const char* name_;
};

// The keys the run reads.
const FLAG_KEY& debug_profile_key();   // "debug:profile": traces and visibility
const FLAG_KEY& disable_ft_ubr_key();  // "disable:ft_ubr": read by the profile manager
const FLAG_KEY& disable_canon_key();   // "disable:canon": recorded, never read

// The level of a key's name in the process-wide table; 0 when absent.
int flag_level(const FLAG_KEY& key);

// Records the flags of one option value under `prefix` ("debug" or
// "disable"): each comma-separated token is a name, at level 1, or
// name=level, where the level is read with automatic base (0x hexadecimal,
// leading 0 octal, else decimal).  A later value for the same name wins.
void add_flags(const char* prefix, const char* value);
