// Per-class property records, read once from the declared properties' attribute texts, and the
// class hooks that refine them.

#include <cctype>
#include <memory>
#include <unordered_map>

#include "MMModelClassInfo.h"

#include <model_mapping/MMValueTransformer.h>
#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCRuntime.h>

NS_CLASS_LOAD(MMModel) {
    cls.addClassMethod("keyMapper", makeClassImp<MMModel::KeyMapperHook>([](ObjCClass&) { return MMKeyMapperPtr(); }));
    cls.addClassMethod("propertyIsOptional:",
                       makeClassImp<MMModel::PropertyTest>([](ObjCClass&, const std::string&) { return false; }));
    cls.addClassMethod("propertyIsIgnored:",
                       makeClassImp<MMModel::PropertyTest>([](ObjCClass&, const std::string&) { return false; }));
    cls.addClassMethod("protocolForArrayProperty:",
                       makeClassImp<MMModel::ProtocolForArrayHook>(
                           [](ObjCClass&, const std::string&) { return std::optional<std::string>(); }));
    cls.addClassMethod("classForCollectionProperty:",
                       makeClassImp<MMModel::ClassForCollectionHook>([](ObjCClass& c, const std::string& name) {
                           auto protocol = invokeClassMethod<MMModel::ProtocolForArrayHook>(
                               c, "protocolForArrayProperty:", name);
                           return protocol ? NSClassFromString(*protocol) : nullptr;
                       }));
}

void MMModel::setKeyMapperHook(ObjCClass& cls, std::function<MMKeyMapperPtr()> hook) {
    cls.replaceClassMethod("keyMapper", makeClassImp<KeyMapperHook>([hook](ObjCClass&) { return hook(); }));
}

void MMModel::setPropertyIsOptionalHook(ObjCClass& cls, std::function<bool(const std::string&)> hook) {
    cls.replaceClassMethod("propertyIsOptional:",
                           makeClassImp<PropertyTest>([hook](ObjCClass&, const std::string& n) { return hook(n); }));
}

void MMModel::setPropertyIsIgnoredHook(ObjCClass& cls, std::function<bool(const std::string&)> hook) {
    cls.replaceClassMethod("propertyIsIgnored:",
                           makeClassImp<PropertyTest>([hook](ObjCClass&, const std::string& n) { return hook(n); }));
}

void MMModel::setProtocolForArrayPropertyHook(ObjCClass& cls,
                                              std::function<std::optional<std::string>(const std::string&)> hook) {
    cls.replaceClassMethod("protocolForArrayProperty:", makeClassImp<ProtocolForArrayHook>(
                                                            [hook](ObjCClass&, const std::string& n) { return hook(n); }));
}

void MMModel::setClassForCollectionPropertyHook(ObjCClass& cls, std::function<ObjCClass*(const std::string&)> hook) {
    cls.replaceClassMethod("classForCollectionProperty:", makeClassImp<ClassForCollectionHook>(
                                                              [hook](ObjCClass&, const std::string& n) { return hook(n); }));
}

bool MMModel::isMMModelSubClass(const ObjCClass* cls) {
    return cls && cls->isSubclassOfClass(&MMModel::classObject());
}

