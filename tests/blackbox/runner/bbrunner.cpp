// Black-box test runner.
//
// A .test file is a sequence of sections, each opened by a line that starts
// with "%%".  Lines before the first section and lines starting with "#"
// directly after a "%%" line are not part of any content.
//
//   %% include PATH      the lines of PATH (relative to the folder of the file
//                        that names it) stand in place of this line, so the
//                        sections and unit text that many tests share (the
//                        types, files and symbols closing a unit) are written
//                        once under tests/blackbox/include/
//   %% file NAME         the content is written to NAME in a scratch folder
//   %% unit NAME         the content is I-code text form; it is assembled with
//                        "icode as" into NAME.  " / " separates records, so
//                        that a statement and its tree (in prefix order, as
//                        the text form writes them) can stand on one line
//   %% run               the content is a shell script run with /bin/sh in the
//                        scratch folder; the build folder comes first in PATH
//   %% stdout            what the last run must have written on stdout
//   %% stderr            the same for stderr
//   %% status            the exit status of the last run (one number)
//   %% expect-unit NAME  "icode dis NAME" must print exactly this content
//   %% expect-missing NAME  NAME must not exist
//
// Section contents are taken line by line, each line ending in "\n"; a
// content line "\%%..." stands for "%%...".  After each run, stdout and
// stderr must match their sections exactly; a missing stdout or stderr
// section means that stream must be empty, a missing status section means
// status 0.  Failures name the line of the text with every include put in
// place.  The scratch folder is removed when all checks pass.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Section {
    std::string head;  // first word after "%%"
    std::string arg;   // rest of the line
    std::string body;
    int line = 0;
};

bool read_file(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    out = ss.str();
    return true;
}

bool write_file(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary);
    out << data;
    return bool(out);
}

// Puts the lines of PATH into OUT, each "%% include NAME" line replaced by
// the lines of NAME.
bool expand(const std::string& path, std::string& out, int depth = 0) {
    std::string text;
    if (depth > 8 || !read_file(path, text)) {
        std::cerr << "cannot read " << path << "\n";
        return false;
    }
    std::string dir = path.substr(0, path.rfind('/') + 1);
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("%% include ", 0) != 0)
            out += line + "\n";
        else if (!expand(dir + line.substr(11), out, depth + 1))
            return false;
    }
    return true;
}

std::vector<Section> parse(const std::string& text) {
    std::vector<Section> out;
    std::istringstream in(text);
    std::string line;
    int n = 0;
    bool heading = false;  // only "#" lines so far since the last "%%" line
    while (std::getline(in, line)) {
        ++n;
        if (heading && line.rfind("#", 0) == 0) continue;
        heading = false;
        if (line.rfind("%%", 0) == 0) {
            heading = true;
            Section s;
            std::string rest = line.substr(2);
            size_t b = rest.find_first_not_of(" \t");
            rest = b == std::string::npos ? "" : rest.substr(b);
            size_t sp = rest.find(' ');
            s.head = rest.substr(0, sp);
            if (sp != std::string::npos) {
                s.arg = rest.substr(sp + 1);
                while (!s.arg.empty() && (s.arg.back() == ' ' || s.arg.back() == '\r'))
                    s.arg.pop_back();
            }
            s.line = n;
            out.push_back(s);
            continue;
        }
        if (out.empty()) continue;
        if (line.rfind("\\%%", 0) == 0) line = line.substr(1);
        out.back().body += line + "\n";
    }
    return out;
}

std::string show(const std::string& s) {
    std::string r;
    for (unsigned char c : s) {
        if (c == '\n')
            r += "\\n\n";
        else if (c == '\t')
            r += "\\t";
        else if (c < 32 || c >= 127) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            r += buf;
        } else
            r += char(c);
    }
    return r;
}

int failures = 0;

void fail(const Section& s, const std::string& what, const std::string& want,
          const std::string& got) {
    ++failures;
    std::cout << "FAIL (line " << s.line << ") " << what << "\n--- expected ---\n"
              << show(want) << "\n--- actual ---\n"
              << show(got) << "\n----------------\n";
}

