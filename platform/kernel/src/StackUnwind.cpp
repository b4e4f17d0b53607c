#include <platform_kernel/StackUnwind.h>

#include <platform_kernel/ImageTable.h>
#include <platform_kernel/SafeMemory.h>

#include <cstring>

namespace kernel {

namespace {

// DW_EH_PE pointer encodings.
constexpr uint8_t kOmit = 0xff;
constexpr uint8_t kPcRel = 0x10, kDataRel = 0x30;

// Bounded reads of an image's mapped tables: every byte must lie in a PT_LOAD range.
struct Reader {
    const Image& image;
    uintptr_t p;
    bool ok = true;
    uintptr_t lo = 0, hi = 0;  // the segment of the last read

    bool holds(std::size_t n) {
        if (p >= lo && p + n <= hi && p + n >= p) return true;
        for (int i = 0; i < image.segmentCount; ++i) {
            const ImageSegment& s = image.segments[i];
            if (p >= s.start && p < s.end && n <= s.end - p) {
                lo = s.start;
                hi = s.end;
                return true;
            }
        }
        return false;
    }

    template <class T>
    T read() {
        T v{};
        if (!ok || !holds(sizeof(T))) {
            ok = false;
            return v;
        }
        std::memcpy(&v, reinterpret_cast<const void*>(p), sizeof(T));
        p += sizeof(T);
        return v;
    }
    uint64_t uleb() {
        uint64_t v = 0;
        for (int shift = 0; ok && shift < 64; shift += 7) {
            uint8_t b = read<uint8_t>();
            v |= uint64_t(b & 0x7f) << shift;
            if (!(b & 0x80)) return v;
        }
        ok = false;
        return 0;
    }
    int64_t sleb() {
        int64_t v = 0;
        int shift = 0;
        uint8_t b = 0;
        do {
            if (shift >= 64) {
                ok = false;
                return 0;
            }
            b = read<uint8_t>();
            v |= int64_t(b & 0x7f) << shift;
            shift += 7;
        } while (ok && (b & 0x80));
        if (shift < 64 && (b & 0x40)) v |= -(int64_t(1) << shift);
        return v;
    }
    // An encoded pointer; dataBase is the .eh_frame_hdr start for datarel.
    uint64_t pointer(uint8_t enc, uintptr_t dataBase = 0) {
        if (enc == kOmit) return 0;
        uintptr_t at = p;
        uint64_t v = 0;
        switch (enc & 0x0f) {
            case 0x00: v = read<uint64_t>(); break;
            case 0x01: v = uleb(); break;
            case 0x02: v = read<uint16_t>(); break;
            case 0x03: v = read<uint32_t>(); break;
            case 0x04: v = read<uint64_t>(); break;
            case 0x09: v = static_cast<uint64_t>(sleb()); break;
            case 0x0a: v = static_cast<uint64_t>(int64_t(read<int16_t>())); break;
            case 0x0b: v = static_cast<uint64_t>(int64_t(read<int32_t>())); break;
            case 0x0c: v = static_cast<uint64_t>(read<int64_t>()); break;
            default: ok = false; return 0;
        }
        switch (enc & 0x70) {
            case 0x00: break;
            case kPcRel: v += at; break;
            case kDataRel: v += dataBase; break;
            default: ok = false; return 0;
        }
        return v;  // indirect pointers (0x80) do not occur in these tables
    }
};

struct Rule {
    enum Kind : uint8_t { Same, Undefined, Offset, ValOffset, Register } kind = Same;
    int64_t value = 0;
};

struct RowState {
    int cfaRegister = kDwarfRsp;
    int64_t cfaOffset = 8;
    Rule rules[kDwarfRegisters];
};

struct Cie {
    uint64_t codeAlign = 1;
    int64_t dataAlign = -8;
    uint64_t returnRegister = kDwarfRip;
    uint8_t fdeEncoding = 0;
    bool hasAugmentationData = false;
    uintptr_t instructions = 0, end = 0;
};

bool parseCie(const Image& image, uintptr_t at, Cie& cie) {
    Reader r{image, at};
    uint64_t length = r.read<uint32_t>();
    if (length == 0xffffffff) length = r.read<uint64_t>();
    uintptr_t start = r.p;
    if (!r.ok || length == 0) return false;
    cie.end = start + length;
    if (r.read<uint32_t>() != 0) return false;  // CIE id
    uint8_t version = r.read<uint8_t>();
    char augmentation[8];
    int n = 0;
    for (char c; r.ok && (c = static_cast<char>(r.read<uint8_t>())) != 0;) {
        if (n >= 7) return false;
        augmentation[n++] = c;
    }
    augmentation[n] = 0;
    cie.codeAlign = r.uleb();
    cie.dataAlign = r.sleb();
    cie.returnRegister = version == 1 ? r.read<uint8_t>() : r.uleb();
    if (augmentation[0] == 'z') {
        cie.hasAugmentationData = true;
        uint64_t size = r.uleb();
        uintptr_t dataEnd = r.p + size;
        for (int i = 1; i < n && r.ok; ++i) {
            switch (augmentation[i]) {
                case 'R': cie.fdeEncoding = r.read<uint8_t>(); break;
                case 'P': r.pointer(r.read<uint8_t>() & 0x7f); break;
                case 'L': r.read<uint8_t>(); break;
                case 'S': break;  // signal frame: its rules are expressions we do not run
                default: i = n; break;
            }
        }
        r.p = dataEnd;
    } else if (n != 0) {
        return false;
    }
    cie.instructions = r.p;
    return r.ok && cie.returnRegister < kDwarfRegisters;
}

// Runs CFA instructions up to (not past) pc. False on anything not understood.
bool run(const Image& image, uintptr_t from, uintptr_t to, const Cie& cie, uint64_t loc, uint64_t pc,
         RowState& row, const RowState* initial) {
    constexpr int kStackDepth = 8;
    RowState saved[kStackDepth];
    int depth = 0;
    Reader r{image, from};
    auto rule = [&](uint64_t reg) -> Rule* { return reg < kDwarfRegisters ? &row.rules[reg] : nullptr; };
    while (r.ok && r.p < to) {
        uint8_t op = r.read<uint8_t>();
        uint8_t low = op & 0x3f;
        switch (op & 0xc0) {
            case 0x40:
                loc += low * cie.codeAlign;
                if (loc > pc) return true;
                continue;
            case 0x80: {
                int64_t off = static_cast<int64_t>(r.uleb()) * cie.dataAlign;
                if (Rule* x = rule(low)) *x = {Rule::Offset, off};
                continue;
            }
            case 0xc0:
                if (Rule* x = rule(low)) *x = initial ? initial->rules[low] : Rule{};
                continue;
            default: break;
        }
        switch (op) {
            case 0x00: break;  // nop
            case 0x01: loc = r.pointer(cie.fdeEncoding); if (loc > pc) return true; break;
            case 0x02: loc += r.read<uint8_t>() * cie.codeAlign; if (loc > pc) return true; break;
            case 0x03: loc += r.read<uint16_t>() * cie.codeAlign; if (loc > pc) return true; break;
            case 0x04: loc += r.read<uint32_t>() * cie.codeAlign; if (loc > pc) return true; break;
            case 0x05: {  // offset_extended
                uint64_t reg = r.uleb();
                int64_t off = static_cast<int64_t>(r.uleb()) * cie.dataAlign;
                if (Rule* x = rule(reg)) *x = {Rule::Offset, off};
                break;
            }
            case 0x06: {  // restore_extended
                uint64_t reg = r.uleb();
                if (Rule* x = rule(reg)) *x = initial ? initial->rules[reg] : Rule{};
                break;
            }
            case 0x07: if (Rule* x = rule(r.uleb())) *x = {Rule::Undefined, 0}; break;
            case 0x08: if (Rule* x = rule(r.uleb())) *x = {Rule::Same, 0}; break;
            case 0x09: {
                uint64_t reg = r.uleb(), other = r.uleb();
                if (Rule* x = rule(reg)) *x = {Rule::Register, static_cast<int64_t>(other)};
                break;
            }
            case 0x0a:
                if (depth >= kStackDepth) return false;
                saved[depth++] = row;
                break;
            case 0x0b:
                if (depth == 0) return false;
                row = saved[--depth];  // the whole row, CFA rule included
                break;
            case 0x0c: row.cfaRegister = static_cast<int>(r.uleb()); row.cfaOffset = static_cast<int64_t>(r.uleb()); break;
            case 0x0d: row.cfaRegister = static_cast<int>(r.uleb()); break;
            case 0x0e: row.cfaOffset = static_cast<int64_t>(r.uleb()); break;
            case 0x11: {
                uint64_t reg = r.uleb();
                int64_t off = r.sleb() * cie.dataAlign;
                if (Rule* x = rule(reg)) *x = {Rule::Offset, off};
                break;
            }
            case 0x12: row.cfaRegister = static_cast<int>(r.uleb()); row.cfaOffset = r.sleb() * cie.dataAlign; break;
            case 0x13: row.cfaOffset = r.sleb() * cie.dataAlign; break;
            case 0x14: {
                uint64_t reg = r.uleb();
                int64_t off = static_cast<int64_t>(r.uleb()) * cie.dataAlign;
                if (Rule* x = rule(reg)) *x = {Rule::ValOffset, off};
                break;
            }
            case 0x15: {
                uint64_t reg = r.uleb();
                int64_t off = r.sleb() * cie.dataAlign;
                if (Rule* x = rule(reg)) *x = {Rule::ValOffset, off};
                break;
            }
            case 0x10:    // expression
            case 0x16: {  // val_expression: fine for registers we never restore
                uint64_t reg = r.uleb();
                r.p += r.uleb();
                if (reg == kDwarfRbp || reg == kDwarfRsp || reg == cie.returnRegister) return false;
                if (Rule* x = rule(reg)) *x = {Rule::Undefined, 0};
                break;
            }
            case 0x2e: r.uleb(); break;  // GNU_args_size
            case 0x2f: {                 // GNU_negative_offset_extended
                uint64_t reg = r.uleb();
                int64_t off = -static_cast<int64_t>(r.uleb()) * cie.dataAlign;
                if (Rule* x = rule(reg)) *x = {Rule::Offset, off};
                break;
            }
            default: return false;  // def_cfa_expression and anything unknown
        }
    }
    return r.ok;
}

// The FDE covering pc through the binary-search table; false when there is none.
bool findFde(const Image& image, uint64_t pc, uintptr_t& fde) {
    if (!image.ehFrameHeader) return false;
    uintptr_t hdr = image.ehFrameHeader;
    Reader r{image, hdr};
    uint8_t version = r.read<uint8_t>();
    uint8_t framePtrEnc = r.read<uint8_t>();
    uint8_t countEnc = r.read<uint8_t>();
    uint8_t tableEnc = r.read<uint8_t>();
    if (!r.ok || version != 1 || tableEnc != (kDataRel | 0x0b)) return false;
    r.pointer(framePtrEnc, hdr);
    uint64_t count = r.pointer(countEnc, hdr);
    if (!r.ok || count == 0) return false;
    uintptr_t table = r.p;
    if (!imageHolds(image, table, count * 8)) return false;
    auto entry = [&](uint64_t i, int32_t& loc, int32_t& addr) {
        std::memcpy(&loc, reinterpret_cast<const void*>(table + i * 8), 4);
        std::memcpy(&addr, reinterpret_cast<const void*>(table + i * 8 + 4), 4);
    };
    uint64_t lo = 0, hi = count;
    while (hi - lo > 1) {
        uint64_t mid = (lo + hi) / 2;
        int32_t loc, addr;
        entry(mid, loc, addr);
        if (hdr + loc <= pc)
            lo = mid;
        else
            hi = mid;
    }
    int32_t loc, addr;
    entry(lo, loc, addr);
    if (hdr + loc > pc) return false;
    fde = hdr + addr;
    return true;
}

}  // namespace

bool StackWindow::read(uintptr_t address, void* out, std::size_t n) {
    if (n > sizeof bytes) return safeRead(reinterpret_cast<const void*>(address), out, n);
    if (address < start || address + n > start + size || address + n < address) {
        start = address;
        size = static_cast<uint32_t>(safeReadPrefix(reinterpret_cast<const void*>(address), bytes, sizeof bytes));
        if (size < n) return false;
    }
    std::memcpy(out, bytes + (address - start), n);
    return true;
}

// The CFI row in force at pc and its CIE's return-address register; false when the
// image, its FDE or its rules are not understood.
static bool rowAt(uint64_t pc, RowState& row, uint64_t& returnRegister) {
    const Image* image = imageContaining(pc);
    uintptr_t fde = 0;
    if (!image || !findFde(*image, pc, fde)) return false;

    Reader r{*image, fde};
    uint64_t length = r.read<uint32_t>();
    if (length == 0xffffffff) length = r.read<uint64_t>();
    uintptr_t idAt = r.p;
    uint32_t cieOffset = r.read<uint32_t>();
    if (!r.ok || length == 0 || cieOffset == 0) return false;
    uintptr_t fdeEnd = idAt + length;
    Cie cie;
    if (!parseCie(*image, idAt - cieOffset, cie)) return false;
    uint64_t begin = r.pointer(cie.fdeEncoding);
    uint64_t range = r.pointer(cie.fdeEncoding & 0x0f);
    if (!r.ok || pc < begin || pc >= begin + range) return false;
    if (cie.hasAugmentationData) r.p += r.uleb();
    if (!r.ok) return false;

    RowState initial;
    if (!run(*image, cie.instructions, cie.end, cie, begin, UINT64_MAX, initial, nullptr)) return false;
    row = initial;
    if (!run(*image, r.p, fdeEnd, cie, begin, pc, row, &initial)) return false;
    returnRegister = cie.returnRegister;
    return true;
}

CallerRuleLookup callerRuleAt(uint64_t pc, CallerRule& rule) {
    RowState row;
    uint64_t returnRegister = kDwarfRip;
    if (!rowAt(pc, row, returnRegister)) return CallerRuleLookup::NoInformation;
    const Rule& ra = row.rules[returnRegister];
    if (ra.kind == Rule::Undefined) return CallerRuleLookup::Outermost;
    if (row.cfaRegister != kDwarfRsp && row.cfaRegister != kDwarfRbp) return CallerRuleLookup::NoInformation;
    if (ra.kind != Rule::Offset) return CallerRuleLookup::NoInformation;
    rule.cfaFromRbp = row.cfaRegister == kDwarfRbp;
    rule.cfaOffset = row.cfaOffset;
    rule.returnAddressOffset = ra.value;
    const Rule& rbp = row.rules[kDwarfRbp];
    switch (rbp.kind) {
        case Rule::Same: rule.rbp = CallerRule::RbpSame; break;
        case Rule::Offset: rule.rbp = CallerRule::RbpSaved; rule.rbpOffset = rbp.value; break;
        default: rule.rbp = CallerRule::RbpUnknown; break;
    }
    return CallerRuleLookup::Found;
}

UnwindStep unwindStep(UnwindFrame& frame, bool isReturnAddress, StackWindow* window) {
    if (!frame.has(kDwarfRip) || !frame.has(kDwarfRsp)) return UnwindStep::NoInformation;
    uint64_t pc = frame.regs[kDwarfRip] - (isReturnAddress ? 1 : 0);
    RowState row;
    uint64_t returnRegister = kDwarfRip;
    if (!rowAt(pc, row, returnRegister)) return UnwindStep::NoInformation;

    if (row.cfaRegister >= kDwarfRegisters || !frame.has(row.cfaRegister)) return UnwindStep::NoInformation;
    uint64_t cfa = frame.regs[row.cfaRegister] + static_cast<uint64_t>(row.cfaOffset);
    const Rule& ra = row.rules[returnRegister];
    if (ra.kind == Rule::Undefined) return UnwindStep::End;

    UnwindFrame next;
    for (int reg = 0; reg < kDwarfRegisters; ++reg) {
        const Rule& rule = row.rules[reg];
        switch (rule.kind) {
            case Rule::Same:
                if (frame.has(reg)) next.set(reg, frame.regs[reg]);
                break;
            case Rule::Undefined: break;
            case Rule::Offset: {
                uint64_t v;
                uintptr_t at = cfa + static_cast<uint64_t>(rule.value);
                bool ok = window ? window->read(at, &v, sizeof v)
                                 : safeRead(reinterpret_cast<const void*>(at), &v, sizeof v);
                if (!ok) return UnwindStep::NoInformation;
                next.set(reg, v);
                break;
            }
            case Rule::ValOffset: next.set(reg, cfa + static_cast<uint64_t>(rule.value)); break;
            case Rule::Register:
                if (rule.value >= 0 && rule.value < kDwarfRegisters && frame.has(static_cast<int>(rule.value)))
                    next.set(reg, frame.regs[rule.value]);
                break;
        }
    }
    next.set(kDwarfRsp, cfa);
    if (returnRegister != kDwarfRip) {
        if (!next.has(static_cast<int>(returnRegister))) return UnwindStep::NoInformation;
        next.set(kDwarfRip, next.regs[returnRegister]);
    }
    if (!next.has(kDwarfRip)) return UnwindStep::NoInformation;
    if (next.regs[kDwarfRip] == 0) return UnwindStep::End;
    frame = next;
    return UnwindStep::Stepped;
}

}  // namespace kernel