namespace mm_detail {

const std::vector<std::string>& allowedJSONTypes() {
    static const std::vector<std::string> types = {"NSString", "NSNumber", "NSDecimalNumber",
                                                   "NSArray", "NSDictionary", "NSNull",
                                                   "NSMutableString", "NSMutableArray", "NSMutableDictionary"};
    return types;
}

namespace {

const std::set<std::string>& allowedPrimitiveTypes() {
    static const std::set<std::string> names = {
        "BOOL", "float", "int", "long", "double", "short", "unsigned int", "usigned long", "long long",
        "unsigned long long", "unsigned short", "char", "unsigned char", "NSInteger", "NSUInteger", "Block"};
    return names;
}

struct Parsed {
    bool ignored = false;
    std::string typeName;  // class name, struct name or primitive table name
};

// Reads the type part of an attribute text ("T@\"NSArray<Item><Optional>\",&,N,V_items") into
// the record; the index property name is reported through indexName.
Parsed parseType(ObjCClass& cls, const std::string& attributes, MMModelClassProperty& p,
                 std::optional<std::string>& indexName) {
    Parsed out;
    std::size_t t = attributes.find('T');
    std::string rest = t == std::string::npos ? std::string() : attributes.substr(t + 1);
    if (rest.size() >= 2 && rest[0] == '@' && rest[1] == '"') {
        std::size_t i = 2;
        std::size_t end = rest.find_first_of("\"<", i);
        if (end == std::string::npos) end = rest.size();
        std::string className = rest.substr(i, end - i);
        i = end;
        p.type = className.empty() ? nullptr : ObjCClass::named(className);
        p.isMutable = className.find("Mutable") != std::string::npos;
        const auto& allowed = allowedJSONTypes();
        p.isStandardJSONType = p.type && std::find(allowed.begin(), allowed.end(), className) != allowed.end();
        out.typeName = className;
        while (i < rest.size() && rest[i] == '<') {
            std::size_t close = rest.find('>', i);
            if (close == std::string::npos) break;
            std::string protocol = rest.substr(i + 1, close - i - 1);
            i = close + 1;
            if (protocol == "Optional") p.isOptional = true;
            else if (protocol == "Index") {
                p.isIndex = true;
                indexName = p.name;
            } else if (protocol == "Ignore") out.ignored = true;
            else p.protocol = protocol;
        }
        if (!className.empty() || p.protocol || p.isOptional || p.isIndex || out.ignored) return out;
        // "@\"\"" without protocols is an untyped reference: refused below like "@".
        rest = "@";
    }
    if (!rest.empty() && rest[0] == '{') {
        std::size_t i = 1;
        while (i < rest.size() && std::isalnum(static_cast<unsigned char>(rest[i]))) ++i;
        p.structName = rest.substr(1, i - 1);
        out.typeName = *p.structName;
        return out;
    }
    std::string code = rest.substr(0, rest.find(','));
    const auto& names = MMValueTransformer::shared().primitivesNames();
    auto it = names.find(code);
    if (it == names.end() || !allowedPrimitiveTypes().count(it->second)) {
        throw NSException("MMModelProperty type not allowed",
                          "Property type of " + cls.name() + "." + p.name + " is not supported by MMModel.");
    }
    p.primitiveName = it->second;
    out.typeName = it->second;
    return out;
}

void findCustomAccessors(ObjCClass& cls, MMModelClassProperty& p) {
    std::string name = p.name;
    if (!name.empty()) name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    std::string getter = "JSONObjectFor" + name;
    if (class_respondsToSelector(&cls, getter)) p.customGetter = getter;
    std::string generic = "set" + name + "WithJSONObject:";
    if (class_respondsToSelector(&cls, generic)) p.customSetters["generic"] = generic;
    for (const auto& type : allowedJSONTypes()) {
        std::string family = MMValueTransformer::classByResolvingClusterClasses(type);
        if (p.customSetters.count(family)) continue;
        std::string selector = "set" + name + "With" + family + ":";
        if (class_respondsToSelector(&cls, selector)) p.customSetters[family] = selector;
    }
}

std::unique_ptr<MMModel::ClassInfo> inspect(ObjCClass& cls) {
    auto info = std::make_unique<MMModel::ClassInfo>();
    ObjCClass* base = &MMModel::classObject();
    std::set<std::string> seen;
    for (ObjCClass* c = &cls; c && c != base; c = c->superclass()) {
        for (const ObjCProperty* prop : class_copyPropertyList(c)) {
            auto p = std::make_shared<MMModelClassProperty>();
            p->name = property_getName(prop);
            p->property = prop;
            std::string attributes = property_getAttributes(prop);
            bool readOnly = false;
            for (std::size_t start = 0; start <= attributes.size();) {
                std::size_t comma = attributes.find(',', start);
                if (comma == std::string::npos) comma = attributes.size();
                if (attributes.compare(start, comma - start, "R") == 0) readOnly = true;
                start = comma + 1;
            }
            if (readOnly) continue;
            Parsed parsed = parseType(cls, attributes, *p, info->indexPropertyName);
            if (invokeClassMethod<MMModel::PropertyTest>(cls, "propertyIsOptional:", p->name)) p->isOptional = true;
            if (invokeClassMethod<MMModel::PropertyTest>(cls, "propertyIsIgnored:", p->name)) continue;
            if (ObjCClass* element =
                    invokeClassMethod<MMModel::ClassForCollectionHook>(cls, "classForCollectionProperty:", p->name))
                p->protocol = element->name();
            if (parsed.ignored || parsed.typeName == "Block") continue;
            if (!seen.insert(p->name).second) continue;  // a subclass's redeclaration wins
            findCustomAccessors(cls, *p);
            info->properties.push_back(std::move(p));
        }
    }
    for (const auto& p : info->properties)
        if (!p->isOptional) info->required.insert(p->name);
    return info;
}

}  // namespace

const MMModel::ClassInfo& classInfo(ObjCClass& cls) {
    // Records are never dropped, so a thread may keep the last one it looked up.
    thread_local const ObjCClass* lastClass = nullptr;
    thread_local const MMModel::ClassInfo* lastInfo = nullptr;
    if (lastClass == &cls) return *lastInfo;
    static std::mutex mutex;
    static auto* table = new std::unordered_map<const ObjCClass*, std::unique_ptr<MMModel::ClassInfo>>;
    const MMModel::ClassInfo* found = nullptr;
    {
        std::lock_guard lock(mutex);
        auto it = table->find(&cls);
        if (it != table->end()) found = it->second.get();
    }
    if (!found) {
        // Built outside the lock: the class hooks may create models of other classes.
        auto info = inspect(cls);
        std::lock_guard lock(mutex);
        found = table->emplace(&cls, std::move(info)).first->second.get();
    }
    lastClass = &cls;
    lastInfo = found;
    return *found;
}

}  // namespace mm_detail

