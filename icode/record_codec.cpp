// Decoding and encoding of one record payload field by field, as its
// layout lists the fields.
#include "icode/record_codec.h"

#include <cstring>

namespace icode {

CATCH_ITEM get_catch(BYTE_SOURCE& in) {
    CATCH_ITEM item;
    item.text = in.get_string();
    item.number = in.get_uleb();
    item.flag = in.get_u8();
    return item;
}

void put_catch(BYTE_SINK& out, const CATCH_ITEM& item) {
    out.put_string(item.text);
    out.put_uleb(item.number);
    out.put_u8(item.flag);
}

void put_short(BYTE_SINK& out, uint16_t value) {
    out.put_u8(uint8_t(value & 0xff));
    out.put_u8(uint8_t(value >> 8));
}

void FIELD_VALUE::clear() {
    present = true;
    num = 0;
    text.clear();
    pos = POS_VALUE{};
    strings.clear();
    shorts.clear();
    catches.clear();
}

const FIELD_DESC& RECORD::desc(size_t i) const {
    size_t nhead = layout->head.size();
    return i < nhead ? layout->head[i] : tail->fields[i - nhead];
}

int RECORD::find(const char* name) const {
    // A lookup passes over several fields before it finds its own: the
    // address (the same literal) or the first letter settles most of them
    // without a full comparison.
    for (size_t i = 0; i < values.size(); ++i) {
        if (!values[i].present) continue;
        const char* field = desc(i).name;
        if (field == name || (field[0] == name[0] && std::strcmp(field, name) == 0)) return int(i);
    }
    return -1;
}

int64_t RECORD::num(const char* name) const {
    int i = find(name);
    return i < 0 ? 0 : values[size_t(i)].num;
}

const std::string& RECORD::text(const char* name) const {
    static const std::string empty;
    int i = find(name);
    return i < 0 ? empty : values[size_t(i)].text;
}

const FIELD_VALUE* RECORD::value(const char* name) const {
    int i = find(name);
    return i < 0 ? nullptr : &values[size_t(i)];
}

FIELD_VALUE* RECORD::value(const char* name) {
    int i = find(name);
    return i < 0 ? nullptr : &values[size_t(i)];
}

namespace {

void resize_values(RECORD& rec, size_t n) {
    if (rec.values.size() > n) rec.values.resize(n);
    for (auto& v : rec.values) v.clear();
    rec.values.resize(n);
}

bool field_signed(const RECORD& rec, const FIELD_DESC& d, const CODEC_CONTEXT& ctx) {
    if (!ctx.oracle || d.sign_from < 0 || size_t(d.sign_from) >= rec.values.size()) return false;
    int64_t id = rec.values[size_t(d.sign_from)].num;
    return id > 0 && ctx.oracle->is_signed(uint32_t(id));
}

// Each element of a counted list takes at least one byte, so a count larger
// than the bytes left is damage; refusing it keeps allocations bounded by the
// size of the record.
void check_count(uint64_t count, const BYTE_SOURCE& in, size_t min_bytes) {
    if (count * min_bytes > in.remaining()) throw DECODE_ERROR("count runs past the record");
}

void decode_field(RECORD& rec, size_t i, BYTE_SOURCE& in, CODEC_CONTEXT& ctx) {
    const FIELD_DESC& d = rec.desc(i);
    FIELD_VALUE& v = rec.values[i];
    if (!d.present_in(ctx.version)) {
        v.present = false;
        return;
    }
    switch (d.enc) {
        case ENC::U8:
        case ENC::BOOL: v.num = in.get_u8(); break;
        case ENC::I8: v.num = in.get_i8(); break;
        case ENC::I16: v.num = in.get_i16(); break;
        case ENC::U32: v.num = in.get_u32(); break;
        case ENC::ULEB:
        case ENC::TYPEREF: v.num = in.get_uleb(); break;
        case ENC::SLEB: v.num = in.get_sleb(); break;
        case ENC::SIGNED_BY_TYPE:
            v.num = field_signed(rec, d, ctx) ? int64_t(in.get_sleb()) : int64_t(in.get_uleb());
            break;
        case ENC::STRING: v.text = in.get_string(); break;
        case ENC::COUNTED: {
            uint32_t n = in.get_uleb();
            v.text = in.get_bytes(n);
            break;
        }
        case ENC::POS:
            v.pos.file = in.get_uleb();
            if (v.pos.file != 0) {
                v.pos.line = in.get_uleb();
                v.pos.column = in.get_uleb();
            }
            break;
        case ENC::STRINGS: {
            uint32_t n = in.get_uleb();
            check_count(n, in, 1);
            v.strings.reserve(n);
            for (uint32_t k = 0; k < n; ++k) v.strings.push_back(in.get_string());
            break;
        }
        case ENC::U16S: {
            uint8_t n = in.get_u8();
            check_count(n, in, 2);
            for (unsigned k = 0; k < n; ++k) v.shorts.push_back(in.get_u16());
            break;
        }
        case ENC::CATCHES:
            while (!in.at_end()) v.catches.push_back(get_catch(in));
            break;
        case ENC::REST: v.text = in.get_bytes(in.remaining()); break;
    }
    if (d.sets_version) ctx.version = int(v.num);
}

}  // namespace

bool RECORD::start(uint8_t k, int version, int64_t selector) {
    kind = k;
    layout = layout_of(k);
    tail = nullptr;
    if (!layout) return false;
    if (layout->select) {
        tail = layout->select(selector);
        if (!tail) return false;
    }
    resize_values(*this, layout->head.size() + (tail ? tail->fields.size() : 0));
    for (size_t i = 0; i < values.size(); ++i) values[i].present = desc(i).present_in(version);
    if (layout->select_by >= 0) values[size_t(layout->select_by)].num = selector;
    return true;
}

void decode_payload(RECORD& rec, uint8_t kind, const uint8_t* data, size_t size, CODEC_CONTEXT ctx,
                    size_t* consumed) {
    rec.kind = kind;
    rec.layout = layout_of(kind);
    rec.tail = nullptr;
    if (!rec.layout) throw DECODE_ERROR("record kind without layout");
    BYTE_SOURCE in(data, size);
    size_t nhead = rec.layout->head.size();
    resize_values(rec, nhead);
    for (size_t i = 0; i < nhead; ++i) decode_field(rec, i, in, ctx);
    if (rec.layout->select) {
        size_t sel = size_t(rec.layout->select_by);
        rec.tail = rec.layout->select(rec.values[sel].num);
        if (!rec.tail)
            throw DECODE_ERROR(std::string("no layout for ") + rec.layout->name + " " +
                               rec.layout->head[sel].name + " " +
                               std::to_string(rec.values[sel].num));
        rec.values.resize(nhead + rec.tail->fields.size());
        for (size_t i = nhead; i < rec.values.size(); ++i) decode_field(rec, i, in, ctx);
    }
    if (consumed) *consumed = size - in.remaining();
}

bool encode_payload(const RECORD& rec, BYTE_SINK& out, CODEC_CONTEXT ctx, std::string* why) {
    for (size_t i = 0; i < rec.values.size(); ++i) {
        const FIELD_DESC& d = rec.desc(i);
        const FIELD_VALUE& v = rec.values[i];
        if (!d.present_in(ctx.version)) continue;
        switch (d.enc) {
            case ENC::U8:
            case ENC::BOOL:
            case ENC::I8: out.put_u8(uint8_t(v.num)); break;
            case ENC::I16:
                if (!out.put_i16(v.num)) {
                    if (why) *why = "value exceeds size of short";
                    return false;
                }
                break;
            case ENC::U32: out.put_u32(uint32_t(v.num)); break;
            case ENC::ULEB:
            case ENC::TYPEREF: out.put_uleb(uint32_t(v.num)); break;
            case ENC::SLEB: out.put_sleb(int32_t(v.num)); break;
            case ENC::SIGNED_BY_TYPE:
                if (field_signed(rec, d, ctx))
                    out.put_sleb(int32_t(v.num));
                else
                    out.put_uleb(uint32_t(v.num));
                break;
            case ENC::STRING: out.put_string(v.text); break;
            case ENC::COUNTED:
                out.put_uleb(uint32_t(v.text.size()));
                out.put_bytes(v.text);
                break;
            case ENC::POS:
                out.put_uleb(v.pos.file);
                if (v.pos.file != 0) {
                    out.put_uleb(v.pos.line);
                    out.put_uleb(v.pos.column);
                }
                break;
            case ENC::STRINGS:
                out.put_uleb(uint32_t(v.strings.size()));
                for (const auto& s : v.strings) out.put_string(s);
                break;
            case ENC::U16S:
                if (v.shorts.size() > 255) {
                    if (why) *why = "more than 255 values";
                    return false;
                }
                out.put_u8(uint8_t(v.shorts.size()));
                for (uint16_t s : v.shorts) put_short(out, s);
                break;
            case ENC::CATCHES:
                for (const auto& c : v.catches) put_catch(out, c);
                break;
            case ENC::REST: out.put_bytes(v.text); break;
        }
        if (d.sets_version) ctx.version = int(v.num);
    }
    return true;
}

void frame_record(uint8_t kind, const std::string& payload, BYTE_SINK& out) {
    out.put_u8(kind);
    out.put_uleb(uint32_t(payload.size()));
    out.put_bytes(payload);
}

}  // namespace icode
