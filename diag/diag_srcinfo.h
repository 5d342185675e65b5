// A position in the user's source that a diagnostic may carry.  The header
// prints it when present; the profiler's own diagnostics never have one, but
// the framework keeps the slot so that copies and comparisons stay complete.
#pragma once

#include <memory>
#include <string>

class DIAG_SRCINFO {
public:
    virtual ~DIAG_SRCINFO() = default;
    virtual const char* file_name() const = 0;
    virtual unsigned line() const = 0;
    virtual unsigned column() const = 0;
    virtual bool approximate() const = 0;
    virtual bool equals(const DIAG_SRCINFO& other) const = 0;
    virtual std::unique_ptr<DIAG_SRCINFO> copy() const = 0;
};

// The plain holder: an owned file name, line, column and approximate flag.
class DIAG_SRCINFO_DATA final : public DIAG_SRCINFO {
public:
    DIAG_SRCINFO_DATA(std::string file, unsigned line, unsigned column, bool approximate = false)
        : file_(std::move(file)), line_(line), column_(column), approximate_(approximate) {}

    const char* file_name() const override { return file_.c_str(); }
    unsigned line() const override { return line_; }
    unsigned column() const override { return column_; }
    bool approximate() const override { return approximate_; }
    bool equals(const DIAG_SRCINFO& other) const override {
        return file_ == other.file_name() && line_ == other.line() && column_ == other.column() &&
               approximate_ == other.approximate();
    }
    std::unique_ptr<DIAG_SRCINFO> copy() const override {
        return std::make_unique<DIAG_SRCINFO_DATA>(*this);
    }

private:
    std::string file_;
    unsigned line_;
    unsigned column_;
    bool approximate_;
};
