// A unit loaded for execution: the functions as flat statement lists, the
// global symbols with their initializers, and the counters arrays that an
// instrumenting run added.  The trees are the reader's own nodes, so a tree
// walker (the executor, the closed-loop checks) sees exactly what the file
// holds, EPVAL weights included.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "icode/node.h"
#include "icode/symtab.h"
#include "icode/type_pkg.h"

namespace exec {

// One statement of a function: a label definition or an expression tree.
struct EXEC_STMT {
    bool is_label = false;
    uint32_t label = 0;           // for a label statement
    icode::NODE* tree = nullptr;  // for an expression statement
};

struct EXEC_FUNCTION {
    std::string name;
    icode::SYMTAB* symbol = nullptr;
    std::vector<EXEC_STMT> stmts;
    // Every symbol read inside the function (parameters, locals), in file
    // order; the parameters are those of level 1 and storage class 1.
    std::vector<icode::SYMTAB*> locals;
    std::vector<icode::SYMTAB*> params;
    std::unordered_map<uint32_t, size_t> label_stmt;  // label number -> statement index
};

// A counters array: global "__prof_arr_<function>_<n>" carrying the
// function's name in its FUNC_TRELV_INFO attribute.
struct EXEC_COUNTERS {
    icode::SYMTAB* symbol = nullptr;
    std::string function;
};

class EXEC_UNIT {
public:
    EXEC_UNIT() = default;
    EXEC_UNIT(const EXEC_UNIT&) = delete;
    EXEC_UNIT& operator=(const EXEC_UNIT&) = delete;
    ~EXEC_UNIT();

    // Reads a unit file.  Returns false with a message when it cannot be
    // opened or is not a unit; a damaged unit ends the process as it does
    // for the profiler.
    bool load(const std::string& path, std::string* error);

    const std::string& unit_name() const { return unit_name_; }
    const std::vector<std::unique_ptr<EXEC_FUNCTION>>& functions() const { return functions_; }
    const EXEC_FUNCTION* find_function(const std::string& name) const;
    const std::vector<icode::SYMTAB*>& globals() const { return globals_; }
    std::vector<EXEC_COUNTERS> counters_arrays() const;

    // Owned storage, filled by the loading client.
    struct STORE;

private:
    friend class EXEC_LOADER;
    std::string unit_name_;
    icode::TYPE_PKG types_;
    std::vector<std::unique_ptr<icode::SYMTAB>> symbols_;
    std::vector<icode::SYMTAB*> globals_;
    std::vector<std::unique_ptr<EXEC_FUNCTION>> functions_;
    std::unordered_map<std::string, EXEC_FUNCTION*> by_name_;
};

// Type queries the executor needs, seeing through typedefs and qualifiers.
const icode::TYPE* plain_type(const icode::TYPE* type);
uint32_t size_in_bytes(const icode::TYPE* type);
bool is_pointer_like(const icode::TYPE* type);

}  // namespace exec
