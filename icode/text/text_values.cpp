// The text form's value syntax: numbers, strings and lists printed and parsed.
#include "icode/text/text_values.h"

#include <cctype>
#include <cstdio>
#include <limits>

namespace icode_text {

using icode::ENC;

std::string quote(const std::string& bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\r': out += "\\r"; break;
            default:
                if (c < 32 || c >= 127) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\x%02x", c);
                    out += buf;
                } else {
                    out += char(c);
                }
        }
    }
    return out + "\"";
}

static std::string format_pos(const icode::POS_VALUE& p) {
    if (p.file == 0) return "-";
    return std::to_string(p.file) + ":" + std::to_string(p.line) + ":" + std::to_string(p.column);
}

std::string format_value(const icode::FIELD_DESC& d, const icode::FIELD_VALUE& v) {
    switch (d.enc) {
        case ENC::STRING:
        case ENC::COUNTED:
        case ENC::REST: return quote(v.text);
        case ENC::POS: return format_pos(v.pos);
        case ENC::STRINGS: {
            std::string out = "[";
            for (size_t i = 0; i < v.strings.size(); ++i)
                out += (i ? ", " : "") + quote(v.strings[i]);
            return out + "]";
        }
        case ENC::U16S: {
            std::string out = "[";
            for (size_t i = 0; i < v.shorts.size(); ++i)
                out += (i ? ", " : "") + std::to_string(v.shorts[i]);
            return out + "]";
        }
        case ENC::CATCHES: {
            std::string out = "[";
            for (size_t i = 0; i < v.catches.size(); ++i) {
                const auto& c = v.catches[i];
                out += (i ? ", (" : "(") + quote(c.text) + ", " + std::to_string(c.number) + ", " +
                       std::to_string(c.flag) + ")";
            }
            return out + "]";
        }
        default: return std::to_string(v.num);
    }
}

bool value_in_range(ENC enc, int64_t v) {
    switch (enc) {
        case ENC::U8:
        case ENC::BOOL: return v >= 0 && v <= 255;
        case ENC::I8: return v >= -128 && v <= 255;
        case ENC::I16: return v >= -32768 && v <= 65535;
        case ENC::U32:
        case ENC::ULEB:
        case ENC::TYPEREF: return v >= 0 && v <= 0xFFFFFFFFLL;
        case ENC::SLEB:
            return v >= std::numeric_limits<int32_t>::min() &&
                   v <= std::numeric_limits<int32_t>::max();
        case ENC::SIGNED_BY_TYPE:
            return v >= std::numeric_limits<int32_t>::min() && v <= 0xFFFFFFFFLL;
        default: return true;
    }
}

void LINE_SCANNER::skip_blanks() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r')) ++i_;
}

bool LINE_SCANNER::at_end() {
    skip_blanks();
    return i_ >= s_.size();
}

bool LINE_SCANNER::word(std::string& out) {
    skip_blanks();
    size_t b = i_;
    while (i_ < s_.size() &&
           (std::isalnum((unsigned char)s_[i_]) || s_[i_] == '_' || s_[i_] == '.' || s_[i_] == '-'))
        ++i_;
    out = s_.substr(b, i_ - b);
    return !out.empty();
}

bool LINE_SCANNER::consume(char c) {
    skip_blanks();
    if (i_ < s_.size() && s_[i_] == c) {
        ++i_;
        return true;
    }
    return false;
}

bool LINE_SCANNER::peek(char c) {
    skip_blanks();
    return i_ < s_.size() && s_[i_] == c;
}

bool LINE_SCANNER::number(int64_t& out) {
    skip_blanks();
    size_t b = i_;
    bool neg = false;
    if (i_ < s_.size() && (s_[i_] == '-' || s_[i_] == '+')) neg = s_[i_++] == '-';
    if (i_ >= s_.size() || !std::isdigit((unsigned char)s_[i_])) {
        i_ = b;
        return false;
    }
    uint64_t v = 0;
    int base = 10;
    if (s_[i_] == '0' && i_ + 1 < s_.size() && (s_[i_ + 1] == 'x' || s_[i_ + 1] == 'X')) {
        base = 16;
        i_ += 2;
    }
    size_t digits = 0;
    while (i_ < s_.size()) {
        int c = (unsigned char)s_[i_], d;
        if (std::isdigit(c))
            d = c - '0';
        else if (base == 16 && std::isxdigit(c))
            d = std::tolower(c) - 'a' + 10;
        else
            break;
        if (v > (uint64_t(1) << 40)) {  // far beyond every encoding: reject
            i_ = b;
            return false;
        }
        v = v * base + d;
        ++i_;
        ++digits;
    }
    if (!digits || (i_ < s_.size() && (std::isalnum((unsigned char)s_[i_]) || s_[i_] == '_'))) {
        i_ = b;
        return false;
    }
    out = neg ? -int64_t(v) : int64_t(v);
    return true;
}

