// The analysis table file of a run: its header, and the one stream that
// every row of the run goes to.
//
// The stream is opened at the first row of the run, not at start-up, so a
// run that writes no rows leaves no file behind.  A file that exists must
// already be a table of the same kind: rows are appended to it, and a file
// of another kind is never touched.  A stream that could not be opened stays
// in its failed state for the rest of the run; the run then goes on without
// rows (or ends, with --analyze_only, since there would be nothing to show
// for it).
#include <cstring>
#include <fstream>
#include <memory>
#include <vector>

#include "diag/trelv_diags.h"
#include "profmgr/analysis_tables_steps.h"
#include "profmgr/bounded_line.h"

namespace {

// The run's table stream: null until the first row is due.
std::unique_ptr<std::ofstream>& table_stream() {
    static std::unique_ptr<std::ofstream> stream;
    return stream;
}

void write_analysis_header(std::ostream& out, ANALYSIS_TABLE table) {
    out << analysis_header(table) << '\n';
    out.flush();
}

void open_analysis_file(ANALYSIS_TABLE table, const std::string& unit_name, bool analyze_only) {
    std::string path = analysis_file_path(table, unit_name, ANALYSIS_ENVIRONMENT::current());
    bool has_header = false;
    {
        std::ifstream existing(path);
        if (existing.is_open()) {
            // A mismatch has been reported as fatal; no stream is made.
            if (!check_analysis_header(path, existing, table)) return;
            has_header = true;
        }
    }
    auto& stream = table_stream();
    stream = std::make_unique<std::ofstream>(path, std::ios::out | std::ios::app);
    if (stream->is_open()) {
        if (!has_header) write_analysis_header(*stream, table);
    } else if (analyze_only) {
        DIAG::trelv_fatal_analysis_file_open(TRELV_HERE, path.c_str()).emit();
    } else {
        DIAG::trelv_error_analysis_file_open(TRELV_HERE, path.c_str()).emit();
    }
}

}  // namespace

const char* analysis_header(ANALYSIS_TABLE table) { return analysis_table_kind(table).header; }

bool check_analysis_header(const std::string& path, std::istream& in, ANALYSIS_TABLE table) {
    std::string line;
    // A first line longer than the header cannot match it; it is not read
    // further, whatever the file holds.
    const LINE_READ r = read_bounded_line(in, line, std::strlen(analysis_header(table)));
    if (r == LINE_READ::END) {
        DIAG::trelv_fatal_csv_file_read_failure(TRELV_HERE, path.c_str()).emit();
        return false;
    }
    const ANALYSIS_TABLE_KIND& kind = analysis_table_kind(table);
    if (r == LINE_READ::LINE && line == kind.header) return true;
    kind.report_mismatch(path.c_str());
    return false;
}

std::ostream* analysis_stream(ANALYSIS_TABLE table, const std::string& unit_name,
                              bool analyze_only) {
    if (!table_stream()) open_analysis_file(table, unit_name, analyze_only);
    std::ofstream* stream = table_stream().get();
    if (!stream || !stream->is_open() || stream->fail()) return nullptr;
    return stream;
}

void put_analysis_row(std::ostream& out, const std::string& row) {
    out << row;
    out.flush();
}

void close_analysis_table() {
    // A failed close only sets the stream's failure state; nothing is
    // reported, the rows written so far were flushed one by one.
    if (table_stream() && table_stream()->is_open()) table_stream()->close();
    table_stream().reset();
}

void reset_analysis_table() { table_stream().reset(); }
