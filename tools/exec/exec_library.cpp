// The small C library of the executor: what the programs that `icode cc`
// compiles call most - formatted output (see exec_format.cpp), strings and
// memory, the heap, character tests, mathematics, sorting and random
// numbers, variable arguments, exit and assert - done on the machine's
// memory.  Arguments arrive as 64-bit patterns extended by their types; a
// double is its bits.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "tools/exec/exec_machine.h"

namespace exec {

namespace {

constexpr uint64_t MAX_HEAP_BYTES = uint64_t(1) << 28;

[[noreturn]] void fail(const std::string& message) { throw EXEC_ERROR(message); }

}  // namespace

uint64_t EXEC_MACHINE::heap_allocate(uint64_t bytes) {
    if (bytes > MAX_HEAP_BYTES || heap_used_ + bytes > MAX_HEAP_BYTES) return 0;
    uint64_t at = heap_next_;
    heap_[at].assign(bytes, 0);
    heap_used_ += bytes;
    heap_next_ += (bytes + 15) / 16 * 16 + 16;  // a gap: running off a block is caught
    return at;
}

void EXEC_MACHINE::heap_free(uint64_t address, const char* who) {
    if (address == 0) return;
    auto it = heap_.find(address);
    if (it == heap_.end())
        fail(std::string(who) + " of " + std::to_string(address) +
             ", which is not a block that malloc returned");
    heap_used_ -= it->second.size();
    heap_.erase(it);
}

std::string EXEC_MACHINE::read_string(uint64_t address, uint64_t limit) {
    std::string s;
    for (uint64_t i = 0; i < limit; ++i) {
        char c = char(bytes_at(address + i, 1)[0]);
        if (c == 0) break;
        s += c;
    }
    return s;
}

std::ostream* EXEC_MACHINE::stream_of(uint64_t file) {
    for (const icode::SYMTAB* s : unit_.globals()) {
        if (s->name() != "stdout" && s->name() != "stderr") continue;
        auto it = globals_.find(s);
        if (it != globals_.end() && it->second == file) return s->name() == "stdout" ? out_ : err_;
    }
    fail("output to a stream other than stdout and stderr");
}

// qsort as the host library does it for arrays that fit its buffer: a
// top-down merge sort that takes from the left half while the comparison
// is not positive - so the program's comparison function is called in the
// same order, as often, as natively.
void EXEC_MACHINE::sort(uint64_t base, uint64_t count, uint64_t size, uint64_t compare) {
    if (count <= 1) return;
    uint64_t n1 = count / 2, n2 = count - n1;
    uint64_t b1 = base, b2 = base + n1 * size;
    sort(b1, n1, size, compare);
    sort(b2, n2, size, compare);
    std::vector<uint8_t> merged;
    merged.reserve(count * size);
    while (n1 > 0 && n2 > 0) {
        int r = int(call_address(compare, {b1, b2}));
        uint64_t& from = r <= 0 ? b1 : b2;
        const uint8_t* p = bytes_at(from, size);
        merged.insert(merged.end(), p, p + size);
        from += size;
        --(r <= 0 ? n1 : n2);
    }
    if (n1 > 0) {
        const uint8_t* p = bytes_at(b1, n1 * size);
        merged.insert(merged.end(), p, p + n1 * size);
    }
    std::memcpy(bytes_at(base, merged.size()), merged.data(), merged.size());
}

void EXEC_MACHINE::seed_random(uint32_t seed) {
    random_.assign(34, 0);
    random_[0] = seed ? seed : 1;
    for (int i = 1; i < 31; ++i) {
        int64_t v = (16807 * int64_t(int32_t(random_[i - 1]))) % 2147483647;
        if (v < 0) v += 2147483647;
        random_[i] = uint32_t(v);
    }
    for (int i = 31; i < 34; ++i) random_[i] = random_[i - 31];
    for (int i = 34; i < 344; ++i) next_random();  // the first 310 values are dropped
}

uint32_t EXEC_MACHINE::next_random() {
    if (random_.empty()) seed_random(1);
    uint32_t v = random_[random_.size() - 31] + random_[random_.size() - 3];
    random_.push_back(v);
    random_.erase(random_.begin());
    return v >> 1;
}

// A va_list holds the number of the frame whose arguments it walks (8
// bytes) and the index of the next one (8 bytes).
std::vector<uint64_t> EXEC_MACHINE::va_rest(uint64_t list) {
    uint64_t frame = 0, next = 0;
    const uint8_t* p = bytes_at(list, 16);
    for (int b = 0; b < 8; ++b) {
        frame |= uint64_t(p[b]) << (8 * b);
        next |= uint64_t(p[8 + b]) << (8 * b);
    }
    if (frame == 0 || frame > frames_.size()) fail("va_arg on a va_list that va_start did not set");
    const std::vector<uint64_t>& all = frames_[frame - 1].varargs;
    if (next > all.size()) fail("va_arg beyond the arguments given");
    return std::vector<uint64_t>(all.begin() + long(next), all.end());
}

bool EXEC_MACHINE::call_library(const std::string& name, const std::vector<uint64_t>& a,
                                uint64_t& result) {
    auto need = [&](size_t n) {
        if (a.size() < n) fail(name + " takes " + std::to_string(n) + " arguments");
    };
    auto write_to = [&](uint64_t to, const std::string& s, uint64_t room) {
        uint64_t n = std::min<uint64_t>(s.size(), room ? room - 1 : 0);
        if (room) {
            std::memcpy(bytes_at(to, n + 1), s.data(), n);
            bytes_at(to + n, 1)[0] = 0;
        }
    };
    result = 0;
    // Formatted and character output.
    if (name == "printf") {
        std::string s = format(name, a, 1);
        out_->write(s.data(), std::streamsize(s.size()));
        result = s.size();
    } else if (name == "fprintf") {
        need(2);
        std::ostream* o = stream_of(a[0]);
        std::string s = format(name, a, 2);
        o->write(s.data(), std::streamsize(s.size()));
        result = s.size();
    } else if (name == "sprintf") {
        need(2);
        std::string s = format(name, a, 2);
        write_to(a[0], s, s.size() + 1);
        result = s.size();
    } else if (name == "snprintf") {
        need(3);
        std::string s = format(name, a, 3);
        write_to(a[0], s, a[1]);
        result = s.size();
    } else if (name == "puts") {
        need(1);
        *out_ << read_string(a[0]) << '\n';
        result = 1;
    } else if (name == "fputs") {
        need(2);
        *stream_of(a[1]) << read_string(a[0]);
        result = 1;
    } else if (name == "putchar") {
        need(1);
        out_->put(char(a[0]));
        result = a[0] & 255;
    } else if (name == "fputc" || name == "putc") {
        need(2);
        stream_of(a[1])->put(char(a[0]));
        result = a[0] & 255;
    } else if (name == "fflush") {
        out_->flush();
    } else if (name == "getchar") {
        int c = in_->get();
        result = c == EOF ? uint64_t(int64_t(-1)) : uint64_t(c);
    }
    // Strings and memory.
    else if (name == "strlen") {
        need(1);
        result = read_string(a[0]).size();
    } else if (name == "strcmp" || name == "strncmp") {
        need(name == "strcmp" ? 2 : 3);
        uint64_t limit = name == "strcmp" ? UINT64_MAX : a[2];
        int r = 0;
        for (uint64_t i = 0; i < limit; ++i) {
            unsigned char x = bytes_at(a[0] + i, 1)[0], y = bytes_at(a[1] + i, 1)[0];
            if (x != y || x == 0) {
                r = x < y ? -1 : x > y ? 1 : 0;
                break;
            }
        }
        result = uint64_t(int64_t(r));
    } else if (name == "strcpy" || name == "strcat") {
        need(2);
        std::string s = read_string(a[1]);
        uint64_t to = name == "strcpy" ? a[0] : a[0] + read_string(a[0]).size();
        write_to(to, s, s.size() + 1);
        result = a[0];
    } else if (name == "strncpy") {
        need(3);
        std::string s = read_string(a[1], a[2]);
        for (uint64_t i = 0; i < a[2]; ++i)
            bytes_at(a[0] + i, 1)[0] = i < s.size() ? uint8_t(s[i]) : 0;
        result = a[0];
    } else if (name == "strncat") {
        need(3);
        std::string s = read_string(a[1], a[2]);
        write_to(a[0] + read_string(a[0]).size(), s, s.size() + 1);
        result = a[0];
    } else if (name == "strchr" || name == "strrchr") {
        need(2);
        std::string s = read_string(a[0]);
        char c = char(a[1]);
        size_t at = c == 0 ? s.size() : name == "strchr" ? s.find(c) : s.rfind(c);
        result = at == std::string::npos ? 0 : a[0] + at;
    } else if (name == "strspn" || name == "strcspn" || name == "strpbrk") {
        need(2);
        std::string s = read_string(a[0]), set = read_string(a[1]);
        size_t at = name == "strspn" ? s.find_first_not_of(set) : s.find_first_of(set);
        if (name == "strpbrk")
            result = at == std::string::npos ? 0 : a[0] + at;
        else
            result = at == std::string::npos ? s.size() : at;
    } else if (name == "strtok") {
        need(2);
        uint64_t at = a[0] ? a[0] : strtok_;
        if (at == 0) return true;
        std::string s = read_string(at), set = read_string(a[1]);
        size_t start = s.find_first_not_of(set);
        if (start == std::string::npos) {
            strtok_ = 0;
            return true;
        }
        size_t end = s.find_first_of(set, start);
        result = at + start;
        if (end == std::string::npos) {
            strtok_ = 0;
        } else {
            bytes_at(at + end, 1)[0] = 0;
            strtok_ = at + end + 1;
        }
    } else if (name == "memchr") {
        need(3);
        result = 0;
        for (uint64_t i = 0; i < a[2]; ++i)
            if (bytes_at(a[0] + i, 1)[0] == uint8_t(a[1])) {
                result = a[0] + i;
                break;
            }
    } else if (name == "__errno_location") {
        result = errno_;
    } else if (name == "perror") {
        need(1);
        out_->flush();
        std::string s = a[0] ? read_string(a[0]) : "";
        uint32_t v = 0;
        for (int b = 0; b < 4; ++b) v |= uint32_t(bytes_at(errno_ + b, 1)[0]) << (8 * b);
        int e = int(v);
        *err_ << (s.empty() ? "" : s + ": ") << std::strerror(e) << "\n";
    } else if (name == "atof" || name == "strtod") {
        need(name == "atof" ? 1 : 2);
        std::string s = read_string(a[0]);
        char* end = nullptr;
        double d = std::strtod(s.c_str(), &end);
        std::memcpy(&result, &d, 8);
        if (name == "strtod" && a[1]) {
            uint64_t at = a[0] + uint64_t(end - s.c_str());
            for (int b = 0; b < 8; ++b) bytes_at(a[1] + b, 1)[0] = uint8_t(at >> (8 * b));
        }
    } else if (name == "strstr") {
        need(2);
        size_t at = read_string(a[0]).find(read_string(a[1]));
        result = at == std::string::npos ? 0 : a[0] + at;
    } else if (name == "memset") {
        need(3);
        if (a[2]) std::memset(bytes_at(a[0], a[2]), int(a[1] & 255), a[2]);
        result = a[0];
    } else if (name == "memcpy" || name == "memmove") {
        need(3);
        if (a[2]) std::memmove(bytes_at(a[0], a[2]), bytes_at(a[1], a[2]), a[2]);
        result = a[0];
    } else if (name == "memcmp") {
        need(3);
        int r = a[2] ? std::memcmp(bytes_at(a[0], a[2]), bytes_at(a[1], a[2]), a[2]) : 0;
        result = uint64_t(int64_t(r < 0 ? -1 : r > 0 ? 1 : 0));
    }
    // The heap.
    else if (name == "__builtin_alloca" || name == "alloca") {
        // Stack space behind the caller's frame, given back when it returns.
        need(1);
        if (frames_.empty() || a[0] > MAX_HEAP_BYTES)
            fail("alloca of " + std::to_string(a[0]) + " bytes");
        result = allocate_global(a[0], 16);
    } else if (name == "malloc") {
        need(1);
        result = heap_allocate(a[0]);
    } else if (name == "calloc") {
        need(2);
        result = a[1] && a[0] > MAX_HEAP_BYTES / a[1] ? 0 : heap_allocate(a[0] * a[1]);
    } else if (name == "realloc") {
        need(2);
        result = heap_allocate(a[1]);
        if (result && a[0]) {
            auto it = heap_.find(a[0]);
            if (it == heap_.end())
                fail("realloc of " + std::to_string(a[0]) +
                     ", which is not a block that malloc returned");
            uint64_t n = std::min<uint64_t>(it->second.size(), a[1]);
            std::vector<uint8_t>& to = heap_[result];
            std::copy(it->second.begin(), it->second.begin() + long(n), to.begin());
            heap_free(a[0], "realloc");
        }
    } else if (name == "free") {
        need(1);
        heap_free(a[0], "free");
    }
    // Numbers and characters.
    else if (name == "abs") {
        need(1);
        int v = int(a[0]);
        result = uint64_t(int64_t(v < 0 ? 0 - unsigned(v) : unsigned(v)));
    } else if (name == "labs" || name == "llabs") {
        need(1);
        int64_t v = int64_t(a[0]);
        result = v < 0 ? 0 - uint64_t(v) : uint64_t(v);
    } else if (name == "atoi" || name == "atol" || name == "atoll") {
        need(1);
        long long v = std::atoll(read_string(a[0]).c_str());
        result = uint64_t(v);
    } else if (name == "isdigit" || name == "isalpha" || name == "isalnum" || name == "isspace" ||
               name == "isupper" || name == "islower" || name == "isxdigit" || name == "ispunct" ||
               name == "isprint" || name == "iscntrl" || name == "isgraph") {
        need(1);
        int c = int(a[0]);
        if (c < -1 || c > 255) fail(name + " of " + std::to_string(c));
        bool r = c >= 0 && (name == "isdigit"    ? std::isdigit(c)
                            : name == "isalpha"  ? std::isalpha(c)
                            : name == "isalnum"  ? std::isalnum(c)
                            : name == "isspace"  ? std::isspace(c)
                            : name == "isupper"  ? std::isupper(c)
                            : name == "islower"  ? std::islower(c)
                            : name == "isxdigit" ? std::isxdigit(c)
                            : name == "ispunct"  ? std::ispunct(c)
                            : name == "isprint"  ? std::isprint(c)
                            : name == "iscntrl"  ? std::iscntrl(c)
                                                 : std::isgraph(c));
        result = r;
    } else if (name == "toupper" || name == "tolower") {
        need(1);
        int c = int(a[0]);
        result = uint64_t(int64_t(
            c >= 0 && c <= 255 ? (name == "toupper" ? std::toupper(c) : std::tolower(c)) : c));
    }
    // Mathematics on doubles.
    else if (name == "sqrt" || name == "fabs" || name == "floor" || name == "ceil" ||
             name == "sin" || name == "cos" || name == "tan" || name == "exp" || name == "log" ||
             name == "log10" || name == "atan" || name == "round" || name == "trunc") {
        need(1);
        double x;
        std::memcpy(&x, &a[0], 8);
        double r = name == "sqrt"    ? std::sqrt(x)
                   : name == "fabs"  ? std::fabs(x)
                   : name == "floor" ? std::floor(x)
                   : name == "ceil"  ? std::ceil(x)
                   : name == "sin"   ? std::sin(x)
                   : name == "cos"   ? std::cos(x)
                   : name == "tan"   ? std::tan(x)
                   : name == "exp"   ? std::exp(x)
                   : name == "log"   ? std::log(x)
                   : name == "log10" ? std::log10(x)
                   : name == "atan"  ? std::atan(x)
                   : name == "round" ? std::round(x)
                                     : std::trunc(x);
        std::memcpy(&result, &r, 8);
    } else if (name == "pow" || name == "fmod" || name == "atan2") {
        need(2);
        double x, y;
        std::memcpy(&x, &a[0], 8);
        std::memcpy(&y, &a[1], 8);
        double r = name == "pow"    ? std::pow(x, y)
                   : name == "fmod" ? std::fmod(x, y)
                                    : std::atan2(x, y);
        std::memcpy(&result, &r, 8);
    }
    // Variable arguments (the front end's forms of va_start, va_arg,
    // va_end and va_copy) and the printf family on them.
    else if (name == "__builtin_va_start") {
        need(1);
        uint8_t* p = bytes_at(a[0], 16);
        uint64_t frame = frames_.size();
        for (int b = 0; b < 8; ++b) {
            p[b] = uint8_t(frame >> (8 * b));
            p[8 + b] = 0;
        }
    } else if (name == "__builtin_va_arg") {
        need(1);
        std::vector<uint64_t> rest = va_rest(a[0]);
        if (rest.empty()) fail("va_arg beyond the arguments given");
        result = rest[0];
        uint8_t* p = bytes_at(a[0] + 8, 8);
        uint64_t next = 0;
        for (int b = 0; b < 8; ++b) next |= uint64_t(p[b]) << (8 * b);
        ++next;
        for (int b = 0; b < 8; ++b) p[b] = uint8_t(next >> (8 * b));
    } else if (name == "__builtin_va_end") {
    } else if (name == "__builtin_va_copy") {
        need(2);
        std::memmove(bytes_at(a[0], 16), bytes_at(a[1], 16), 16);
    } else if (name == "vprintf" || name == "vfprintf" || name == "vsprintf" ||
               name == "vsnprintf") {
        size_t fmt_at = name == "vprintf" ? 0 : name == "vsnprintf" ? 2 : 1;
        need(fmt_at + 2);
        std::vector<uint64_t> args(a.begin(), a.begin() + long(fmt_at) + 1);
        std::vector<uint64_t> rest = va_rest(a[fmt_at + 1]);
        args.insert(args.end(), rest.begin(), rest.end());
        std::string s = format(name, args, fmt_at + 1);
        if (name == "vprintf")
            out_->write(s.data(), std::streamsize(s.size()));
        else if (name == "vfprintf")
            stream_of(a[0])->write(s.data(), std::streamsize(s.size()));
        else
            write_to(a[0], s, name == "vsprintf" ? s.size() + 1 : a[1]);
        result = s.size();
    }
    // Sorting and random numbers.
    else if (name == "qsort") {
        need(4);
        if (a[1] && a[2] && (a[1] > MAX_HEAP_BYTES || a[2] > MAX_HEAP_BYTES / a[1]))
            fail("qsort of more bytes than the memory holds");
        sort(a[0], a[1], a[2], a[3]);
    } else if (name == "rand") {
        result = next_random();
    } else if (name == "srand") {
        need(1);
        seed_random(uint32_t(a[0]));
    } else if (name == "strdup") {
        need(1);
        std::string s = read_string(a[0]);
        result = heap_allocate(s.size() + 1);
        if (result) write_to(result, s, s.size() + 1);
    } else if (name == "strtol" || name == "strtoul") {
        need(3);
        std::string s = read_string(a[0]);
        char* end = nullptr;
        result = name == "strtol" ? uint64_t(std::strtol(s.c_str(), &end, int(a[2])))
                                  : uint64_t(std::strtoul(s.c_str(), &end, int(a[2])));
        if (a[1]) {
            uint64_t at = a[0] + uint64_t(end - s.c_str());
            for (int b = 0; b < 8; ++b) bytes_at(a[1] + b, 1)[0] = uint8_t(at >> (8 * b));
        }
    }
    // Leaving.
    else if (name == "exit") {
        need(1);
        throw EXEC_EXIT{int(a[0])};
    } else if (name == "abort") {
        out_->flush();
        throw EXEC_EXIT{134};
    } else if (name == "__assert_fail") {
        need(4);
        out_->flush();
        *err_ << program_name_ << ": " << read_string(a[1]) << ":" << uint32_t(a[2]) << ": "
              << read_string(a[3]) << ": Assertion `" << read_string(a[0]) << "' failed.\n";
        throw EXEC_EXIT{134};
    } else {
        return false;
    }
    return true;
}

}  // namespace exec