bool LINE_SCANNER::string(std::string& out, std::string* error) {
    skip_blanks();
    if (i_ >= s_.size() || s_[i_] != '"') {
        if (error) *error = "expected a string in double quotes";
        return false;
    }
    ++i_;
    out.clear();
    while (i_ < s_.size() && s_[i_] != '"') {
        char c = s_[i_++];
        if (c != '\\') {
            out += c;
            continue;
        }
        if (i_ >= s_.size()) break;
        char e = s_[i_++];
        switch (e) {
            case 'n': out += '\n'; break;
            case 't': out += '\t'; break;
            case 'r': out += '\r'; break;
            case '0': out += '\0'; break;
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case 'x': {
                if (i_ + 2 > s_.size() || !std::isxdigit((unsigned char)s_[i_]) ||
                    !std::isxdigit((unsigned char)s_[i_ + 1])) {
                    if (error) *error = "\\x needs two hexadecimal digits";
                    return false;
                }
                out += char(std::stoi(s_.substr(i_, 2), nullptr, 16));
                i_ += 2;
                break;
            }
            default:
                if (error) *error = std::string("unknown escape \\") + e;
                return false;
        }
    }
    if (i_ >= s_.size()) {
        if (error) *error = "string without closing quote";
        return false;
    }
    ++i_;
    return true;
}

bool LINE_SCANNER::value(const icode::FIELD_DESC& d, icode::FIELD_VALUE& v, std::string* error) {
    auto fail = [&](const std::string& m) {
        if (error) *error = m;
        return false;
    };
    switch (d.enc) {
        case ENC::STRING:
        case ENC::COUNTED:
        case ENC::REST:
            if (!string(v.text, error)) return false;
            if (d.enc == ENC::STRING && v.text.find('\0') != std::string::npos)
                return fail("a string field cannot hold a NUL byte");
            return true;
        case ENC::POS: {
            if (consume('-')) {
                v.pos = icode::POS_VALUE{};
                return true;
            }
            int64_t f, l, c;
            if (!number(f) || !consume(':') || !number(l) || !consume(':') || !number(c))
                return fail("expected a position FILE:LINE:COLUMN or -");
            if (f <= 0 || !value_in_range(ENC::ULEB, f) || !value_in_range(ENC::ULEB, l) ||
                !value_in_range(ENC::ULEB, c))
                return fail("position out of range (the file index starts at 1)");
            v.pos = icode::POS_VALUE{uint32_t(f), uint32_t(l), uint32_t(c)};
            return true;
        }
        case ENC::STRINGS:
        case ENC::U16S:
        case ENC::CATCHES: {
            if (!consume('[')) return fail("expected a list in [ ]");
            bool first = true;
            while (!consume(']')) {
                if (!first && !consume(',')) return fail("expected ',' or ']' in list");
                first = false;
                if (d.enc == ENC::STRINGS) {
                    std::string s;
                    if (!string(s, error)) return false;
                    if (s.find('\0') != std::string::npos)
                        return fail("a string cannot hold a NUL byte");
                    v.strings.push_back(s);
                } else if (d.enc == ENC::U16S) {
                    int64_t n;
                    if (!number(n) || n < 0 || n > 65535) return fail("expected a 16-bit value");
                    v.shorts.push_back(uint16_t(n));
                } else {
                    icode::CATCH_ITEM item;
                    int64_t n, fl;
                    if (!consume('(') || !string(item.text, error) || !consume(',') || !number(n) ||
                        !consume(',') || !number(fl) || !consume(')'))
                        return fail("expected a catch item (\"text\", number, flag)");
                    if (!value_in_range(ENC::ULEB, n) || !value_in_range(ENC::BOOL, fl))
                        return fail("catch item value out of range");
                    item.number = uint32_t(n);
                    item.flag = uint8_t(fl);
                    v.catches.push_back(item);
                }
            }
            return true;
        }
        default: {
            int64_t n;
            if (!number(n)) return fail(std::string("expected a number for ") + d.name);
            if (!value_in_range(d.enc, n))
                return fail(std::string("value out of range for ") + d.name);
            v.num = n;
            return true;
        }
    }
}

}  // namespace icode_text
