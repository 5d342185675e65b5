// The diagnostic framework: the base class every diagnostic derives from,
// the shared printing steps, and the helper that raising code uses to name
// its own location.
//
// Raising code constructs a diagnostic on the stack with its location and
// arguments and emits it at once:
//
//     DIAG::trelv_warn_no_succ(TRELV_HERE, func, block).emit();
#pragma once

#include <cstddef>
#include <memory>
#include <tuple>

#include "diag/diag_desc.h"
#include "diag/diag_settings.h"
#include "diag/diag_srcinfo.h"

// Base name of a source path, so internal diagnostics show "prof_common.cpp"
// whatever folder the build compiled it from.
constexpr const char* trelv_base_name(const char* path) {
    const char* base = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\') base = p + 1;
    return base;
}

// The raising file and line, as the first two constructor arguments.
#define TRELV_HERE trelv_base_name(__FILE__), static_cast<unsigned>(__LINE__)

class DIAGNOSTIC {
public:
    DIAGNOSTIC(const DIAG_DESC& desc, const char* raise_file, unsigned raise_line);
    DIAGNOSTIC(const DIAGNOSTIC& other);
    DIAGNOSTIC& operator=(const DIAGNOSTIC&) = delete;

    virtual ~DIAGNOSTIC();
    // A heap copy of the same class and arguments, starting on a fresh line.
    virtual DIAGNOSTIC* clone() const = 0;
    // Header, text, end of line; returns the number of characters printed.
    virtual int emit() = 0;
    virtual bool bool_query() const;
    // Same code and equal source positions.
    virtual bool same_as(const DIAGNOSTIC& other) const;
    virtual void notify();
    // Descriptor and source position on the standard output stream.
    virtual void dump() const;

    const DIAG_DESC& desc() const { return *desc_; }
    const char* raise_file() const { return raise_file_; }
    unsigned raise_line() const { return raise_line_; }
    int columns_left() const { return cols_left_; }
    const DIAG_SRCINFO* source() const { return source_.get(); }
    void set_source(std::unique_ptr<DIAG_SRCINFO> source) { source_ = std::move(source); }

    // False when the severity is suppressed or its switch is off; an
    // invisible diagnostic prints nothing and is not counted.
    bool visible() const;

    int print_header();
    int print_text(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
    void end_line();

protected:
    void reset_columns();

private:
    std::FILE* stream() const;
    int put_text(const char* text, std::size_t len);
    void continuation_line();

    const DIAG_DESC* desc_;
    int cols_left_;
    std::unique_ptr<DIAG_SRCINFO> source_;
    const char* raise_file_;
    unsigned raise_line_;
};

namespace DIAG {

// Base of every catalogue class: keeps the arguments in table order and
// prints them with the descriptor's message format.  D supplies the static
// descriptor `desc`; internal classes override emit with their own format.
template <class D, class... A>
class DIAG_ARGS : public DIAGNOSTIC {
public:
    DIAG_ARGS(const char* raise_file, unsigned raise_line, A... args)
        : DIAGNOSTIC(D::desc, raise_file, raise_line), args_(args...) {}

    DIAGNOSTIC* clone() const override {
        D* copy = new D(static_cast<const D&>(*this));
        copy->reset_columns();
        return copy;
    }

    int emit() override { return emit_with(D::desc.std_msg); }

    template <std::size_t I>
    auto arg() const {
        return std::get<I>(args_);
    }

protected:
    int emit_with(const char* fmt) {
        // Debug traces are raised on hot paths and mostly hidden: skip the
        // formatting then (end_line still closes the line as it would).
        if (!visible()) {
            end_line();
            return 0;
        }
        int n = print_header();
        if constexpr (sizeof...(A) == 0) {
            // No conversions in the format: print it as plain text.
            n += print_text("%s", fmt);
        } else {
            n += std::apply([&](A... a) { return print_text(fmt, a...); }, args_);
        }
        end_line();
        return n;
    }

private:
    std::tuple<A...> args_;
};

}  // namespace DIAG
