// icode coverage --format cobertura: the report as a Cobertura XML file, as
// continuous-integration services read it: one package, one class per
// source file with its methods (the functions) and lines; a line with
// branches carries branch="true" and condition-coverage="50% (1/2)".
// Rates are fractions from 0 to 1 (1 for nothing to cover); the timestamp
// is 0 so that the same table always gives the same file.
#include <cstdio>
#include <ostream>

#include "tools/coverage/cmd_coverage.h"

namespace {

std::string attribute(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string rate(unsigned part, unsigned whole) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4g", whole ? double(part) / whole : 1.0);
    return buf;
}

std::string rates(const COVERAGE_TOTALS& t) {
    return "line-rate=\"" + rate(t.lines_hit, t.lines) + "\" branch-rate=\"" +
           rate(t.branches_hit, t.branches) + "\"";
}

void write_line(int n, const LINE_COVERAGE& l, const std::string& indent, std::ostream& out) {
    out << indent << "<line number=\"" << n << "\" hits=\"" << l.count << "\"";
    unsigned arms = 0, taken = 0;
    for (const BRANCH_COUNT* b : l.branches) {
        for (const BRANCH_ARM& arm : b->arms) {
            ++arms;
            if (arm.count > 0) ++taken;
        }
    }
    if (arms == 0) {
        out << " branch=\"false\"/>\n";
        return;
    }
    out << " branch=\"true\" condition-coverage=\"" << (100 * taken / arms) << "% (" << taken << "/"
        << arms << ")\"/>\n";
}

}  // namespace

void write_coverage_cobertura(const COVERAGE_REPORT& report, std::ostream& out) {
    const COVERAGE_TOTALS& t = report.totals;
    out << "<?xml version=\"1.0\" ?>\n"
           "<!DOCTYPE coverage SYSTEM "
           "\"http://cobertura.sourceforge.net/xml/coverage-04.dtd\">\n"
        << "<coverage " << rates(t) << " lines-covered=\"" << t.lines_hit << "\" lines-valid=\""
        << t.lines << "\" branches-covered=\"" << t.branches_hit << "\" branches-valid=\""
        << t.branches << "\" complexity=\"0\" version=\"0\" timestamp=\"0\">\n"
        << "  <sources>\n    <source>.</source>\n  </sources>\n  <packages>\n"
        << "    <package name=\"" << attribute(report.table_name) << "\" " << rates(t)
        << " complexity=\"0\">\n      <classes>\n";
    for (const FILE_COVERAGE& f : report.files) {
        std::string file = attribute(f.source.empty() ? f.name : f.source);
        out << "        <class name=\"" << file << "\" filename=\"" << file << "\" "
            << rates(f.totals) << " complexity=\"0\">\n          <methods>\n";
        for (const FUNCTION_COVERAGE& fn : f.functions) {
            COVERAGE_TOTALS ft;
            for (const auto& [n, l] : fn.lines) {
                if (l.has_statement) {
                    ++ft.lines;
                    if (l.executed) ++ft.lines_hit;
                }
                for (const BRANCH_COUNT* b : l.branches)
                    for (const BRANCH_ARM& arm : b->arms) {
                        ++ft.branches;
                        if (arm.count > 0) ++ft.branches_hit;
                    }
            }
            out << "            <method name=\"" << attribute(fn.name) << "\" signature=\"\" "
                << rates(ft) << " complexity=\"0\">\n              <lines>\n";
            for (const auto& [n, l] : fn.lines)
                if (l.has_statement) write_line(n, l, "                ", out);
            out << "              </lines>\n            </method>\n";
        }
        out << "          </methods>\n          <lines>\n";
        for (const auto& [n, l] : f.lines)
            if (l.has_statement) write_line(n, l, "            ", out);
        out << "          </lines>\n        </class>\n";
    }
    out << "      </classes>\n    </package>\n  </packages>\n</coverage>\n";
}
