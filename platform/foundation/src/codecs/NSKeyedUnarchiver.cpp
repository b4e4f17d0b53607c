#include <platform_foundation/NSKeyedUnarchiver.h>

#include <cmath>
#include <limits>

#include <platform_foundation/CodecErrors.h>
#include <platform_foundation/NSCoding.h>
#include <platform_runtime/ObjCRuntime.h>

#include "codecs/ArchiveClasses.h"
#include "codecs/PlistCheck.h"
#include "codecs/PlistNode.h"

namespace {

// Deeper object graphs are treated as corrupt instead of exhausting the stack.
constexpr std::size_t kMaxDepth = codecs::PlistLimits::kMaxDepth;

NSErrorPtr archiveError(int64_t code, const std::string& why) {
    Value::Dictionary info;
    info[Value(NSDebugDescriptionErrorKey)] = Value(why);
    return NSError::errorWithDomain(NSCocoaErrorDomain, code, std::move(info));
}

plist_t dictItem(plist_t dict, const char* key) {
    return dict && plist_get_node_type(dict) == PLIST_DICT ? plist_dict_get_item(dict, key) : nullptr;
}

bool isType(plist_t node, plist_type type) { return node && plist_get_node_type(node) == type; }

// A reference: a UID node, or its XML spelling {CF$UID = n} (XML has no UID element).
bool referenceOf(plist_t node, uint64_t& uid) {
    if (isType(node, PLIST_UID)) {
        plist_get_uid_val(node, &uid);
        return true;
    }
    if (isType(node, PLIST_DICT) && plist_dict_get_size(node) == 1) {
        plist_t n = plist_dict_get_item(node, "CF$UID");
        if (isType(n, PLIST_UINT)) {
            plist_get_uint_val(n, &uid);
            return true;
        }
    }
    return false;
}

}  // namespace

NSKeyedUnarchiver::~NSKeyedUnarchiver() {
    if (root_) plist_free(root_);
}

std::unique_ptr<NSKeyedUnarchiver> NSKeyedUnarchiver::initForReadingFromData(std::string_view data, NSErrorPtr* error) {
    auto reject = [&](const std::string& why) -> std::unique_ptr<NSKeyedUnarchiver> {
        if (error) *error = archiveError(NSCoderReadCorruptError, "The data isn't in the correct format: " + why);
        return nullptr;
    };
    std::string why;
    codecs::PlistPtr root = codecs::parsePlist(data, nullptr, &why);
    if (!root) return reject(why);
    plist_t archiver = dictItem(root.get(), "$archiver");
    if (!isType(archiver, PLIST_STRING) || codecs::stringValue(archiver) != codecs::kArchiverName)
        return reject("not a keyed archive ($archiver)");
    if (!isType(dictItem(root.get(), "$version"), PLIST_UINT)) return reject("missing $version");
    plist_t objects = dictItem(root.get(), "$objects");
    plist_t top = dictItem(root.get(), "$top");
    if (!isType(objects, PLIST_ARRAY) || !isType(top, PLIST_DICT)) return reject("missing $objects or $top");

    std::unique_ptr<NSKeyedUnarchiver> u(new NSKeyedUnarchiver());
    u->objects_ = objects;
    u->current_ = top;
    u->root_ = root.release();
    u->inProgress_.assign(plist_array_get_size(objects), false);
    u->maxNodes_ = codecs::PlistLimits::maxNodesFor(data.size());
    return u;
}

Value NSKeyedUnarchiver::unarchivedObjectOfClasses(const std::set<std::string>& classNames, const Value::Data& data,
                                                   NSErrorPtr* error) {
    auto u = initForReadingFromData(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), error);
    if (!u) return Value();
    if (!u->containsValueForKey("root")) {
        if (error) *error = archiveError(NSCoderValueNotFoundError, "The archive has no root object");
        return Value();
    }
    Value root = u->decodeObjectOfClasses(classNames, "root");
    if (u->error()) {
        if (error) *error = u->error();
        return Value();
    }
    return root;
}

