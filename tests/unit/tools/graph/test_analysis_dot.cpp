// icode cfg --dot, read back: a small parser for the DOT subset the tool
// writes turns the picture into clusters, nodes and edges, and the tests
// check what the picture must say about the graph rather than its bytes
// (the golden black-box test has those).  When Graphviz is installed, dot
// must accept the output too.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "profmgr/profile_data.h"
#include "test_diag_capture.h"
#include "text_form_helpers.h"
#include "tools/graph/cfg_dot.h"

namespace {

using std::string;
using ATTRS = std::map<string, string>;

struct DOT_EDGE {
    string source, target;
    ATTRS attrs;
};
struct DOT_CLUSTER {
    string name;
    ATTRS attrs;  // graph attributes (label)
    std::map<string, ATTRS> nodes;
    std::vector<DOT_EDGE> edges;
};
struct DOT_GRAPH {
    string name;
    ATTRS node_defaults;
    std::vector<DOT_CLUSTER> clusters;
};

// Tokens: "{", "}", "[", "]", "=", ",", ";", "->", identifiers and quoted
// strings (unescaped: \" and \\ become the character, \l a line end "\n").
class DOT_READER {
public:
    explicit DOT_READER(const string& text) : s_(text) {}

    bool parse(DOT_GRAPH& g, string& error) {
        try {
            expect("digraph");
            g.name = id();
            expect("{");
            while (peek() != "}") {
                string word = id();
                if (word == "node") {
                    g.node_defaults = attrs();
                    expect(";");
                } else if (word == "subgraph") {
                    DOT_CLUSTER c;
                    c.name = id();
                    expect("{");
                    cluster_body(c);
                    g.clusters.push_back(c);
                } else {
                    throw string("unexpected " + word);
                }
            }
            expect("}");
            if (!next().empty()) throw string("text after the graph");
        } catch (const string& e) {
            error = e;
            return false;
        }
        return true;
    }

private:
    void cluster_body(DOT_CLUSTER& c) {
        while (peek() != "}") {
            string first = id();
            if (peek() == "=") {
                next();
                c.attrs[first] = id();
            } else if (peek() == "->") {
                next();
                DOT_EDGE e{first, id(), {}};
                if (peek() == "[") e.attrs = attrs();
                c.edges.push_back(e);
            } else {
                if (c.nodes.count(first)) throw string("node declared twice: " + first);
                c.nodes[first] = peek() == "[" ? attrs() : ATTRS{};
            }
            expect(";");
        }
        expect("}");
    }
    ATTRS attrs() {
        ATTRS a;
        expect("[");
        while (peek() != "]") {
            string key = id();
            expect("=");
            a[key] = id();
            if (peek() == ",") next();
        }
        expect("]");
        return a;
    }
    string id() {
        string t = next();
        if (!quoted_ && (t.empty() || t == "->" || string("{}[]=,;").find(t) != string::npos))
            throw string("identifier expected, got '" + t + "'");
        return t;
    }
    void expect(const string& want) {
        string t = next();
        if (t != want) throw string("expected '" + want + "', got '" + t + "'");
    }
    string peek() {
        std::size_t keep = at_;
        string t = next();
        at_ = keep;
        return t;
    }
    string next() {
        quoted_ = false;
        while (at_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[at_]))) ++at_;
        if (at_ >= s_.size()) return "";
        char c = s_[at_];
        if (s_.compare(at_, 2, "->") == 0) {
            at_ += 2;
            return "->";
        }
        if (string("{}[]=,;").find(c) != string::npos) {
            ++at_;
            return string(1, c);
        }
        string t;
        if (c == '"') {
            quoted_ = true;
            for (++at_; at_ < s_.size() && s_[at_] != '"'; ++at_) {
                if (s_[at_] == '\\' && at_ + 1 < s_.size()) {
                    char e = s_[++at_];
                    if (e == 'l')
                        t += '\n';
                    else if (e == '"' || e == '\\')
                        t += e;
                    else
                        throw string("unknown escape \\") + e;
                } else {
                    t += s_[at_];
                }
            }
            if (at_ >= s_.size()) throw string("unterminated string");
            ++at_;
            return t;
        }
        while (at_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[at_])) ||
                                   s_[at_] == '_' || s_[at_] == '.'))
            t += s_[at_++];
        if (t.empty()) throw string("stray character ") + c;
        return t;
    }

    string s_;
    std::size_t at_ = 0;
    bool quoted_ = false;  // the last token was a quoted string
};

std::vector<string> lines(const string& label) {
    std::vector<string> out;
    std::istringstream in(label);
    for (string l; std::getline(in, l);) out.push_back(l);
    return out;
}