const MMModel::ClassInfo& MMModel::setup(std::shared_ptr<const ImportKeys>* keys, MMKeyMapperPtr* mapper) const {
    ObjCClass& cls = objcClass();
    const ClassInfo& info = mm_detail::classInfo(cls);
    std::lock_guard lock(info.mapperMutex);
    bool changed = false;
    if (!info.keyMapper) {
        info.keyMapper = invokeClassMethod<KeyMapperHook>(cls, "keyMapper");
        changed = info.keyMapper != nullptr;
    }
    if (changed || !info.classKeys) {
        std::vector<Value> names;
        names.reserve(info.properties.size());
        for (const auto& p : info.properties)
            names.emplace_back(info.keyMapper ? info.keyMapper->convertValue(p->name) : p->name);
        auto keys = std::make_shared<ImportKeys>(std::move(names));
        ObjCClass* text = NSClassFromString("NSString");
        keys->plainText.resize(info.properties.size());
        for (std::size_t i = 0; i < info.properties.size(); ++i) {
            const MMModelClassProperty& p = *info.properties[i];
            keys->plainText[i] = p.type == text && p.isStandardJSONType && !p.isMutable && !p.protocol &&
                                 !p.structName && p.customSetters.empty();
        }
        info.classKeys = std::move(keys);
    }
    if (keys) *keys = info.classKeys;
    if (mapper) *mapper = info.keyMapper;
    return info;
}

const std::vector<MMModelClassPropertyPtr>& MMModel::properties() const { return setup().properties; }

const std::set<std::string>& MMModel::requiredPropertyNames() const { return setup().required; }

std::optional<std::string> MMModel::indexPropertyName() const { return setup().indexPropertyName; }

MMKeyMapperPtr MMModel::classKeyMapper() const {
    MMKeyMapperPtr mapper;
    setup(nullptr, &mapper);
    return mapper;
}
