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
#include "driver/unit_run.h"
#include "driver/run_state.h"

// Thrown by the test exit hook in place of ending the process.
struct TEST_EXIT {
    int status;
};

[[noreturn]] inline void throwing_exit(int status) { throw TEST_EXIT{status}; }

class CAPTURED_TEST : public ::testing::Test {
protected:
    void SetUp() override {
        reset_all();
        out_ = std::tmpfile();
        err_ = std::tmpfile();
        ASSERT_TRUE(out_ && err_);
        DIAG::settings().out = out_;
        DIAG::settings().err = err_;
        set_exit_hook(throwing_exit);
    }

    void TearDown() override {
        reset_all();
        reset_exit_hook();
        if (out_) std::fclose(out_);
        if (err_) std::fclose(err_);
    }

    static void reset_all() {
        DIAG::reset();
        reset_flag_levels();
        reset_run_state();
        reset_unit_run();
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
    static std::string contents(std::FILE* f) {
        std::fflush(f);
        std::string s;
        std::rewind(f);
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
        std::fseek(f, 0, SEEK_END);
        return s;
    }

    std::FILE* out_ = nullptr;
    std::FILE* err_ = nullptr;
};