Value NSKeyedUnarchiver::unarchiveObjectWithData(const Value::Data& data, NSErrorPtr* error) {
    auto u = initForReadingFromData(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), error);
    if (!u) return Value();
    u->setRequiresSecureCoding(false);
    Value root = u->decodeObjectForKey("root");
    if (u->error()) {
        if (error) *error = u->error();
        return Value();
    }
    return root;
}

Value NSKeyedUnarchiver::corrupt(const std::string& why) {
    failWithError(archiveError(NSCoderReadCorruptError, why));
    return Value();
}

void* NSKeyedUnarchiver::item(const std::string& key) const {
    return dictItem(current_, codecs::escapeArchiveKey(key).c_str());
}

bool NSKeyedUnarchiver::containsValueForKey(const std::string& key) const { return item(key) != nullptr; }

Value NSKeyedUnarchiver::decodeObjectForKey(const std::string& key) {
    if (error_) return Value();
    // Without explicit classes a secure decode keeps the classes allowed for the enclosing object.
    return decodeReference(item(key), requiresSecureCoding_ ? allowed_ : nullptr);
}

Value NSKeyedUnarchiver::decodeObjectOfClasses(const std::set<std::string>& classNames, const std::string& key) {
    if (error_) return Value();
    return decodeReference(item(key), requiresSecureCoding_ ? &classNames : nullptr);
}

Value NSKeyedUnarchiver::decodeReference(void* node, const std::set<std::string>* allowed) {
    if (!node) return Value();
    uint64_t uid = 0;
    if (!referenceOf(node, uid)) return corrupt("expected an object reference");
    return decodeUID(uid, allowed);
}

bool NSKeyedUnarchiver::checkAllowed(const std::vector<std::string>& chain, const std::set<std::string>* allowed) {
    if (!requiresSecureCoding_ || !allowed) return true;
    for (const auto& name : chain)
        if (allowed->count(name)) return true;
    std::string list;
    for (const auto& name : *allowed) list += (list.empty() ? "" : ", ") + name;
    corrupt("value of class " + (chain.empty() ? std::string("?") : chain.front()) +
            " is not one of the allowed classes {" + list + "}");
    return false;
}

void NSKeyedUnarchiver::countNodes(uint64_t nodes) {
    const uint64_t cap = maxNodes_ + 1;
    *nodes_ = *nodes_ >= cap || nodes >= cap - *nodes_ ? cap : *nodes_ + nodes;
}

