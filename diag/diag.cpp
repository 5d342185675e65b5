// The diagnostic base class: visibility, the message header, wrapping of
// the text to the columns left, and the error count with its limit.
#include "diag/diag.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>

#include "diag/max_errors.h"
#include "diag/process_exit.h"
#include "diag/text_buffer.h"
#include "diag/wrap_rule.h"

DIAGNOSTIC::DIAGNOSTIC(const DIAG_DESC& desc, const char* raise_file, unsigned raise_line)
    : desc_(&desc),
      cols_left_(DIAG::settings().diag_cols),
      raise_file_(raise_file),
      raise_line_(raise_line) {}

DIAGNOSTIC::DIAGNOSTIC(const DIAGNOSTIC& other)
    : desc_(other.desc_),
      cols_left_(other.cols_left_),
      source_(other.source_ ? other.source_->copy() : nullptr),
      raise_file_(other.raise_file_),
      raise_line_(other.raise_line_) {}

DIAGNOSTIC::~DIAGNOSTIC() = default;

bool DIAGNOSTIC::bool_query() const { return false; }

bool DIAGNOSTIC::same_as(const DIAGNOSTIC& other) const {
    if (desc_->code != other.desc_->code) return false;
    if (!source_ || !other.source_) return !source_ && !other.source_;
    return source_->equals(*other.source_);
}

void DIAGNOSTIC::notify() {}

void DIAGNOSTIC::dump() const {
    std::FILE* f = DIAG::settings().out;
    std::fprintf(f, "Code : %d\n", static_cast<int>(desc_->code));
    std::fprintf(f, "std_msg : %s\n", desc_->std_msg ? desc_->std_msg : "(null)");
    std::fprintf(f, "vrb_msg : %s\n", desc_->vrb_msg ? desc_->vrb_msg : "(null)");
    if (source_) {
        std::fprintf(f, "File : %s\n", source_->file_name());
        std::fprintf(f, "Line : %d\n", static_cast<int>(source_->line()));
        std::fprintf(f, "Column: %d\n", static_cast<int>(source_->column()));
    }
}

void DIAGNOSTIC::reset_columns() { cols_left_ = DIAG::settings().diag_cols; }

bool DIAGNOSTIC::visible() const {
    const DIAG::SETTINGS& s = DIAG::settings();
    switch (desc_->severity) {
        case DIAG::SEV_SUPPRESSED: return false;
        case DIAG::SEV_ADVICE: return s.advice;
        case DIAG::SEV_DEBUG: return s.debug;
        case DIAG::SEV_REMARK: return s.remark;
        case DIAG::SEV_WARNING: return s.warning;
        default: return true;
    }
}

std::FILE* DIAGNOSTIC::stream() const {
    return desc_->severity <= DIAG::SEV_REMARK ? DIAG::settings().out : DIAG::settings().err;
}

int DIAGNOSTIC::print_header() {
    if (!visible()) return 0;
    DIAG::SETTINGS& s = DIAG::settings();
    // The header never wraps; the text that follows it does.
    const bool saved_wrap = s.wrap;
    s.wrap = false;
    const bool internal = desc_->internal != 0;
    int n = print_text("%*s", s.indent, "");
    if (internal) n += print_text("%s:%u:", raise_file_, raise_line_);
    if (source_)
        n += print_text("%s:%u:%u: ", source_->file_name(), source_->line(), source_->column());
    // Only internal diagnostics show their number and raising place: they
    // are the system's own faults, reported for its developers.
    if (internal)
        n += print_text("internal %s #%u: ", DIAG::severity_name(desc_->severity), desc_->code);
    else
        n += print_text("%s: ", DIAG::severity_name(desc_->severity));
    s.wrap = saved_wrap;
    return n;
}

int DIAGNOSTIC::print_text(const char* fmt, ...) {
    if (!visible()) return 0;
    std::vector<char>& buf = DIAG::text_buffer();
    va_list args;
    va_start(args, fmt);
    va_list measure;
    va_copy(measure, args);
    const int len = std::vsnprintf(nullptr, 0, fmt, measure);
    va_end(measure);
    if (len < 0) {
        va_end(args);
        return 0;
    }
    if (buf.size() < static_cast<std::size_t>(len) + 1)
        buf.resize(static_cast<std::size_t>(len) + 1);
    std::vsnprintf(buf.data(), buf.size(), fmt, args);
    va_end(args);
    if (DIAG::settings().wrap && cols_left_ == 0) continuation_line();
    put_text(buf.data(), static_cast<std::size_t>(len));
    return len;
}

void DIAGNOSTIC::continuation_line() {
    const DIAG::SETTINGS& s = DIAG::settings();
    std::fputc('\n', stream());
    cols_left_ = s.diag_cols - s.wrap_indent - s.indent;
    std::fprintf(stream(), "%*s", s.wrap_indent + s.indent, "");
}

int DIAGNOSTIC::put_text(const char* text, std::size_t len) {
    const DIAG::SETTINGS& s = DIAG::settings();
    const int full_width = s.diag_cols - s.wrap_indent - s.indent;
    std::FILE* f = stream();
    const char* p = text;
    const char* end = text + len;
    int printed = 0;
    while (p < end) {
        const std::size_t rest = static_cast<std::size_t>(end - p);
        long piece = DIAG::find_break(p, rest, cols_left_, s.wrap);
        if (piece < 0) {
            // Nothing fits here: move to a fresh line if the piece fits
            // there, else cut a word that is longer than any line.
            const long on_fresh_line = DIAG::find_break(p, rest, full_width, s.wrap);
            if (on_fresh_line >= 0) {
                continuation_line();
                piece = on_fresh_line;
            } else {
                piece = static_cast<long>(
                    std::min(static_cast<std::size_t>(std::max(cols_left_, 0)), rest));
            }
        }
        bool newline = false;
        if (const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(piece))) {
            piece = static_cast<const char*>(nl) - p;
            newline = true;
        }
        std::fwrite(p, 1, static_cast<std::size_t>(piece), f);
        cols_left_ -= static_cast<int>(piece);
        printed += static_cast<int>(piece);
        p += piece;
        if (newline) ++p;
        if (p >= end) break;
        while (p < end && DIAG::is_wrap_blank(*p)) ++p;
        if (p >= end) break;
        continuation_line();
    }
    return printed;
}

void DIAGNOSTIC::end_line() {
    DIAG::SETTINGS& s = DIAG::settings();
    if (cols_left_ == s.diag_cols) return;
    cols_left_ = s.diag_cols;
    std::fputc('\n', stream());
    if (desc_->severity >= DIAG::SEV_ERROR) ++s.error_count;
    if (desc_->severity == DIAG::SEV_FATAL) trelv_exit(1);
    if (s.error_count > s.error_limit) DIAG::max_errors(TRELV_HERE, s.error_limit).emit();
}
