// The assembler of the text form.
#include <cctype>
#include <cstring>
#include <sstream>
#include <vector>

#include "icode/opcodes.h"
#include "icode/text/raw_types.h"
#include "icode/text/text_form.h"
#include "icode/text/text_values.h"

namespace icode_text {

using namespace icode;

namespace {

const char* const SECTION_FIELDS[5] = {"strings", "init", "types", "files", "symbols"};

struct ITEM {
    enum WHAT { RECORD_ITEM, RAW, END, MARKER } what = RECORD_ITEM;
    int line = 0;
    RECORD rec;
    bool has_len = false;
    int64_t len = 0;
    std::string bytes;                                     // RAW
    int section = -1;                                      // MARKER
    bool auto_offset[5] = {true, true, true, true, true};  // header
};

int opcode_named(const std::string& w) {
    if (w.rfind("OP_", 0) == 0) {
        for (char c : w.substr(3))
            if (!std::isdigit((unsigned char)c)) return -1;
        if (w.size() == 3 || w.size() > 6) return -1;
        int n = std::stoi(w.substr(3));
        return n <= MAX_OPCODE ? n : -1;
    }
    for (int op = 0; op <= MAX_OPCODE; ++op) {
        const char* n = OperatorTable::name(op);
        if (n && w == n) return op;
    }
    return -1;
}

// Finds NAME=NUMBER among the fields of a line wherever it stands, for the
// fields that decide which other fields a record has.  Text inside strings
// is skipped, so a string can never be taken for a field.
bool probe_number(const std::string& line, const std::string& name, int64_t& out) {
    bool in_string = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (in_string) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                in_string = false;
        } else if (c == '"') {
            in_string = true;
        } else if ((i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t') &&
                   line.compare(i, name.size(), name) == 0) {
            const std::string rest = line.substr(i + name.size());
            LINE_SCANNER sc(rest);
            if (sc.consume('=')) return sc.number(out);
        }
    }
    return false;
}

// Cuts a line at the first ";" outside a string.
std::string strip_comment(const std::string& line) {
    bool in_string = false;
    for (size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (in_string) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                in_string = false;
        } else if (c == '"') {
            in_string = true;
        } else if (c == ';') {
            return line.substr(0, i);
        }
    }
    return line;
}

class ASSEMBLER {
public:
    ASSEMBLER(const std::string& file) : file_(file) {}
    bool parse(const std::string& text);
    bool encode(std::string& unit);
    const std::string& error() const { return error_; }

private:
    bool fail(int line, const std::string& m) {
        error_ = file_ + ":" + std::to_string(line) + ": " + m;
        return false;
    }
    bool parse_line(const std::string& line, int n);
    bool parse_fields(LINE_SCANNER& sc, ITEM& item, const std::string& keyword, int n);
    bool encode_record(const ITEM& item, BYTE_SINK& out);

    std::string file_;
    std::string error_;
    std::vector<ITEM> items_;
    int version_ = ICODE_NEWEST_VERSION;
    RAW_TYPES types_;
};

bool ASSEMBLER::parse(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        ++n;
        if (!parse_line(strip_comment(line), n)) return false;
    }
    return true;
}

bool ASSEMBLER::parse_fields(LINE_SCANNER& sc, ITEM& item, const std::string& keyword, int n) {
    std::vector<bool> given(item.rec.field_count(), false);
    while (!sc.at_end()) {
        std::string name;
        if (!sc.word(name) || !sc.consume('='))
            return fail(n, "expected name=value, found \"" + name + "\"");
        if (name == "len") {
            if (!sc.number(item.len) || !value_in_range(ENC::ULEB, item.len))
                return fail(n, "len needs a number from 0 to 4294967295");
            item.has_len = true;
            continue;
        }
        int i = item.rec.find(name.c_str());
        if (i < 0) {
            for (size_t k = 0; k < item.rec.field_count(); ++k)
                if (name == item.rec.desc(k).name)
                    return fail(n, "field " + name + " is not present in version " +
                                       std::to_string(version_));
            return fail(n, "unknown field " + name + " for " + keyword);
        }
        if (given[size_t(i)]) return fail(n, "field " + name + " given twice");
        if (i == item.rec.layout->select_by && item.rec.kind != REC_DROP_108)
            return fail(n, "field " + name + " is given by the record's first word");
        given[size_t(i)] = true;
        const FIELD_DESC& d = item.rec.desc(size_t(i));
        if (item.rec.kind == REC_HEADER) {
            for (int s = 0; s < 5; ++s)
                if (name == SECTION_FIELDS[s]) item.auto_offset[s] = false;
        }
        std::string why;
        if (!sc.value(d, item.rec.values[size_t(i)], &why)) return fail(n, name + ": " + why);
        if (d.sets_version) version_ = int(item.rec.values[size_t(i)].num);
    }
    return true;
}