// f loops 4 times and leaves once (counters 1 1 4); g returns from its first
// block, after which comes a block that nothing reaches; h has no data.
const char* const UNIT = R"(
header name="d.c"
func_begin pos=1:1:5 sym=0
symbol name="n" size=16 class=1 type=3 align=16
body_begin pos=-
label label=1
expr pos=1:1:21
  CBRANCH type=3
    GT type=3
      NAME type=3 level=1 index=0
      ICON type=3 value=0
    LABEL type=3 label=2
expr pos=1:1:35
  ASG type=3
    NAME type=3 level=1 index=0
    MINUS type=3
      NAME type=3 level=1 index=0
      ICON type=3 value=1
expr pos=1:1:46
  BRANCH type=3
    LABEL type=3 label=1
label label=2
expr pos=1:1:59
  RETURN type=3
    NAME type=3 level=1 index=0
    NOP type=1
func_end pos=-
func_begin pos=1:2:6 sym=1
body_begin pos=-
expr pos=1:2:16
  CALL type=3 extra=0 eht=0
    UAND type=7
      NAME type=6 level=0 index=2
    SCON type=5 bytes="say \"hi\" \\"
expr pos=1:2:37
  URETURN type=1
    NOP type=1
expr pos=1:2:45
  CALL type=3 extra=0 eht=0
    UAND type=7
      NAME type=6 level=0 index=2
    SCON type=5 bytes=""
func_end pos=-
func_begin pos=1:3:6 sym=3
body_begin pos=-
expr pos=1:3:16
  URETURN type=1
    NOP type=1
func_end pos=-
end
.types
type 1 void
type 2 char size=8 align=8
type 3 int size=16 align=16
type 4 function ret=1
type 4 open list=0
type 4 close list=0
type 5 pointer pointee=2 size=16 align=16
type 6 function ret=3
type 6 open list=0
type 6 param type=5 name="s"
type 6 close list=0
type 7 pointer pointee=6 size=16 align=16
type 8 function ret=3
type 8 open list=0
type 8 param type=3 name="n"
type 8 close list=0
end
.files
file_name name="d.c"
end
.symbols
symbol name="f" class=4 type=8
symbol name="g" class=4 type=4
symbol name="puts" class=4 type=6
symbol name="h" class=4 type=4
end
)";

class AnalysisDot : public CAPTURED_TEST {
protected:
    void SetUp() override {
        CAPTURED_TEST::SetUp();
        reset_normalised_path_cache();
    }
    void TearDown() override {
        reset_normalised_path_cache();
        for (const string& p : temporary_) std::remove(p.c_str());
        CAPTURED_TEST::TearDown();
    }

