// Opening the output unit so that no run loses data: the output may not be
// the input file (under any name), it is truncated only once that is known,
// and a run that fails after opening it removes what it wrote.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// The identity of a file: its device and inode.
struct FILE_ID {
    dev_t device = 0;
    ino_t inode = 0;
    bool regular = false;  // a regular file (not a device, pipe or terminal)
    bool operator==(const FILE_ID& o) const { return device == o.device && inode == o.inode; }
};

// The identity of an open stream; nullopt when it cannot be had.
std::optional<FILE_ID> file_id(std::FILE* stream);

// A file that the run reads and the output must not overwrite.
struct KEPT_FILE {
    std::string role;  // "input", "profile data file"
    std::string name;
    FILE_ID id;
};

// The identity of a file by name; nullopt when it cannot be had.
std::optional<FILE_ID> file_id(const std::string& name);

// Opens `name` for writing the output unit.  When it is one of the regular
// files in `kept` (through a link or another spelling of its name) nothing
// is opened or changed and *reason says so; on other failures *reason is
// the system's.  A regular file is truncated once opened; *id is its
// identity.
std::FILE* open_output_file(const std::string& name, const std::vector<KEPT_FILE>& kept,
                            std::optional<FILE_ID>* id, std::string* reason);

// Removes the output file `name` when it is still the regular file `id`
// (devices and files replaced meanwhile are left alone).
void remove_output_file(const std::string& name, const std::optional<FILE_ID>& id);