bool ASSEMBLER::parse_line(const std::string& line, int n) {
    LINE_SCANNER sc(line);
    if (sc.at_end()) return true;
    ITEM item;
    item.line = n;
    std::string w;
    if (sc.peek('.')) {
        sc.consume('.');
        sc.word(w);
        for (int s = 0; s < 5; ++s)
            if (w == SECTION_FIELDS[s]) item.section = s;
        if (item.section < 0) return fail(n, "unknown section marker ." + w);
        if (!sc.at_end()) return fail(n, "unexpected text after the section marker");
        item.what = ITEM::MARKER;
        items_.push_back(std::move(item));
        return true;
    }
    if (!sc.word(w)) return fail(n, "expected a record keyword");
    if (w == "end") {
        if (!sc.at_end()) return fail(n, "unexpected text after end");
        item.what = ITEM::END;
    } else if (w == "raw") {
        item.what = ITEM::RAW;
        std::string hex;
        while (sc.word(hex)) {
            if (hex.size() % 2) return fail(n, "raw bytes are pairs of hexadecimal digits");
            for (size_t i = 0; i < hex.size(); i += 2) {
                if (!std::isxdigit((unsigned char)hex[i]) ||
                    !std::isxdigit((unsigned char)hex[i + 1]))
                    return fail(n, "raw bytes are pairs of hexadecimal digits");
                item.bytes += char(std::stoi(hex.substr(i, 2), nullptr, 16));
            }
        }
        if (!sc.at_end()) return fail(n, "raw bytes are pairs of hexadecimal digits");
    } else if (w == "type") {
        int64_t id;
        if (!sc.number(id) || !value_in_range(ENC::ULEB, id)) return fail(n, "type needs an id");
        std::string code_name;
        int64_t code = -1;
        if (sc.word(code_name)) code = type_code_named(code_name.c_str());
        if (code < 0) return fail(n, "unknown type code \"" + code_name + "\"");
        item.rec.start(REC_TYPE, version_, code);
        item.rec.values[0].num = id;
        if (!parse_fields(sc, item, "type " + code_name, n)) return false;
        types_.add(item.rec);
    } else if (std::isupper((unsigned char)w[0])) {
        int op = opcode_named(w);
        if (op < 0) return fail(n, "unknown opcode " + w);
        item.rec.start(REC_NODE, version_, op);
        if (!parse_fields(sc, item, w, n)) return false;
    } else {
        const RECORD_LAYOUT* l = layout_named(w.c_str());
        if (!l || l->kind == REC_NODE || l->kind == REC_TYPE)
            return fail(n, "unknown record keyword " + w);
        if (l->kind == REC_DROP_108) {
            // The sub-kind selects the rest of the record.
            int64_t sub;
            if (!probe_number(line, "sub", sub)) return fail(n, "drop108 needs sub=N");
            if (!item.rec.start(REC_DROP_108, version_, sub))
                return fail(n, "drop108 has no layout for sub=" + std::to_string(sub));
        } else if (l->kind == REC_HEADER) {
            // The version decides which header fields exist; it counts for
            // this line and for every record after it.
            int64_t v;
            version_ = probe_number(line, "version", v) && value_in_range(ENC::I16, v)
                           ? int(v)
                           : ICODE_NEWEST_VERSION;
            item.rec.start(REC_HEADER, version_);
            // A version outside the known ones may have a header without
            // some of these fields.
            if (FIELD_VALUE* f = item.rec.value("magic")) f->text = ICODE_MAGIC;
            if (FIELD_VALUE* f = item.rec.value("version")) f->num = version_;
            if (FIELD_VALUE* f = item.rec.value("target")) f->num = ICODE_TARGET;
        } else {
            item.rec.start(l->kind, version_);
        }
        if (!parse_fields(sc, item, w, n)) return false;
    }
    items_.push_back(std::move(item));
    return true;
}

bool ASSEMBLER::encode_record(const ITEM& item, BYTE_SINK& out) {
    BYTE_SINK payload;
    std::string why;
    CODEC_CONTEXT ctx{version_, &types_};
    if (item.rec.kind == REC_HEADER) ctx.version = int(item.rec.num("version"));
    if (!encode_payload(item.rec, payload, ctx, &why)) return fail(item.line, why);
    out.put_u8(item.rec.kind);
    out.put_uleb(uint32_t(item.has_len ? item.len : int64_t(payload.size())));
    out.put_bytes(payload.bytes());
    return true;
}

bool ASSEMBLER::encode(std::string& unit) {
    BYTE_SINK out;
    const ITEM* header = nullptr;
    size_t header_at = 0;
    int64_t marks[5] = {0, 0, 0, 0, 0};
    version_ = ICODE_NEWEST_VERSION;
    for (const ITEM& item : items_) {
        switch (item.what) {
            case ITEM::RAW: out.put_bytes(item.bytes); break;
            case ITEM::END: out.put_u8(REC_END); break;
            case ITEM::MARKER: marks[item.section] = int64_t(out.size()); break;
            case ITEM::RECORD_ITEM:
                if (item.rec.kind == REC_HEADER) {
                    version_ = int(item.rec.num("version"));
                    if (!header) {
                        header = &item;
                        header_at = out.size();
                    }
                }
                if (!encode_record(item, out)) return false;
                break;
        }
    }
    if (header) {
        // Offsets are fixed-width, so the header keeps its length.
        ITEM h = *header;
        for (int s = 0; s < 5; ++s)
            if (h.auto_offset[s]) h.rec.value(SECTION_FIELDS[s])->num = marks[s];
        BYTE_SINK again;
        if (!encode_record(h, again)) return false;
        out.bytes().replace(header_at, again.size(), again.bytes());
    }
    unit = out.bytes();
    return true;
}

}  // namespace

bool assemble(const std::string& text, const std::string& file_name, std::string& unit,
              std::string* error) {
    ASSEMBLER a(file_name);
    if (!a.parse(text) || !a.encode(unit)) {
        if (error) *error = a.error();
        return false;
    }
    return true;
}

}  // namespace icode_text
