#include <platform_foundation/NSKeyedArchiver.h>

#include <platform_foundation/CodecErrors.h>
#include <platform_foundation/NSCoding.h>
#include <platform_runtime/ObjCRuntime.h>

#include "codecs/ArchiveClasses.h"
#include "codecs/PlistNode.h"

NSKeyedArchiver::NSKeyedArchiver(bool requiringSecureCoding)
    : requiresSecureCoding_(requiringSecureCoding), objects_(plist_new_array()), top_(plist_new_dict()), current_(top_) {
    plist_array_append_item(objects_, plist_new_string("$null"));
}

NSKeyedArchiver::~NSKeyedArchiver() {
    if (!finished_) {
        plist_free(objects_);
        plist_free(top_);
    }
}

Value::Data NSKeyedArchiver::archivedDataWithRootObject(const Value& root, bool requiringSecureCoding,
                                                        NSErrorPtr* error) {
    NSKeyedArchiver archiver(requiringSecureCoding);
    archiver.encodeObject(root, "root");
    archiver.finishEncoding();
    if (archiver.error()) {
        if (error) *error = archiver.error();
        return {};
    }
    return archiver.data_;
}

uint64_t NSKeyedArchiver::fail(const std::string& why) {
    Value::Dictionary info;
    info[Value(NSDebugDescriptionErrorKey)] = Value(why);
    failWithError(NSError::errorWithDomain(NSCocoaErrorDomain, NSCoderInvalidValueError, std::move(info)));
    return 0;
}

void NSKeyedArchiver::setItem(const std::string& key, void* node) {
    plist_dict_set_item(current_, codecs::escapeArchiveKey(key).c_str(), node);
}

uint64_t NSKeyedArchiver::appendObject(void* node) {
    plist_array_append_item(objects_, node);
    return plist_array_get_size(objects_) - 1;
}

uint64_t NSKeyedArchiver::classUID(const std::string& name, const std::vector<std::string>& chain) {
    auto it = classes_.find(name);
    if (it != classes_.end()) return it->second;
    plist_t cls = plist_new_dict();
    plist_dict_set_item(cls, "$classname", plist_new_string(name.c_str()));
    plist_t list = plist_new_array();
    for (const auto& c : chain) plist_array_append_item(list, plist_new_string(c.c_str()));
    plist_dict_set_item(cls, "$classes", list);
    const uint64_t uid = appendObject(cls);
    classes_[name] = uid;
    return uid;
}

