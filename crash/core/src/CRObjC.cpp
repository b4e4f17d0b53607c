#include <crash_core/CRMemory.h>
#include <crash_core/CRObjC.h>

#include <platform_runtime/NSObject.h>
#include <platform_runtime/ObjCClassRecord.h>

#include <cstring>

namespace {

// Read at load, so crash-time code never runs the runtime's lazy initialisation.
const size_t gIsaOffset = NSObject::isaOffset();

constexpr int kMaxSuperclassSteps = 20;
constexpr int kNameProbe = 128;
constexpr int kTypeProbe = 100;

bool isNameStart(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool isNameChar(char c) { return isNameStart(c) || (c >= '0' && c <= '9'); }

// A valid identifier: at least two readable bytes, a letter or underscore first, then name
// characters up to a NUL within what could be read.
bool isValidName(const char* name) {
    char copy[kNameProbe];
    size_t n = crmem_copyMaxPossible(name, copy, sizeof copy);
    if (n < 2 || !isNameStart(copy[0])) return false;
    for (size_t i = 1; i < n; ++i) {
        if (copy[i] == '\0') return true;
        if (!isNameChar(copy[i])) return false;
    }
    return false;
}

bool isValidTypeCode(const char* type) {
    char copy[kTypeProbe];
    size_t n = crmem_copyMaxPossible(type, copy, sizeof copy);
    if (n == 0 || copy[0] <= 0x20 || copy[0] > 0x7E) return false;
    return std::memchr(copy, 0, n) != nullptr;
}

bool readRecord(const void* pointer, ObjCClassRecord* record) {
    return pointer && crmem_copySafely(pointer, record, sizeof *record) && record->magic == OBJC_CLASS_RECORD_MAGIC;
}

// The class check: a readable record with the magic, an identifier name, at most 20
// superclass steps to the root, and a readable instance-variable table.
bool isValidClass(const void* pointer) {
    ObjCClassRecord record;
    if (!readRecord(pointer, &record) || !isValidName(record.name)) return false;
    if (record.ivarCount) {
        if (record.ivarCount > 4096) return false;
        for (uint32_t i = 0; i < record.ivarCount; ++i) {
            ObjCIvarRecord ivar;
            if (!crmem_copySafely(record.ivars + i, &ivar, sizeof ivar)) return false;
            if (!isValidName(ivar.name) || !isValidTypeCode(ivar.typeCode)) return false;
        }
    }
    const void* super = record.superclass;
    for (int step = 0; super; ++step) {
        ObjCClassRecord s;
        if (step >= kMaxSuperclassSteps || !readRecord(super, &s)) return false;
        super = s.superclass;
    }
    return true;
}

const void* classOf(const void* object) {
    const void* isa = nullptr;
    if (!object) return nullptr;
    if (!crmem_copySafely(static_cast<const char*>(object) + gIsaOffset, &isa, sizeof isa)) return nullptr;
    return isa;
}

bool readIvar(const void* classPointer, int index, ObjCIvarRecord* ivar) {
    ObjCClassRecord record;
    if (index < 0 || !readRecord(classPointer, &record) || static_cast<uint32_t>(index) >= record.ivarCount) return false;
    return crmem_copySafely(record.ivars + index, ivar, sizeof *ivar);
}

// A std::string member read through safe reads: its data pointer and length.
bool readStdString(const void* at, const char** data, size_t* length) {
    struct Layout {
        const char* data;
        size_t length;
    } s;
    if (!crmem_copySafely(at, &s, sizeof s)) return false;
    *data = s.data;
    *length = s.length;
    return true;
}

// The URL's absolute string: the class's "_absoluteString" variable.
bool urlText(const void* object, const char** data, size_t* length) {
    CRObjCIvar ivar;
    ObjCIvarRecord record;
    const void* cls = classOf(object);
    if (!crobjc_ivarNamed(cls, "_absoluteString", &ivar) || !readIvar(cls, ivar.index, &record)) return false;
    return readStdString(static_cast<const char*>(object) + record.offset, data, length);
}

// Bounded text output that never writes past the buffer and keeps it terminated.
struct Out {
    char* buffer;
    int length;
    int used = 0;
    void put(char c) {
        if (used + 1 < length) buffer[used++] = c;
        if (length > 0) buffer[used] = '\0';
    }
    void text(const char* s) {
        while (*s) put(*s++);
    }
    void hex32(uint32_t v) {
        static const char kHex[] = "0123456789abcdef";
        text("0x00000000");
        for (int shift = 28; shift >= 0; shift -= 4) put(kHex[(v >> shift) & 15]);
    }
};

}  // namespace

extern "C" {

bool crobjc_isTaggedPointer(const void*) { return false; }
bool crobjc_isValidTaggedPointer(const void*) { return false; }
uintptr_t crobjc_taggedPointerPayload(const void* pointer) {
    return reinterpret_cast<uintptr_t>(pointer) & 0x0FFFFFFFFFFFFFFFull;
}

const void* crobjc_isaPointer(const void* objectPointer) { return classOf(objectPointer); }

const char* crobjc_className(const void* classPointer) {
    ObjCClassRecord record;
    return readRecord(classPointer, &record) ? record.name : nullptr;
}

const char* crobjc_objectClassName(const void* objectPointer) {
    return crobjc_className(classOf(objectPointer));
}

CRObjCType crobjc_objectType(const void* pointer) {
    if (!pointer) return CRObjCTypeUnknown;
    if (isValidClass(pointer)) return CRObjCTypeClass;
    if (isValidClass(classOf(pointer))) return CRObjCTypeObject;
    return CRObjCTypeUnknown;
}

bool crobjc_isValidObject(const void* object) {
    if (crobjc_objectType(object) != CRObjCTypeObject) return false;
    if (crobjc_objectClassType(object) != CRObjCClassTypeURL) return true;
    const char* data;
    size_t length;
    char probe[1];
    return urlText(object, &data, &length) && (length == 0 || crmem_copySafely(data, probe, 1)) &&
           crmem_isMemoryReadable(data, length ? length : 1);
}

CRObjCClassType crobjc_objectClassType(const void* object) {
    const char* name = crobjc_objectClassName(object);
    char copy[8];
    if (!name || !crmem_copySafely(name, copy, 6)) return CRObjCClassTypeUnknown;
    return std::memcmp(copy, "NSURL", 6) == 0 ? CRObjCClassTypeURL : CRObjCClassTypeUnknown;
}

int crobjc_ivarCount(const void* classPointer) {
    ObjCClassRecord record;
    return readRecord(classPointer, &record) ? static_cast<int>(record.ivarCount) : 0;
}

int crobjc_ivarList(const void* classPointer, CRObjCIvar* dst, int capacity) {
    int n = crobjc_ivarCount(classPointer);
    int written = 0;
    for (int i = 0; i < n && written < capacity; ++i) {
        ObjCIvarRecord ivar;
        if (!readIvar(classPointer, i, &ivar)) break;
        dst[written++] = {ivar.name, ivar.typeCode, i};
    }
    return written;
}

bool crobjc_ivarNamed(const void* classPointer, const char* name, CRObjCIvar* dst) {
    if (!name) return false;
    size_t n = std::strlen(name);
    int count = crobjc_ivarCount(classPointer);
    for (int i = 0; i < count; ++i) {
        ObjCIvarRecord ivar;
        char copy[kNameProbe];
        if (!readIvar(classPointer, i, &ivar) || n + 1 > sizeof copy) continue;
        if (crmem_copyMaxPossible(ivar.name, copy, n + 1) == n + 1 && std::memcmp(copy, name, n + 1) == 0) {
            *dst = {ivar.name, ivar.typeCode, i};
            return true;
        }
    }
    return false;
}

bool crobjc_ivarValue(const void* objectPointer, int ivarIndex, void* dst) {
    ObjCIvarRecord ivar;
    if (!readIvar(classOf(objectPointer), ivarIndex, &ivar)) return false;
    size_t size = ivar.size < 8 ? ivar.size : 8;
    return size > 0 && crmem_copySafely(static_cast<const char*>(objectPointer) + ivar.offset, dst, size);
}

int crobjc_copyStringContents(const void* object, char* dst, int maxLength) {
    if (!dst || maxLength < 1) return 0;
    dst[0] = '\0';
    const char* data;
    size_t length;
    if (crobjc_objectClassType(object) != CRObjCClassTypeURL || !urlText(object, &data, &length)) return 0;
    size_t take = length < static_cast<size_t>(maxLength - 1) ? length : static_cast<size_t>(maxLength - 1);
    size_t got = take ? crmem_copyMaxPossible(data, dst, take) : 0;
    dst[got] = '\0';
    return static_cast<int>(got);
}

int crobjc_stringLength(const void* object) {
    const char* data;
    size_t length;
    if (crobjc_objectClassType(object) != CRObjCClassTypeURL || !urlText(object, &data, &length)) return 0;
    return static_cast<int>(length);
}

double crobjc_numberAsFloat(const void*) { return __builtin_nan(""); }
int64_t crobjc_numberAsInteger(const void*) { return 0; }
double crobjc_dateContents(const void*) { return 0; }
int crobjc_arrayCount(const void*) { return 0; }
int crobjc_arrayContents(const void*, uintptr_t*, int) { return 0; }

int crobjc_getDescription(void* object, char* buffer, int bufferLength) {
    if (!buffer || bufferLength < 1) return 0;
    Out out{buffer, bufferLength};
    buffer[0] = '\0';
    const char* name = crobjc_objectClassName(object);
    char nameCopy[kNameProbe];
    size_t n = name ? crmem_copyMaxPossible(name, nameCopy, sizeof nameCopy - 1) : 0;
    nameCopy[n] = '\0';
    out.put('<');
    out.text(nameCopy);
    out.text(": ");
    out.hex32(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(object)));
    out.put('>');
    if (crobjc_objectClassType(object) == CRObjCClassTypeURL) {
        char text[512];
        crobjc_copyStringContents(object, text, sizeof text);
        out.text(": \"");
        out.text(text);
        out.put('"');
    }
    return out.used;
}

bool crstring_isNullTerminatedUTF8String(const void* memory, int minLength, int maxLength) {
    if (maxLength < 1 || !memory) return false;
    char buffer[1024];
    if (maxLength > static_cast<int>(sizeof buffer)) maxLength = sizeof buffer;
    int readable = static_cast<int>(crmem_copyMaxPossible(memory, buffer, static_cast<size_t>(maxLength)));
    const auto* p = reinterpret_cast<const unsigned char*>(buffer);
    for (int i = 0; i < readable; ++i) {
        unsigned char c = p[i];
        if (c == 0) return i >= minLength;
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
        if (c >= 0x80) {
            int more;
            if ((c & 0xE0) == 0xC0) more = 1;
            else if ((c & 0xF0) == 0xE0) more = 2;
            else if ((c & 0xF8) == 0xF0) more = 3;
            else if ((c & 0xFC) == 0xF8) more = 4;
            else if ((c & 0xFE) == 0xFC) more = 5;
            else return false;
            if (i + more >= maxLength || i + more >= readable) return false;
            for (int k = 1; k <= more; ++k)
                if ((p[i + k] & 0xC0) != 0x80) return false;
            i += more;
        }
    }
    return false;
}

bool crstring_extractHexValue(const char* string, int stringLength, uint64_t* result) {
    if (!string || stringLength < 1 || !result) return false;
    auto hex = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    for (int i = 0; i + 2 < stringLength; ++i) {
        if (string[i] != '0' || string[i + 1] != 'x' || hex(string[i + 2]) < 0) continue;
        uint64_t v = 0;
        for (int k = i + 2; k < stringLength && hex(string[k]) >= 0; ++k) v = v * 16 + static_cast<uint64_t>(hex(string[k]));
        *result = v;
        return true;
    }
    return false;
}

}  // extern "C"