std::string shell_quote(const std::string& s) {
    std::string r = "'";
    for (char c : s) {
        if (c == '\'')
            r += "'\\''";
        else
            r += c;
    }
    return r + "'";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: bbrunner FILE.test --bin DIR [--examples DIR]\n";
        return 2;
    }
    std::string test = argv[1], bin = ".", examples;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--bin"))
            bin = argv[i + 1];
        else if (!std::strcmp(argv[i], "--examples"))
            examples = argv[i + 1];
    }
    std::string text;
    if (!expand(test, text)) return 2;
    char tmpl[] = "/tmp/trelv-bb-XXXXXX";
    if (!mkdtemp(tmpl)) {
        std::perror("mkdtemp");
        return 2;
    }
    std::string dir = tmpl;
    std::string env = "cd " + shell_quote(dir) + " && PATH=" + shell_quote(bin) +
                      ":\"$PATH\" TRELV_EXAMPLES=" + shell_quote(examples) + " ";

    std::vector<Section> sections = parse(text);
    std::string out, err;
    int status = 0;
    bool ran = false, seen_out = false, seen_err = false, seen_status = false;

    auto finish_run = [&](const Section& at) {
        if (!ran) return;
        if (!seen_out && !out.empty()) fail(at, "stdout (no section: must be empty)", "", out);
        if (!seen_err && !err.empty()) fail(at, "stderr (no section: must be empty)", "", err);
        if (!seen_status && status != 0)
            fail(at, "status (no section: must be 0)", "0", std::to_string(status));
        ran = false;
    };

    for (const Section& s : sections) {
        if (s.head == "file") {
            write_file(dir + "/" + s.arg, s.body);
        } else if (s.head == "unit") {
            std::string src = dir + "/" + s.arg + ".src.txt";
            std::string body = s.body;
            for (size_t at; (at = body.find(" / ")) != std::string::npos;)
                body.replace(at, 3, "\n");
            write_file(src, body);
            std::string cmd = env + "icode as " + shell_quote(src) + " -o " + shell_quote(s.arg);
            if (std::system(cmd.c_str()) != 0) {
                fail(s, "assembling unit " + s.arg, "success", "failure");
            }
        } else if (s.head == "run") {
            finish_run(s);
            write_file(dir + "/.bb_script.sh", s.body);
            std::string cmd = env + "/bin/sh ./.bb_script.sh >.bb_out 2>.bb_err";
            int rc = std::system(cmd.c_str());
            status = WIFEXITED(rc) ? WEXITSTATUS(rc) : 128 + WTERMSIG(rc);
            out.clear();
            err.clear();
            read_file(dir + "/.bb_out", out);
            read_file(dir + "/.bb_err", err);
            ran = true;
            seen_out = seen_err = seen_status = false;
        } else if (s.head == "stdout" || s.head == "stderr") {
            bool is_out = s.head == "stdout";
            (is_out ? seen_out : seen_err) = true;
            const std::string& got = is_out ? out : err;
            if (got != s.body) fail(s, s.head, s.body, got);
        } else if (s.head == "status") {
            seen_status = true;
            int want = std::atoi(s.body.c_str());
            if (want != status) fail(s, "status", std::to_string(want), std::to_string(status));
        } else if (s.head == "expect-unit") {
            std::string cmd = env + "icode dis " + shell_quote(s.arg) + " >.bb_dis 2>&1";
            int rc = std::system(cmd.c_str());
            std::string got;
            read_file(dir + "/.bb_dis", got);
            if (rc != 0) got += "(icode dis failed)\n";
            if (got != s.body) fail(s, "unit " + s.arg, s.body, got);
        } else if (s.head == "expect-missing") {
            struct stat st;
            if (stat((dir + "/" + s.arg).c_str(), &st) == 0)
                fail(s, "file " + s.arg + " must not exist", "(missing)", "(exists)");
        } else {
            fail(s, "unknown section %% " + s.head, "", "");
        }
    }
    if (!sections.empty()) finish_run(sections.back());
    if (failures) {
        std::cout << failures << " check(s) failed; scratch folder kept: " << dir << "\n";
        return 1;
    }
    std::string rm = "rm -rf " + shell_quote(dir);
    if (std::system(rm.c_str()) != 0) return 1;
    return 0;
}
