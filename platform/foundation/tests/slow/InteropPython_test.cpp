// An independent reader (python3's plistlib and json) agrees with what the codecs write, and
// the codecs read what it writes. Both sides print the same canonical text of a value.

#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include <platform_foundation/NSJSONSerialization.h>
#include <platform_foundation/NSKeyedArchiver.h>
#include <platform_foundation/NSKeyedUnarchiver.h>
#include <platform_foundation/NSPropertyListSerialization.h>

#include "CodecTestHelpers.h"

namespace {

// N null, B0/B1 bool, I integer, R<bits of the double>, S<hex of UTF-8>, D<hex>, T<microseconds
// since 2001>, [..] arrays, <..> sets (sorted), {k:v,..} dictionaries sorted by key bytes.
const char kScript[] = R"PY(
import json, plistlib, struct, sys, datetime

REF = datetime.datetime(2001, 1, 1)

def date_us(d):
    if d.tzinfo is not None:
        d = d.replace(tzinfo=None) - d.utcoffset()
    delta = d - REF
    return (delta.days * 86400 + delta.seconds) * 1000000 + delta.microseconds

def canon(v):
    if v is None: return 'N'
    if isinstance(v, bool): return 'B1' if v else 'B0'
    if isinstance(v, int): return 'I%d' % v
    if isinstance(v, float): return 'R' + struct.pack('>d', v).hex()
    if isinstance(v, str): return 'S' + v.encode('utf-8').hex()
    if isinstance(v, (bytes, bytearray)): return 'D' + bytes(v).hex()
    if isinstance(v, datetime.datetime): return 'T%d' % date_us(v)
    if isinstance(v, list): return '[' + ','.join(canon(x) for x in v) + ']'
    if isinstance(v, frozenset): return '<' + ','.join(sorted(canon(x) for x in v)) + '>'
    if isinstance(v, dict):
        keys = sorted(v.keys(), key=lambda k: k.encode('utf-8') if isinstance(k, str) else b'')
        return '{' + ','.join(canon(k) + ':' + canon(v[k]) for k in keys) + '}'
    if isinstance(v, plistlib.UID): return 'U%d' % v.data
    raise TypeError(type(v))

def unarchive(top):
    if top.get('$archiver') != 'NSKeyedArchiver' or top.get('$version') != 100000:
        raise ValueError('not a keyed archive')
    objs = top['$objects']
    if objs[0] != '$null': raise ValueError('$null missing')
    def obj(ref):
        if not isinstance(ref, plistlib.UID): raise ValueError('not a UID')
        if ref.data == 0: return None
        o = objs[ref.data]
        if not isinstance(o, dict): return o
        cls = objs[o['$class'].data]
        name, chain = cls['$classname'], cls['$classes']
        if chain[0] != name or chain[-1] != 'NSObject': raise ValueError('bad class chain')
        if name in ('NSArray', 'NSMutableArray'): return [obj(x) for x in o['NS.objects']]
        if name in ('NSSet', 'NSMutableSet'): return frozenset(obj(x) for x in o['NS.objects'])
        if name in ('NSDictionary', 'NSMutableDictionary'):
            return {obj(k): obj(v) for k, v in zip(o['NS.keys'], o['NS.objects'])}
        if name == 'NSDate': return REF + datetime.timedelta(seconds=o['NS.time'])
        if name == 'NSMutableString': return o['NS.string']
        if name == 'NSMutableData': return o['NS.bytes']
        if name == 'NSNull': return None
        raise ValueError('unknown class ' + name)
    return obj(top['$top']['root'])

def sample():
    return {
        'bools': [True, False], 'ints': [0, 1, -1, 255, 65536, -2**63, 2**63 - 1],
        'unsigned': [2**63, 2**64 - 1], 'reals': [0.1, 1e300, -2.5, 5e-324],
        'dates': [REF, REF + datetime.timedelta(seconds=700000000), datetime.datetime(4000, 12, 31, 23, 59, 59)],
        'data': b'\x00\x01\xff', 'strings': ['', 'plain', '<&>', '\u00e9\U0001F600'],
        'nested': {'list': [{'k': 'v'}], 'empty': {}},
    }

def archive(root):
    objects = ['$null']
    classes = {}
    def cls(name, chain):
        if name not in classes:
            objects.append({'$classname': name, '$classes': chain})
            classes[name] = plistlib.UID(len(objects) - 1)
        return classes[name]
    def add(v):
        if isinstance(v, (bool, int, float, str, bytes)):
            objects.append(v)
            return plistlib.UID(len(objects) - 1)
        o = {}
        objects.append(o)
        uid = plistlib.UID(len(objects) - 1)
        if isinstance(v, list):
            o['NS.objects'] = [add(x) for x in v]
            o['$class'] = cls('NSArray', ['NSArray', 'NSObject'])
        elif isinstance(v, dict):
            keys = list(v.keys())
            o['NS.keys'] = [add(k) for k in keys]
            o['NS.objects'] = [add(v[k]) for k in keys]
            o['$class'] = cls('NSMutableDictionary', ['NSMutableDictionary', 'NSDictionary', 'NSObject'])
        elif isinstance(v, datetime.datetime):
            o['NS.time'] = (v - REF).total_seconds()
            o['$class'] = cls('NSDate', ['NSDate', 'NSObject'])
        else:
            raise TypeError(type(v))
        return uid
    root_uid = add(root)
    return {'$archiver': 'NSKeyedArchiver', '$version': 100000, '$top': {'root': root_uid}, '$objects': objects}

cmd = sys.argv[1]
if cmd == 'dump':
    kind, path = sys.argv[2], sys.argv[3]
    with open(path, 'rb') as f:
        if kind == 'plist': print(canon(plistlib.load(f)))
        elif kind == 'archive': print(canon(unarchive(plistlib.load(f))))
        elif kind == 'json': print(canon(json.load(f)))
elif cmd == 'write':
    kind, path = sys.argv[2], sys.argv[3]
    with open(path, 'wb') as f:
        if kind == 'bplist': plistlib.dump(sample(), f, fmt=plistlib.FMT_BINARY, sort_keys=False)
        elif kind == 'xml': plistlib.dump(sample(), f, fmt=plistlib.FMT_XML)
        elif kind == 'archive':
            plistlib.dump(archive(sample()), f, fmt=plistlib.FMT_BINARY, sort_keys=False)
    print(canon(sample()))
)PY";