    string temporary_file(const string& text) {
        char name[] = "/tmp/trelv_dot_XXXXXX";
        int fd = mkstemp(name);
        EXPECT_GE(fd, 0);
        std::FILE* f = fdopen(fd, "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        temporary_.push_back(name);
        return name;
    }

    // The picture of UNIT, with counts from `profile` unless it is empty.
    string picture(const string& profile) {
        string bytes = text_form_test::assemble_ok(UNIT);
        std::FILE* f = std::tmpfile();
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::rewind(f);
        std::vector<string> files;
        if (!profile.empty()) files.push_back(temporary_file(profile));
        std::ostringstream out;
        string error;
        EXPECT_TRUE(write_unit_dot(f, files, out, &error)) << error;
        return out.str();
    }

    DOT_GRAPH parsed(const string& text) {
        DOT_GRAPH g;
        string error;
        EXPECT_TRUE(DOT_READER(text).parse(g, error)) << error << "\n" << text;
        return g;
    }

    std::vector<string> temporary_;
};

long number_in(const string& text) { return std::strtol(text.c_str(), nullptr, 10); }

// N of a block label's first line "NAME  count N".
long count_in(const string& first_line) {
    auto at = first_line.find("  count ");
    return at == string::npos ? -1 : number_in(first_line.substr(at + 8));
}

TEST_F(AnalysisDot, StructureOfThePicture) {
    DOT_GRAPH g = parsed(picture(""));
    EXPECT_EQ(g.name, "d.c");
    ASSERT_EQ(g.clusters.size(), 3u);
    const DOT_CLUSTER& f = g.clusters[0];
    EXPECT_EQ(f.name, "cluster_0");
    EXPECT_EQ(lines(f.attrs.at("label")), (std::vector<string>{"f", "4 blocks, 3 counters"}));
    ASSERT_EQ(f.nodes.size(), 4u);
    // Every edge joins two blocks of its own function.
    for (const DOT_CLUSTER& c : g.clusters)
        for (const DOT_EDGE& e : c.edges)
            EXPECT_TRUE(c.nodes.count(e.source) && c.nodes.count(e.target))
                << e.source << "->" << e.target;
    // The entry block has the double outline, the returning block the
    // rounded corners; the others neither.
    EXPECT_EQ(f.nodes.at("0.L0").at("peripheries"), "2");
    EXPECT_EQ(f.nodes.at("0.L3").at("style"), "rounded");
    EXPECT_FALSE(f.nodes.at("0.L1").count("peripheries") || f.nodes.at("0.L1").count("style"));
    EXPECT_EQ(lines(f.nodes.at("0.L2").at("label")),
              (std::vector<string>{"L2  line 1", "g3:", "n = n-1", "goto g1"}));
    // The chords carry their counter indices 1 and 2 (counter 0 counts
    // entries); the loop's jump back is red and bold; the exit edge dashed.
    std::set<string> chords;
    int back = 0, exits = 0;
    for (const DOT_EDGE& e : f.edges) {
        string label = e.attrs.at("label");
        auto at = label.find("chord ");
        if (at != string::npos) chords.insert(label.substr(at));
        if (e.attrs.count("color") && e.attrs.at("color") == "red") {
            ++back;
            EXPECT_EQ(e.source + "->" + e.target, "0.L2->0.L0");
            EXPECT_EQ(e.attrs.at("style"), "bold");
        }
        if (e.attrs.count("style") && e.attrs.at("style") == "dashed") {
            ++exits;
            EXPECT_EQ(e.source + "->" + e.target, "0.L3->0.L0");
            EXPECT_EQ(lines(label).at(0), "exit");
        }
    }
    EXPECT_EQ(chords, (std::set<string>{"chord 1\n", "chord 2\n"}));
    EXPECT_EQ(back, 1);
    EXPECT_EQ(exits, 1);
}

TEST_F(AnalysisDot, StatementTextSurvivesEscaping) {
    DOT_GRAPH g = parsed(picture(""));
    ASSERT_EQ(g.clusters.size(), 3u);
    const ATTRS& entry = g.clusters[1].nodes.at("1.L0");
    EXPECT_EQ(lines(entry.at("label")),
              (std::vector<string>{"L0  line 2", "puts(\"say \\\"hi\\\" \\\\\")", "return"}));
    // The one block of g that both is the entry and returns gets both marks.
    EXPECT_EQ(entry.at("peripheries"), "2");
    EXPECT_EQ(entry.at("style"), "rounded");
}

TEST_F(AnalysisDot, CountsAreConservedAtEveryInnerBlock) {
    DOT_GRAPH g = parsed(picture("d.c/f\n3\n1 1 4\nd.c/g\n1\n2\n"));
    ASSERT_EQ(g.clusters.size(), 3u);
    const DOT_CLUSTER& f = g.clusters[0];
    EXPECT_EQ(lines(f.attrs.at("label")).at(2), "entry count 1");
    std::map<string, long> in, out, count;
    for (const auto& [id, a] : f.nodes) count[id] = count_in(lines(a.at("label")).at(0));
    for (const DOT_EDGE& e : f.edges) {
        std::vector<string> l = lines(e.attrs.at("label"));
        long n = number_in(l.at(l.at(0) == "exit" ? 1 : 0));
        out[e.source] += n;
        in[e.target] += n;
    }
    EXPECT_EQ(count, (std::map<string, long>{{"0.L0", 1}, {"0.L1", 4}, {"0.L2", 4}, {"0.L3", 1}}));
    // The entry block carries the entry count, as the profiler writes it;
    // every other block passes on what it receives.
    for (const char* id : {"0.L1", "0.L2", "0.L3"}) {
        EXPECT_EQ(in[id], count[id]) << id;
        EXPECT_EQ(out[id], count[id]) << id;
    }
    EXPECT_EQ(in["0.L0"], 5) << "entered once, and four times from the loop";
    // g's second block is unreachable; h has no data.
    EXPECT_EQ(lines(g.clusters[1].nodes.at("1.L1").at("label")).at(0), "L1  unreachable  line 2");
    EXPECT_EQ(lines(g.clusters[2].attrs.at("label")).at(2), "no profile data");
    EXPECT_EQ(lines(g.clusters[2].nodes.at("2.L0").at("label")).at(0), "L0  line 3");
}

TEST_F(AnalysisDot, GraphvizAcceptsThePicture) {
    if (std::system("command -v dot >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "Graphviz is not installed";
    string path = temporary_file(picture("d.c/f\n3\n1 1 4\n"));
    string command = "dot -Tcanon " + path + " >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

}  // namespace
