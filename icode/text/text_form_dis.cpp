// The disassembler of the text form.
#include <algorithm>
#include <cstdio>
#include <map>
#include <ostream>
#include <sstream>
#include <vector>

#include "icode/attributes.h"
#include "icode/opcodes.h"
#include "icode/record_layout.h"
#include "icode/text/raw_types.h"
#include "icode/text/text_form.h"
#include "icode/text/text_values.h"

namespace icode_text {

using namespace icode;

namespace {

constexpr size_t MAX_INDENT_DEPTH = 64;

const char* const SECTION_NAMES[5] = {"strings", "init", "types", "files", "symbols"};
const char* const SECTION_FIELDS[5] = {"strings", "init", "types", "files", "symbols"};

std::string hex_bytes(const std::string& bytes, size_t from, size_t to) {
    std::string out = "raw";
    char buf[4];
    for (size_t i = from; i < to; ++i) {
        std::snprintf(buf, sizeof buf, " %02x", (unsigned char)bytes[i]);
        out += buf;
    }
    return out;
}

class DISASSEMBLER {
public:
    DISASSEMBLER(const std::string& unit, std::ostream& out) : u_(unit), out_(out) {}
    bool run(std::string* error);

private:
    struct FRAMED {
        bool ok = false;       // a known kind, framed and decoded within the limit
        bool damaged = false;  // a known kind that could not be decoded
        size_t end = 0;        // offset after the record
        RECORD rec;
        std::string why;
    };
    bool read_uleb(size_t& p, size_t limit, uint32_t& v) const;
    FRAMED frame_at(size_t p, size_t limit) const;
    void prescan_section(size_t start, int which);
    void note_damage(size_t at, const std::string& why);
    void check_offsets(const uint32_t* offsets, size_t header_end);
    std::string comment_for(const RECORD& rec) const;
    std::string record_line(const RECORD& rec) const;
    void track(const RECORD& rec, bool in_stream);