std::string hex(const void* p, std::size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < n; ++i) {
        const auto b = static_cast<const uint8_t*>(p)[i];
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

std::string canon(const Value& v) {
    switch (v.type()) {
    case Value::Type::Null:
        return "N";
    case Value::Type::Bool:
        return v.asBool() ? "B1" : "B0";
    case Value::Type::Int:
        return "I" + std::to_string(v.asInt());
    case Value::Type::UInt:
        return "I" + std::to_string(v.asUInt());
    case Value::Type::Double: {
        const double d = v.asDouble();
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        char buf[20];
        std::snprintf(buf, sizeof buf, "R%016" PRIx64, bits);
        return buf;
    }
    case Value::Type::String:
        return "S" + hex(v.asString().data(), v.asString().size());
    case Value::Type::Data:
        return "D" + hex(v.asData().data(), v.asData().size());
    case Value::Type::Date:
        return "T" + std::to_string(std::llround(v.asDate().timeIntervalSinceReferenceDate() * 1e6));
    case Value::Type::Array: {
        std::string out = "[";
        for (std::size_t i = 0; i < v.count(); ++i) out += (i ? "," : "") + canon(v[i]);
        return out + "]";
    }
    case Value::Type::Set: {
        std::vector<std::string> items;
        for (const Value& item : v.asSet()) items.push_back(canon(item));
        std::sort(items.begin(), items.end());
        std::string out = "<";
        for (std::size_t i = 0; i < items.size(); ++i) out += (i ? "," : "") + items[i];
        return out + ">";
    }
    case Value::Type::Dictionary: {
        std::string out = "{";
        bool first = true;
        for (const auto& [key, item] : v.asDictionary()) {
            out += (first ? "" : ",") + canon(key) + ":" + canon(item);
            first = false;
        }
        return out + "}";
    }
    default:
        return "?";
    }
}

// The interpreter's real path: launchers in front of python3 can cost a second per start.
const std::string& pythonPath() {
    static const std::string path = [] {
        std::string out;
        if (FILE* pipe = popen("python3 -c 'import sys, plistlib, json; print(sys.executable)' 2>/dev/null", "r")) {
            char buf[1024];
            while (std::size_t n = std::fread(buf, 1, sizeof buf, pipe)) out.append(buf, n);
            if (pclose(pipe) != 0) out.clear();
        }
        while (!out.empty() && out.back() == '\n') out.pop_back();
        return out;
    }();
    return path;
}

class InteropPython : public ::testing::Test {
protected:
    void SetUp() override {
        if (pythonPath().empty()) GTEST_SKIP() << "python3 is not available";
        ASSERT_FALSE(dir_.path().empty());
        script_ = dir_.file("canon.py");
        codec_test::writeFile(script_, Value::Data(kScript, kScript + sizeof kScript - 1));
    }

    // Runs the script and answers its output without the trailing newline ("" on failure).
    std::string python(const std::string& args) {
        const std::string command = "'" + pythonPath() + "' '" + script_ + "' " + args + " 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return "";
        std::string out;
        char buf[4096];
        while (std::size_t n = std::fread(buf, 1, sizeof buf, pipe)) out.append(buf, n);
        const int status = pclose(pipe);
        EXPECT_EQ(status, 0) << out;
        while (!out.empty() && out.back() == '\n') out.pop_back();
        return out;
    }

    std::string dumpWithPython(const std::string& kind, const Value::Data& bytes, const std::string& name) {
        const std::string path = dir_.file(name);
        codec_test::writeFile(path, bytes);
        return python("dump " + kind + " '" + path + "'");
    }

    codec_test::TempDir dir_;
    std::string script_;
};

Value sample() {
    Value nested = Value::dict({{"list", Value::array({Value::dict({{"k", "v"}})})}, {"empty", Value::dict({})}});
    return Value::dict({
        {"bools", Value::array({true, false})},
        {"ints", Value::array({int64_t{0}, int64_t{1}, int64_t{-1}, int64_t{255}, int64_t{65536},
                               std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max()})},
        {"unsigned", Value::array({uint64_t{9223372036854775808ull}, std::numeric_limits<uint64_t>::max()})},
        {"reals", Value::array({0.1, 1e300, -2.5, 5e-324})},
        {"dates", Value::array({Value(NSDate(0)), Value(NSDate(700000000)),
                                Value(NSDate(NSDate::dateWithTimeIntervalSince1970(32535215999.0)))})},
        {"data", Value(Value::Data{0, 1, 0xFF})},
        {"strings", Value::array({"", "plain", "<&>", "\xC3\xA9\xF0\x9F\x98\x80"})},
        {"nested", nested},
    });
}

}  // namespace

