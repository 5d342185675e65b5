// printf's formatting for the executor's C library: the format string and
// the arguments read from the machine, the text made by the host's own
// snprintf one conversion at a time, so it is byte for byte the host's.
// Arguments arrive as 64-bit patterns extended by their types; a
// conversion cuts them to the size its length modifier names.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "tools/exec/exec_machine.h"

namespace exec {

namespace {

[[noreturn]] void fail(const std::string& message) { throw EXEC_ERROR(message); }

}  // namespace

// printf's conversions, from the argument args[first] on.
std::string EXEC_MACHINE::format(const std::string& who, const std::vector<uint64_t>& args,
                                 size_t first) {
    if (first == 0 || first > args.size()) fail(who + " without a format");
    std::string fmt = read_string(args[first - 1]);
    size_t next = first;
    auto arg = [&]() -> uint64_t {
        if (next >= args.size()) fail(who + ": the format wants more arguments than were given");
        return args[next++];
    };
    std::string out;
    for (size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] != '%') {
            out += fmt[i];
            continue;
        }
        // Flags, width and precision; a star takes its value from the
        // arguments and becomes digits, so the host formats the same text.
        std::string flags, width, precision;
        bool dot = false;
        ++i;
        while (i < fmt.size() && std::strchr("-+ #0", fmt[i])) flags += fmt[i++];
        if (i < fmt.size() && fmt[i] == '*') {
            int64_t w = int64_t(int(arg()));
            if (w < 0) flags += '-';
            width = std::to_string(w < 0 ? -w : w);
            ++i;
        } else {
            while (i < fmt.size() && std::isdigit((unsigned char)fmt[i])) width += fmt[i++];
        }
        if (i < fmt.size() && fmt[i] == '.') {
            dot = true;
            ++i;
            if (i < fmt.size() && fmt[i] == '*') {
                int p = int(arg());
                if (p < 0) dot = false;
                precision = std::to_string(p);
                ++i;
            } else {
                while (i < fmt.size() && std::isdigit((unsigned char)fmt[i])) precision += fmt[i++];
            }
        }
        if (width.size() > 3 || precision.size() > 3) fail(who + ": width or precision too large");
        std::string directive = "%" + flags + width + (dot ? "." + precision : "");
        std::string length;
        while (i < fmt.size() && std::strchr("hlzjtL", fmt[i])) length += fmt[i++];
        if (i >= fmt.size()) fail(who + ": the format ends inside a conversion");
        char conv = fmt[i];
        char buffer[512];
        uint64_t v;
        switch (conv) {
            case '%': out += '%'; continue;
            case 'd':
            case 'i': {
                v = arg();
                long long x = length == "hh"   ? (long long)(signed char)v
                              : length == "h"  ? (long long)(short)v
                              : length.empty() ? (long long)(int)v
                                               : (long long)v;
                std::snprintf(buffer, sizeof buffer, (directive + "lld").c_str(), x);
                break;
            }
            case 'u':
            case 'x':
            case 'X':
            case 'o': {
                v = arg();
                unsigned long long x = length == "hh"   ? (unsigned long long)(unsigned char)v
                                       : length == "h"  ? (unsigned long long)(unsigned short)v
                                       : length.empty() ? (unsigned long long)(unsigned)v
                                                        : (unsigned long long)v;
                std::snprintf(buffer, sizeof buffer, (directive + "ll" + conv).c_str(), x);
                break;
            }
            case 'c':
                std::snprintf(buffer, sizeof buffer, (directive + "c").c_str(),
                              int((unsigned char)arg()));
                if (buffer[0] == 0 || std::strlen(buffer) == 0) {  // %c of NUL writes a NUL
                    out += '\0';
                    continue;
                }
                break;
            case 's': {
                uint64_t at = arg();
                std::string s = at == 0 ? "(null)" : read_string(at);
                out += [&] {
                    std::string r;
                    int n = std::snprintf(nullptr, 0, (directive + "s").c_str(), s.c_str());
                    r.resize(size_t(n) + 1);
                    std::snprintf(&r[0], r.size(), (directive + "s").c_str(), s.c_str());
                    r.resize(size_t(n));
                    return r;
                }();
                continue;
            }
            case 'p': {
                v = arg();
                if (v == 0)
                    std::snprintf(buffer, sizeof buffer, (directive + "s").c_str(), "(nil)");
                else
                    std::snprintf(buffer, sizeof buffer, (directive + "p").c_str(),
                                  (void*)(uintptr_t)v);
                break;
            }
            case 'f':
            case 'F':
            case 'e':
            case 'E':
            case 'g':
            case 'G':
            case 'a':
            case 'A': {
                if (length == "L") fail(who + ": long double conversion");
                v = arg();  // a double: variadic floats are promoted
                double d;
                std::memcpy(&d, &v, 8);
                std::snprintf(buffer, sizeof buffer, (directive + conv).c_str(), d);
                break;
            }
            default: fail(who + ": conversion %" + std::string(1, conv) + " is not supported");
        }
        out += buffer;
    }
    return out;
}

uint64_t EXEC_MACHINE::call_address(uint64_t address, const std::vector<uint64_t>& args) {
    auto it = function_at_.find(address);
    if (it == function_at_.end())
        fail("call through " + std::to_string(address) + ", which is not a function's address");
    const EXEC_FUNCTION* f = unit_.find_function(it->second->name());
    if (!f) {
        uint64_t result = 0;
        if (!call_library(it->second->name(), args, result))
            fail("call of " + it->second->name() +
                 ", which has no body in the unit and is not in the C library");
        return result;
    }
    std::vector<ARG> a;
    for (uint64_t v : args) a.push_back({v, {}});
    return run(*f, a);
}

}  // namespace exec