uint64_t NSKeyedArchiver::encodeValue(const Value& v, bool inCollection) {
    if (error_ || finished_) return 0;
    // An object dict whose uid is taken before its members are encoded, as the platform orders them.
    auto beginObject = [&]() -> std::pair<uint64_t, plist_t> {
        plist_t dict = plist_new_dict();
        return {appendObject(dict), dict};
    };
    auto finishObject = [&](plist_t dict, const std::string& name) {
        plist_dict_set_item(dict, "$class", plist_new_uid(classUID(name, codecs::builtinClassChain(name))));
    };
    auto uidList = [&](const auto& items) {
        plist_t list = plist_new_array();
        for (const Value& item : items) plist_array_append_item(list, plist_new_uid(encodeValue(item, true)));
        return list;
    };

    switch (v.type()) {
    case Value::Type::Null: {
        if (!inCollection) return 0;  // nil
        auto [uid, dict] = beginObject();
        finishObject(dict, "NSNull");
        return uid;
    }
    case Value::Type::Bool:
        return appendObject(plist_new_bool(v.asBool() ? 1 : 0));
    case Value::Type::Int:
        return appendObject(codecs::newIntNode(v.asInt()));
    case Value::Type::UInt:
        return appendObject(codecs::newUIntNode(v.asUInt()));
    case Value::Type::Double:
        return appendObject(plist_new_real(v.asDouble()));
    case Value::Type::String: {
        const std::string s = v.asStdString();
        if (s.find('\0') != std::string::npos) return fail("strings with NUL characters cannot be archived");
        if (v.isMutable()) {
            auto [uid, dict] = beginObject();
            plist_dict_set_item(dict, "NS.string", plist_new_string(s.c_str()));
            finishObject(dict, "NSMutableString");
            return uid;
        }
        auto it = strings_.find(s);
        if (it != strings_.end()) return it->second;
        const uint64_t uid = appendObject(plist_new_string(s.c_str()));
        strings_[s] = uid;
        return uid;
    }
    case Value::Type::Data: {
        const auto& d = v.asData();
        plist_t bytes = plist_new_data(reinterpret_cast<const char*>(d.data()), d.size());
        if (!v.isMutable()) return appendObject(bytes);
        auto [uid, dict] = beginObject();
        plist_dict_set_item(dict, "NS.bytes", bytes);
        finishObject(dict, "NSMutableData");
        return uid;
    }
    case Value::Type::Date: {
        auto [uid, dict] = beginObject();
        plist_dict_set_item(dict, "NS.time", plist_new_real(v.asDate().timeIntervalSinceReferenceDate()));
        finishObject(dict, "NSDate");
        return uid;
    }
    case Value::Type::Array:
    case Value::Type::Set: {
        auto [uid, dict] = beginObject();
        plist_dict_set_item(dict, "NS.objects", uidList(v.isSet() ? v.asSet() : v.asArray()));
        const char* name = v.isSet() ? (v.isMutable() ? "NSMutableSet" : "NSSet")
                                     : (v.isMutable() ? "NSMutableArray" : "NSArray");
        finishObject(dict, name);
        return uid;
    }
    case Value::Type::Dictionary: {
        auto [uid, dict] = beginObject();
        plist_t keys = plist_new_array();
        plist_t values = plist_new_array();
        plist_dict_set_item(dict, "NS.keys", keys);
        plist_dict_set_item(dict, "NS.objects", values);
        for (const auto& [key, item] : v.asDictionary()) {
            plist_array_append_item(keys, plist_new_uid(encodeValue(key, true)));
            plist_array_append_item(values, plist_new_uid(encodeValue(item, true)));
        }
        finishObject(dict, v.isMutable() ? "NSMutableDictionary" : "NSDictionary");
        return uid;
    }
    case Value::Type::Object: {
        const auto& object = v.asObject();
        auto known = objectsByIdentity_.find(object.get());
        if (known != objectsByIdentity_.end()) return known->second;
        const auto* coding = dynamic_cast<const NSCoding*>(object.get());
        const std::string name = object->className();
        if (!coding) return fail("objects of class " + name + " do not support NSCoding");
        const ObjCClass* cls = NSClassFromString(name);
        if (requiresSecureCoding_ && !(cls && cls->conformsToProtocol(NSSecureCodingProtocol)))
            return fail("class " + name + " does not support secure coding");
        auto [uid, dict] = beginObject();
        objectsByIdentity_[object.get()] = uid;
        void* saved = current_;
        current_ = dict;
        coding->encodeWithCoder(*this);
        current_ = saved;
        const std::vector<std::string> chain =
            cls ? codecs::runtimeClassChain(*cls) : std::vector<std::string>{name, "NSObject"};
        plist_dict_set_item(dict, "$class", plist_new_uid(classUID(name, chain)));
        return uid;
    }
    case Value::Type::Decimal:
        return fail("decimal numbers cannot be archived");
    case Value::Type::Geometry:
        return fail("geometry values cannot be archived");
    }
    return fail("unknown value kind");
}

void NSKeyedArchiver::encodeObject(const Value& object, const std::string& key) {
    if (error_ || finished_) return;
    const uint64_t uid = encodeValue(object, false);
    if (!error_) setItem(key, plist_new_uid(uid));
}

void NSKeyedArchiver::encodeBool(bool value, const std::string& key) {
    if (!error_ && !finished_) setItem(key, plist_new_bool(value ? 1 : 0));
}

void NSKeyedArchiver::encodeInt64(int64_t value, const std::string& key) {
    if (!error_ && !finished_) setItem(key, codecs::newIntNode(value));
}

void NSKeyedArchiver::encodeDouble(double value, const std::string& key) {
    if (!error_ && !finished_) setItem(key, plist_new_real(value));
}

void NSKeyedArchiver::finishEncoding() {
    if (finished_) return;
    finished_ = true;
    codecs::PlistPtr root(plist_new_dict());
    plist_dict_set_item(root.get(), "$archiver", plist_new_string(codecs::kArchiverName));
    plist_dict_set_item(root.get(), "$objects", objects_);
    plist_dict_set_item(root.get(), "$top", top_);
    plist_dict_set_item(root.get(), "$version", plist_new_uint(codecs::kArchiveVersion));
    if (!error_) data_ = codecs::serializePlist(root.get(), format_);
}

const Value::Data& NSKeyedArchiver::encodedData() {
    finishEncoding();
    return data_;
}