Value NSKeyedUnarchiver::decodeUID(uint64_t uid, const std::set<std::string>* allowed) {
    if (error_) return Value();
    // Every decoded value counts towards the enclosing object's expanded size; objects are
    // decoded once and shared, so a walk over the result would visit each reference again.
    countNodes(1);
    if (uid == 0) return Value();  // $null: nil
    if (uid >= inProgress_.size()) return corrupt("object reference " + std::to_string(uid) + " out of range");
    plist_t node = plist_array_get_item(objects_, static_cast<uint32_t>(uid));
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        if (!checkAllowed(codecs::builtinClassChain("NSNumber"), allowed)) return Value();
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return Value(b != 0);
    }
    case PLIST_UINT:
        if (!checkAllowed(codecs::builtinClassChain("NSNumber"), allowed)) return Value();
        return codecs::integerValue(node);
    case PLIST_REAL: {
        if (!checkAllowed(codecs::builtinClassChain("NSNumber"), allowed)) return Value();
        double d = 0;
        plist_get_real_val(node, &d);
        return Value(d);
    }
    case PLIST_STRING:
        if (!checkAllowed(codecs::builtinClassChain("NSString"), allowed)) return Value();
        return Value(codecs::stringValue(node));
    case PLIST_DATA: {
        if (!checkAllowed(codecs::builtinClassChain("NSData"), allowed)) return Value();
        uint64_t length = 0;
        const char* p = plist_get_data_ptr(node, &length);
        return Value::data(p, p ? length : 0);
    }
    case PLIST_DATE:
        if (!checkAllowed(codecs::builtinClassChain("NSDate"), allowed)) return Value();
        return Value(NSDate(codecs::dateValue(node)));
    case PLIST_DICT:
        break;
    default:
        return corrupt("object " + std::to_string(uid) + " is not an archived value");
    }

    auto cached = decoded_.find(uid);
    if (cached != decoded_.end()) {
        // A shared reference still has to pass this caller's class check.
        if (!checkAllowed(chains_[uid], allowed)) return Value();
        countNodes(sizes_[uid] - 1);
        if (*nodes_ > maxNodes_) return corrupt("archive expands to too many objects (shared references)");
        return cached->second;
    }
    if (inProgress_[uid]) return corrupt("object " + std::to_string(uid) + " refers to itself");
    if (depth_ >= kMaxDepth) return corrupt("archive nested too deeply");
    inProgress_[uid] = true;
    ++depth_;
    uint64_t* const enclosing = nodes_;
    uint64_t nodes = 1;
    nodes_ = &nodes;
    Value result = decodeObjectNode(uid, node, allowed);
    nodes_ = enclosing;
    --depth_;
    inProgress_[uid] = false;
    if (error_) return Value();
    countNodes(nodes - 1);
    if (nodes > maxNodes_ || *nodes_ > maxNodes_) return corrupt("archive expands to too many objects (shared references)");
    decoded_[uid] = result;
    sizes_[uid] = nodes;
    return result;
}

Value NSKeyedUnarchiver::decodeObjectNode(uint64_t uid, void* node, const std::set<std::string>* allowed) {
    uint64_t classUID = 0;
    if (!referenceOf(dictItem(node, "$class"), classUID))
        return corrupt("object " + std::to_string(uid) + " has no $class");
    if (classUID == 0 || classUID >= inProgress_.size()) return corrupt("bad $class reference");
    plist_t classNode = plist_array_get_item(objects_, static_cast<uint32_t>(classUID));
    plist_t classNameNode = dictItem(classNode, "$classname");
    if (!isType(classNameNode, PLIST_STRING)) return corrupt("class entry without $classname");
    const std::string className = codecs::stringValue(classNameNode);

    // The class chain comes from what we know about the class, never from the archive's claim.
    std::vector<std::string> chain = codecs::builtinClassChain(className);
    const ObjCClass* cls = chain.empty() ? NSClassFromString(className) : nullptr;
    if (chain.empty() && !cls)
        return corrupt("cannot decode object of class (" + className + "): the class is not known");
    if (cls) chain = codecs::runtimeClassChain(*cls);
    if (!checkAllowed(chain, allowed)) return Value();
    chains_[uid] = chain;
    const bool isMutable = className.compare(0, 9, "NSMutable") == 0;

    auto referenceList = [&](const char* key, Value::Array& out) -> bool {
        plist_t list = dictItem(node, key);
        if (!isType(list, PLIST_ARRAY)) {
            corrupt(std::string("missing ") + key + " in " + className);
            return false;
        }
        const uint32_t n = plist_array_get_size(list);
        out.reserve(n);
        for (uint32_t i = 0; i < n; ++i) {
            out.push_back(decodeReference(plist_array_get_item(list, i), allowed));
            if (error_) return false;
        }
        return true;
    };

    const std::string base = isMutable ? "NS" + className.substr(9) : className;
    if (base == "NSArray" || base == "NSSet") {
        Value::Array items;
        if (!referenceList("NS.objects", items)) return Value();
        Value v = base == "NSSet" ? Value::set(std::move(items)) : Value(std::move(items));
        v.setMutable(isMutable);
        return v;
    }
    if (base == "NSDictionary") {
        Value::Array keys, values;
        if (!referenceList("NS.keys", keys) || !referenceList("NS.objects", values)) return Value();
        if (keys.size() != values.size()) return corrupt("NS.keys and NS.objects differ in length");
        Value::Dictionary dict;
        for (std::size_t i = 0; i < keys.size(); ++i) dict.insert_or_assign(std::move(keys[i]), std::move(values[i]));
        Value v(std::move(dict));
        v.setMutable(isMutable);
        return v;
    }
    if (base == "NSString") {
        plist_t s = dictItem(node, "NS.string");
        if (!isType(s, PLIST_STRING)) return corrupt("missing NS.string");
        Value v(codecs::stringValue(s));
        v.setMutable(isMutable);
        return v;
    }
    if (base == "NSData") {
        plist_t b = dictItem(node, "NS.bytes");
        if (!isType(b, PLIST_DATA)) return corrupt("missing NS.bytes");
        uint64_t length = 0;
        const char* p = plist_get_data_ptr(b, &length);
        Value v = Value::data(p, p ? length : 0);
        v.setMutable(isMutable);
        return v;
    }
    if (base == "NSDate") {
        plist_t t = dictItem(node, "NS.time");
        double seconds = 0;
        if (isType(t, PLIST_REAL))
            plist_get_real_val(t, &seconds);
        else if (isType(t, PLIST_UINT))
            seconds = static_cast<double>(codecs::integerValue(t).asInt());
        else
            return corrupt("missing NS.time");
        return Value(NSDate(seconds));
    }
    if (base == "NSNull") return Value();
    if (base == "NSNumber") return corrupt("unsupported NSNumber encoding");

    // One of our NSCoding classes, found through the runtime's class registry.
    if (requiresSecureCoding_ && !cls->conformsToProtocol(NSSecureCodingProtocol))
        return corrupt("class " + className + " does not support secure coding");
    std::shared_ptr<NSObject> object = cls->createInstance();
    auto* coding = dynamic_cast<NSCoding*>(object.get());
    if (!coding) return corrupt("class " + className + " cannot be decoded (no NSCoding)");
    void* savedCurrent = current_;
    const std::set<std::string>* savedAllowed = allowed_;
    current_ = node;
    allowed_ = allowed;
    const bool filled = coding->initWithCoder(*this);
    current_ = savedCurrent;
    allowed_ = savedAllowed;
    if (error_ || !filled) return Value();
    return Value(object);
}