    const std::string& u_;
    std::ostream& out_;
    int version_ = ICODE_NEWEST_VERSION;
    RAW_TYPES types_;
    std::vector<std::string> files_;
    std::vector<std::string> globals_;
    std::vector<std::string> locals_;
    int depth_ = 0;
    std::vector<int> tree_;  // operands still to come at each open node
    std::string error_;
};

bool DISASSEMBLER::read_uleb(size_t& p, size_t limit, uint32_t& v) const {
    v = 0;
    unsigned shift = 0;
    for (;;) {
        if (p >= limit) return false;
        uint8_t b = uint8_t(u_[p++]);
        if (shift < 32) v |= uint32_t(b & 0x7f) << shift;
        shift += 7;
        if (!(b & 0x80)) return true;
    }
}

DISASSEMBLER::FRAMED DISASSEMBLER::frame_at(size_t p, size_t limit) const {
    FRAMED f;
    uint8_t kind = uint8_t(u_[p]);
    if (!layout_of(kind)) return f;
    size_t q = p + 1;
    uint32_t len;
    if (!read_uleb(q, limit, len)) {
        f.damaged = true;
        f.why = "record cut off inside its length";
        return f;
    }
    if (len > limit - q) {
        f.damaged = true;
        f.why = "payload length " + std::to_string(len) + " runs past the end of the unit";
        return f;
    }
    f.end = q + len;
    try {
        size_t used = 0;
        CODEC_CONTEXT ctx{version_, &types_};
        decode_payload(f.rec, kind, reinterpret_cast<const uint8_t*>(u_.data()) + q, len, ctx,
                       &used);
        // Bytes left after the fields are damage: a reader takes the
        // fields and then reads those bytes as the next record.
        if (used != len) {
            f.damaged = true;
            f.why = "payload has " + std::to_string(len - used) + " byte(s) after its fields";
            return f;
        }
        // Only a record that encodes back to exactly its own bytes is shown
        // as fields; anything else (a number not in its shortest form)
        // stays raw, so the text always assembles to the same bytes.
        BYTE_SINK payload;
        if (!encode_payload(f.rec, payload, ctx)) {
            f.why = "payload does not match its layout";
            return f;
        }
        BYTE_SINK framed;
        frame_record(kind, payload.bytes(), framed);
        if (framed.bytes() != u_.substr(p, f.end - p)) {
            f.why = "not in its shortest encoding";
            return f;
        }
        f.ok = true;
    } catch (const DECODE_ERROR& e) {
        f.damaged = true;
        f.why = e.what();
    }
    return f;
}

void DISASSEMBLER::prescan_section(size_t start, int which) {
    // Reads the files, types or symbols section ahead of the main walk, so
    // that comments can name what records refer to and integer encodings
    // that depend on types decode right.  Stops quietly at any damage.
    size_t p = start;
    while (p < u_.size() && uint8_t(u_[p]) != REC_END) {
        FRAMED f = frame_at(p, u_.size());
        if (!f.ok) return;
        if (which == 2 && f.rec.kind == REC_TYPE) types_.add(f.rec);
        if (which == 3 && f.rec.kind == REC_FILE_NAME) files_.push_back(f.rec.text("name"));
        if (which == 4 && f.rec.kind == REC_SYMBOL) globals_.push_back(f.rec.text("name"));
        p = f.end;
    }
}

void DISASSEMBLER::note_damage(size_t at, const std::string& why) {
    if (!error_.empty()) return;
    char buf[64];
    std::snprintf(buf, sizeof buf, "damaged record at offset 0x%zx: ", at);
    error_ = buf + why;
}

void DISASSEMBLER::check_offsets(const uint32_t* offsets, size_t header_end) {
    // A section must start at a record after the header; offsets that point
    // into the header or beyond the last byte cannot be followed.
    for (int s = 0; s < 5 && error_.empty(); ++s) {
        if (offsets[s] == 0) continue;
        std::string where = std::string(SECTION_FIELDS[s]) + "=" + std::to_string(offsets[s]);
        if (offsets[s] >= u_.size())
            error_ = "section offset " + where + " lies beyond the end of the unit (" +
                     std::to_string(u_.size()) + " bytes)";
        else if (offsets[s] < header_end)
            error_ = "section offset " + where + " points into the header";
    }
}

std::string DISASSEMBLER::comment_for(const RECORD& rec) const {
    std::vector<std::string> parts;
    auto sym = [&](int64_t level, int64_t index) {
        const auto& table = level == 0 ? globals_ : locals_;
        if (index >= 0 && size_t(index) < table.size()) parts.push_back(table[size_t(index)]);
    };
    if (rec.kind == REC_NODE && rec.num("opcode") == NAME && rec.num("level") != 0xFFFFFFFFLL)
        sym(rec.num("level"), rec.num("index"));
    if (rec.kind == REC_FUNC_BEGIN || rec.kind == REC_INIT) sym(0, rec.num("sym"));
    // The reader keeps an attribute kind as one byte.
    if (rec.kind == REC_PRAGMA) parts.push_back(attribute_name(uint8_t(rec.num("kind"))));
    for (size_t i = 0; i < rec.field_count(); ++i) {
        const FIELD_DESC& d = rec.desc(i);
        const FIELD_VALUE& v = rec.values[i];
        if (!v.present) continue;
        if (d.enc == ENC::TYPEREF && v.num != 0) {
            std::string n = types_.name(uint32_t(v.num));
            if (!n.empty()) parts.push_back(n);
        }
        if (d.enc == ENC::POS && v.pos.file != 0 && v.pos.file <= files_.size())
            parts.push_back(files_[v.pos.file - 1]);
    }
    std::string out;
    for (const auto& s : parts) out += (out.empty() ? "" : ", ") + s;
    return out;
}

std::string DISASSEMBLER::record_line(const RECORD& rec) const {
    std::string line;
    size_t first = 0;
    if (rec.kind == REC_NODE) {
        int op = int(rec.num("opcode"));
        const char* name = OperatorTable::name(op);
        line = name ? name : "OP_" + std::to_string(op);
        first = 1;
    } else if (rec.kind == REC_TYPE) {
        line = "type " + std::to_string(rec.num("id")) + " " + rec.tail->name;
        first = 2;
    } else {
        line = rec.layout->name;
    }
    for (size_t i = first; i < rec.field_count(); ++i) {
        if (!rec.values[i].present) continue;
        if (rec.kind == REC_HEADER) {
            // Offsets are shown by the section markers unless they disagree.
            bool offset = false;
            for (const char* s : SECTION_FIELDS) offset |= std::string(rec.desc(i).name) == s;
            if (offset && rec.values[i].text == "auto") continue;
        }
        line += " ";
        line += rec.desc(i).name;
        line += "=";
        line += format_value(rec.desc(i), rec.values[i]);
    }
    return line;
}

void DISASSEMBLER::track(const RECORD& rec, bool in_stream) {
    // A number that names no kind has no layout and changes nothing.
    const RECORD_LAYOUT* layout = layout_of(rec.kind);
    if (layout == nullptr) return;
    if (layout->depth == DEPTH_EFFECT::ENTER_FUNCTION) locals_.clear();
    depth_ = depth_after(layout->depth, depth_);
    switch (RECORD_KIND(rec.kind)) {
        case REC_SYMBOL:
            if (depth_ != 0)
                locals_.push_back(rec.text("name"));
            else if (in_stream)
                globals_.push_back(rec.text("name"));
            break;
        case REC_TYPE: types_.add(rec); break;
        case REC_FUNC_BEGIN:
        case REC_FUNC_END:
        case REC_BLOCK_BEGIN:
        case REC_BLOCK_END:
        case REC_BODY_BEGIN:
        case REC_DROP_123:
        case REC_DROP_125:
        case REC_HEADER:
        case REC_MARK:
        case REC_OPAQUE:
        case REC_TEXT_AT:
        case REC_DROP_38:
        case REC_LABEL:
        case REC_DROP_45:
        case REC_EXPR_STMT:
        case REC_TEXT:
        case REC_DROP_58:
        case REC_DROP_59:
        case REC_EHT_CATCHES:
        case REC_DROP_64:
        case REC_EHT_ENTRY:
        case REC_EHT:
        case REC_PRAGMA:
        case REC_NODE:
        case REC_INIT:
        case REC_DROP_108:
        case REC_STRING_LIST:
        case REC_DROP_124:
        case REC_FILE_NAME:
        case REC_END: break;
    }
}

bool DISASSEMBLER::run(std::string* error) {
    // The header.
    FRAMED h;
    if (!u_.empty() && uint8_t(u_[0]) == REC_HEADER) {
        h = frame_at(0, u_.size());
    }
    if (!h.ok) {
        std::string why = h.damaged || !h.why.empty() ? "damaged header record: " + h.why
                                                      : "not an I-code unit: no header record";
        out_ << "; " << why << "\n";
        for (size_t p = 0; p < u_.size(); p += 16)
            out_ << hex_bytes(u_, p, std::min(u_.size(), p + 16)) << "\n";
        if (error) *error = why + " at offset 0";
        return false;
    }
    version_ = int(h.rec.num("version"));
    uint32_t offsets[5];
    for (int s = 0; s < 5; ++s) offsets[s] = uint32_t(h.rec.num(SECTION_FIELDS[s]));
    if (offsets[3] && offsets[3] < u_.size()) prescan_section(offsets[3], 3);
    if (offsets[2] && offsets[2] < u_.size()) prescan_section(offsets[2], 2);
    if (offsets[4] && offsets[4] < u_.size()) prescan_section(offsets[4], 4);

    // Section starts inside the file, in file order.
    std::multimap<size_t, int> starts;
    for (int s = 0; s < 5; ++s)
        if (offsets[s] >= h.end && offsets[s] < u_.size()) starts.emplace(offsets[s], s);
    bool marked[5] = {};

    std::ostringstream body;
    size_t stream_end = starts.empty() ? u_.size() : starts.begin()->first;
    size_t p = h.end;
    while (p < u_.size()) {
        for (auto it = starts.lower_bound(p); it != starts.end() && it->first == p; ++it) {
            body << "." << SECTION_NAMES[it->second] << "\n";
            marked[it->second] = true;
        }
        auto next = starts.upper_bound(p);
        size_t limit = next == starts.end() ? u_.size() : next->first;
        uint8_t kind = uint8_t(u_[p]);
        if (kind == REC_END) {
            tree_.clear();
            body << "end\n";
            ++p;
            continue;
        }
        FRAMED f = frame_at(p, limit);
        if (!f.ok) {
            tree_.clear();
            if (f.damaged && limit < u_.size() && frame_at(p, u_.size()).ok)
                f.why = "a section offset points inside this record";
            if (f.damaged) {
                note_damage(p, f.why);
                size_t to = f.end > p && f.end <= limit ? f.end : limit;
                body << hex_bytes(u_, p, to) << "  ; undecodable " << int(kind) << ": " << f.why
                     << "\n";
                p = to;
            } else if (f.end > p) {
                body << hex_bytes(u_, p, f.end) << "  ; kind " << int(kind) << ", " << f.why
                     << "\n";
                p = f.end;
            } else {
                // An unknown kind: a reader skips its kind and length and
                // goes on with the first payload byte as the next kind.
                note_damage(p, "unknown record kind " + std::to_string(kind));
                size_t q = p + 1;
                uint32_t len;
                if (!read_uleb(q, limit, len)) q = limit;
                body << hex_bytes(u_, p, q) << "  ; unknown kind " << int(kind) << "\n";
                p = q;
            }
            continue;
        }
        const RECORD& rec = f.rec;
        track(rec, p < stream_end);
        std::string indent;
        if (rec.kind == REC_NODE) {
            // Indentation shows the nesting but the assembler ignores it; it
            // stops growing at a depth no written tree reaches, so that the
            // text of a tree of any depth stays in proportion to its bytes.
            indent.assign(2 * std::min<size_t>(tree_.size() + 1, MAX_INDENT_DEPTH), ' ');
            if (!tree_.empty()) --tree_.back();
            int op = int(rec.num("opcode"));
            int operands = is_leaf_opcode(op) ? 0 : OperatorTable::operand_count(op);
            if (operands > 0) tree_.push_back(operands);
            while (!tree_.empty() && tree_.back() == 0) tree_.pop_back();
        } else {
            tree_.clear();
        }
        std::string line = indent + record_line(rec);
        std::string c = comment_for(rec);
        if (!c.empty()) line += "  ; " + c;
        body << line << "\n";
        p = f.end;
    }

    // The header line names an offset only when no marker stands for it.
    RECORD hdr = h.rec;
    for (int s = 0; s < 5; ++s)
        if (marked[s] || offsets[s] == 0) hdr.value(SECTION_FIELDS[s])->text = "auto";
    out_ << record_line(hdr) << "\n" << body.str();
    check_offsets(offsets, h.end);
    if (!error_.empty()) {
        if (error) *error = error_;
        return false;
    }
    return true;
}

}  // namespace

bool disassemble(const std::string& unit, std::ostream& out, std::string* error) {
    DISASSEMBLER d(unit, out);
    return d.run(error);
}

}  // namespace icode_text
