// One option set: the state of every option of the program, filled by
// parsing option words in order and then only read.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "driver/option_table.h"

class OPTION_OBJ {
public:
    // Returns the next command-line word, or null when there is none.
    using NEXT_WORD = std::function<const char*()>;

    OPTION_OBJ();

    // Where options that expect their value in the following word get it.
    void set_next_word(NEXT_WORD next_word) { next_word_ = std::move(next_word); }
    // The program name that the usage text shows.
    void set_program_name(std::string name) { program_name_ = std::move(name); }
    const NEXT_WORD& next_word() const { return next_word_; }
    const std::string& program_name() const { return program_name_; }

    // Parses one option word without its first dash (so "-analyze=codecov"
    // for the word "--analyze=codecov").  Returns false, silently and
    // without changes, for text that names no option; option errors end the
    // process with status 1, --help and --toolversion with status 0.
    bool parse(const char* text);

    bool enabled(int n) const { return valid(n) && opts_[n].state != 0; }
    bool seen(int n) const { return valid(n) && opts_[n].seen != 0; }
    int value_count(int n) const;
    // The stored number (numeric and enumerated kinds); 0 when absent.
    long value_number(int n, int i) const;
    // The stored string, or the text of a stored number; null when absent.
    // Texts of numbers live in a ring of 15 buffers, so at most 15 of them
    // are valid at once.
    const char* value_text(int n, int i) const;

    // A text that parses back to value `i` of option `n`.
    std::string render(int n, int i) const;
    // The enabled option numbers, ascending.
    std::vector<int> enabled_options() const;
    // The rendered texts of every enabled option and value, in ascending
    // option number: what re-applying this set onto another one parses.
    std::vector<std::string> reapplication_texts() const;

    // Turns option `n` off (unless it is persistent), dropping its values.
    void clear(int n);

private:
    struct VALUE {
        std::string text;
        long number = 0;
    };
    struct OPTION_STATE {
        int state = 0;  // non-zero: enabled
        int seen = 0;   // raised on every give and clear
        std::vector<VALUE> values;
    };

    static bool valid(int n) { return n >= 0 && n < OPT_COUNT; }
    int match_name(const char* text, std::size_t& name_len) const;
    const char* fetch_required(int n, const char* rest);
    long match_enum(int n, const char* value);
    void apply(int n, const char* value, long number);
    // --analyze with the code-coverage table, which --codecov and
    // --onlycodecov stand for.
    void apply_code_coverage();
    void check_conflicts(int n);
    void store(int n, const char* value, long number);

    OPTION_STATE opts_[OPT_COUNT];
    std::string option_text_;  // the word being parsed, for messages
    NEXT_WORD next_word_;
    std::string program_name_ = "<toolname>";
};