TEST_F(InteropPython, ReadsOurPropertyLists) {
    const Value v = sample();
    for (auto [format, name] : {std::pair{NSPropertyListBinaryFormat_v1_0, "ours.bplist"},
                                std::pair{NSPropertyListXMLFormat_v1_0, "ours.xml"}}) {
        NSErrorPtr error;
        const Value::Data data = NSPropertyListSerialization::dataWithPropertyList(v, format, 0, &error);
        ASSERT_FALSE(error);
        EXPECT_EQ(dumpWithPython("plist", data, name), canon(v)) << name;
    }
    // Binary keeps what XML cannot: sub-second dates and the sign of zero.
    const Value fine = Value::array({Value(NSDate(12.25)), Value(NSDate(-86400.5)), -0.0});
    EXPECT_EQ(dumpWithPython("plist", NSPropertyListSerialization::dataWithPropertyList(fine, NSPropertyListBinaryFormat_v1_0),
                             "fine.bplist"),
              canon(fine));
}

TEST_F(InteropPython, ReadsOurKeyedArchives) {
    Value v = sample();
    Value mutableText("mutable");
    mutableText.setMutable(true);
    Value mutableBytes(Value::Data{7, 8});
    mutableBytes.setMutable(true);
    v.setObject(Value::array({Value::set({"a", "b", int64_t{3}}), Value(), Value(NSDate(0.5)), mutableText, mutableBytes}),
                "objects");
    for (auto format : {NSPropertyListBinaryFormat_v1_0, NSPropertyListXMLFormat_v1_0}) {
        NSKeyedArchiver archiver(true);
        archiver.setOutputFormat(format);
        archiver.encodeObject(v, "root");
        const Value::Data data = archiver.encodedData();
        ASSERT_FALSE(archiver.error());
        if (format == NSPropertyListXMLFormat_v1_0) continue;  // XML has no UID element: python reads dicts
        EXPECT_EQ(dumpWithPython("archive", data, "ours.archive"), canon(v));
    }
}

TEST_F(InteropPython, ReadsOurJSON) {
    const Value v = Value::dict({
        {"bools", Value::array({true, false})},
        {"ints", Value::array({int64_t{0}, int64_t{-1}, std::numeric_limits<int64_t>::min(),
                               std::numeric_limits<uint64_t>::max()})},
        {"reals", Value::array({0.1, 1e300, -0.0, 1.5e-7, 5e-324})},
        {"strings", Value::array({"a/b", "q\"\\", std::string("\0\x01\x1f\x7f", 4), "\xC3\xA9\xF0\x9F\x98\x80"})},
        {"null", Value()},
        {"nested", Value::dict({{"x", Value::array({})}})},
    });
    for (NSJSONWritingOptions options : {0u, NSJSONWritingPrettyPrinted, NSJSONWritingWithoutEscapingSlashes}) {
        NSErrorPtr error;
        const Value::Data data = NSJSONSerialization::dataWithJSONObject(v, options, &error);
        ASSERT_FALSE(error);
        EXPECT_EQ(dumpWithPython("json", data, "ours.json"), canon(v)) << options;
    }
}

TEST_F(InteropPython, WeReadPythonsPropertyListsAndArchives) {
    for (auto [kind, name] : {std::pair{"bplist", "py.bplist"}, std::pair{"xml", "py.xml"}}) {
        const std::string path = dir_.file(name);
        const std::string expected = python(std::string("write ") + kind + " '" + path + "'");
        NSErrorPtr error;
        const Value v = NSPropertyListSerialization::propertyListWithData(codec_test::readFile(path), 0, nullptr, &error);
        ASSERT_FALSE(error) << kind << ": " << error->description();
        EXPECT_EQ(canon(v), expected) << kind;
    }
    const std::string path = dir_.file("py.archive");
    const std::string expected = python("write archive '" + path + "'");
    NSErrorPtr error;
    const Value v = NSKeyedUnarchiver::unarchivedObjectOfClasses(
        {"NSDictionary", "NSArray", "NSString", "NSNumber", "NSData", "NSDate"}, codec_test::readFile(path), &error);
    ASSERT_FALSE(error) << error->description();
    EXPECT_EQ(canon(v), expected);
    EXPECT_TRUE(v.isMutable());  // archived as NSMutableDictionary
}
