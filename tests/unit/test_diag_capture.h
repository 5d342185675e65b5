// Test support: routes the diagnostic streams into temporary files, turns
// the process ending into an exception, and resets every process-wide
// object of the driver and the diagnostics before and after each test.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "diag/diag_settings.h"
#include "diag/flag_levels.h"
#include "diag/process_exit.h"
#include "driver/run_state.h"
#include "driver/unit_run.h"

// Thrown by the test exit hook in place of ending the process.
struct TEST_EXIT {
    int status;
};

class CAPTURED_TEST : public ::testing::Test {
protected:
    void SetUp() override {
        reset_all();
        set_exit_hook([](int status) -> void { throw TEST_EXIT{status}; });
    }
    void TearDown() override {
        reset_globals();
        reset_exit_hook();
        for (std::FILE* f : {out_, err_})
            if (f) std::fclose(f);
    }

    // Every process-wide object back to its start, with empty streams.
    void reset_all() {
        reset_globals();
        for (std::FILE** f : {&out_, &err_}) {
            if (*f) std::fclose(*f);
            *f = std::tmpfile();
            ASSERT_TRUE(*f);
        }
        DIAG::settings().out = out_;
        DIAG::settings().err = err_;
    }

    // Everything written so far to the output or error stream.
    std::string out() { return contents(out_); }
    std::string err() { return contents(err_); }

    // Runs `f`, which must end the process; returns the exit status.
    template <class F>
    int exit_status_of(F f) {
        try {
            f();
        } catch (const TEST_EXIT& e) {
            return e.status;
        }
        ADD_FAILURE() << "the process did not end";
        return -1;
    }

private:
    static void reset_globals() {
        DIAG::reset();
        reset_flag_levels();
        reset_run_state();
        reset_unit_run();
    }
    static std::string contents(std::FILE* f) {
        std::fflush(f);
        std::rewind(f);
        std::string s;
        char buf[4096];
        for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) s.append(buf, n);
        std::fseek(f, 0, SEEK_END);
        return s;
    }

    std::FILE* out_ = nullptr;
    std::FILE* err_ = nullptr;
};