bool NSKeyedUnarchiver::decodeBoolForKey(const std::string& key) {
    plist_t node = item(key);
    if (!node || error_) return false;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return b != 0;
    }
    case PLIST_UINT:
    case PLIST_REAL:
        return decodeDoubleForKey(key) != 0;
    default:
        corrupt("value for key " + key + " is not a boolean");
        return false;
    }
}

int64_t NSKeyedUnarchiver::decodeInt64ForKey(const std::string& key) {
    plist_t node = item(key);
    if (!node || error_) return 0;
    switch (plist_get_node_type(node)) {
    case PLIST_UINT: {
        const Value v = codecs::integerValue(node);
        return v.isBool() ? 0 : v.integerValue();
    }
    case PLIST_BOOLEAN:
        return decodeBoolForKey(key) ? 1 : 0;
    case PLIST_REAL: {
        const double d = decodeDoubleForKey(key);
        if (!(d >= -9.2233720368547758e18 && d < 9.2233720368547758e18)) return d > 0 ? INT64_MAX : INT64_MIN;
        return static_cast<int64_t>(d);
    }
    default:
        corrupt("value for key " + key + " is not an integer");
        return 0;
    }
}

double NSKeyedUnarchiver::decodeDoubleForKey(const std::string& key) {
    plist_t node = item(key);
    if (!node || error_) return 0;
    switch (plist_get_node_type(node)) {
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return d;
    }
    case PLIST_UINT:
        return codecs::integerValue(node).doubleValue();
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return b ? 1 : 0;
    }
    default:
        corrupt("value for key " + key + " is not a number");
        return 0;
    }
}
