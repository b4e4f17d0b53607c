#include "NibLoading.h"

#include <platform_uikit/NSLayoutConstraint.h>
#include <platform_uikit/UIButton.h>
#include <platform_uikit/UIControl.h>
#include <platform_uikit/UITableViewController.h>
#include <platform_uikit/UINib.h>
#include <platform_uikit/UIResponder.h>
#include <platform_uikit/UIView.h>

#include <platform_foundation/NSJSONSerialization.h>
#include <platform_runtime/AssociatedObjects.h>
#include <platform_runtime/NSError.h>
#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCRuntime.h>

#include <fstream>
#include <set>
#include <sstream>

namespace uikit_detail {
namespace {

constexpr char kOwner[] = "owner";
constexpr char kFirstResponder[] = "firstResponder";

bool kindMatches(const Value& v, const std::string& kind) {
    if (kind == "string") return v.isString();
    if (kind == "array") return v.isArray();
    if (kind == "object") return v.isDictionary();
    if (kind == "bool") return v.isBool();
    if (kind == "number") return v.isNumber() && !v.isBool();
    return true;
}

UIControlEvents eventNamed(const std::string& name) {
    static const std::map<std::string, UIControlEvents> events = {
        {"touchDown", UIControlEventTouchDown},
        {"touchDownRepeat", UIControlEventTouchDownRepeat},
        {"touchUpInside", UIControlEventTouchUpInside},
        {"touchUpOutside", UIControlEventTouchUpOutside},
        {"touchCancel", UIControlEventTouchCancel},
        {"valueChanged", UIControlEventValueChanged},
        {"primaryActionTriggered", UIControlEventPrimaryActionTriggered},
        {"editingDidBegin", UIControlEventEditingDidBegin},
        {"editingChanged", UIControlEventEditingChanged},
        {"editingDidEnd", UIControlEventEditingDidEnd},
    };
    auto it = events.find(name);
    return it == events.end() ? 0 : it->second;
}

}  // namespace

std::optional<Value> readNibFormatDocument(const NSBundle& bundle, const std::string& name, const std::string& type) {
    auto path = bundle.pathForResource(name, type);
    if (!path) return std::nullopt;
    std::ifstream in(*path, std::ios::binary);
    if (!in) return std::nullopt;
    std::stringstream text;
    text << in.rdbuf();
    std::shared_ptr<NSError> error;
    Value document = NSJSONSerialization::JSONObjectWithData(text.str(), 0, &error);
    std::string file = name + "." + type;
    if (document.isNull()) {
        std::string detail = error ? Value(error->userInfo()).objectForKey("NSDebugDescription").stringValue() : "";
        Value offset = error ? Value(error->userInfo()).objectForKey("NSJSONSerializationErrorIndex") : Value();
        NSException::raise(NSInvalidUnarchiveOperationException,
                           file + ": the document is not JSON (" + detail + ") at $",
                           Value::Dictionary{{Value(UINibFileUserInfoKey), Value(file)},
                                             {Value(UINibJSONPathUserInfoKey), Value("$")},
                                             {Value("NSJSONSerializationErrorIndex"), offset}});
    }
    if (!document.isDictionary())
        NSException::raise(NSInvalidUnarchiveOperationException, file + ": the document is not a JSON object at $",
                           Value::Dictionary{{Value(UINibFileUserInfoKey), Value(file)},
                                             {Value(UINibJSONPathUserInfoKey), Value("$")}});
    return document;
}

NibLoad::NibLoad(std::string file, std::shared_ptr<NSBundle> bundle, std::shared_ptr<NSObject> owner,
                 const Value& externalObjects)
    : file_(std::move(file)), bundle_(std::move(bundle)), owner_(std::move(owner)) {
    for (const auto& [key, value] : externalObjects.objectForKey(UINibExternalObjects).asDictionary())
        ids_[key.stringValue()] = value;
}

void NibLoad::fail(const std::string& path, const std::string& what) const {
    NSException::raise(NSInvalidUnarchiveOperationException, file_ + ": " + what + " at " + path,
                       Value::Dictionary{{Value(UINibFileUserInfoKey), Value(file_)},
                                         {Value(UINibJSONPathUserInfoKey), Value(path)}});
}

void NibLoad::rethrowWithPlace(const NSException& e, const std::string& path) const {
    if (e.userInfo().find(Value(UINibFileUserInfoKey)) != e.userInfo().end()) throw e;
    Value::Dictionary info = e.userInfo();
    info[Value(UINibFileUserInfoKey)] = Value(file_);
    info[Value(UINibJSONPathUserInfoKey)] = Value(path);
    throw NSException(e.name(), e.reason() + " (" + file_ + " at " + path + ")", std::move(info));
}

const Value& NibLoad::member(const Value& object, const char* key, const char* kind, const std::string& path,
                             bool required) const {
    const Value& v = object.objectForKey(Value(key));
    if (v.isNull()) {
        if (required) fail(path, std::string("\"") + key + "\" is missing");
        return v;
    }
    if (!kindMatches(v, kind)) fail(path + "." + key, std::string("\"") + key + "\" needs a " + kind);
    return v;
}

Value NibLoad::objectNamed(const Value& name, const std::string& path) const {
    if (!name.isString()) fail(path, "an object is named by a string");
    std::string id = name.asStdString();
    if (id == kOwner) {
        if (!owner_) fail(path, "the document refers to its owner, but there is none");
        return Value(owner_);
    }
    auto it = ids_.find(id);
    if (it == ids_.end()) fail(path, "no object has the id \"" + id + "\"");
    return it->second;
}

std::shared_ptr<NSObject> NibLoad::build(const Value& object, const std::string& path) {
    if (!object.isDictionary()) fail(path, "an object description needs a JSON object");
    const Value& className = member(object, "class", "string", path, true);
    ObjCClass* cls = NSClassFromString(className.asString());
    if (!cls) fail(path + ".class", "unknown class \"" + className.asStdString() + "\"");
    std::shared_ptr<NSObject> made;
    const Value& init = member(object, "init", "object", path, false);
    if (init.isNull()) at(path, [&] { made = cls->createInstance(); });
    else made = makeWithArguments(*cls, init, path + ".init");
    if (!made) fail(path + ".class", "class \"" + className.asStdString() + "\" cannot be instantiated");
    made_.push_back(made);
    const Value& id = member(object, "id", "string", path, false);
    if (!id.isNull()) {
        if (id.asString() == kOwner || id.asString() == kFirstResponder || ids_.count(id.asStdString()))
            fail(path + ".id", "the id \"" + id.asStdString() + "\" is taken");
        ids_[id.asStdString()] = Value(made);
    }
    const Value& properties = member(object, "properties", "object", path, false);
    if (!properties.isNull()) setProperties(*made, properties, path + ".properties");
    const Value& subviews = member(object, "subviews", "array", path, false);
    if (!subviews.isNull()) addSubviews(*made, subviews, path + ".subviews");
    const Value& constraints = member(object, "constraints", "array", path, false);
    if (!constraints.isNull()) keepConstraints(*made, constraints, path + ".constraints");
    return made;
}

// What the platform's editor records as initialiser arguments: styles, types, reuse identifiers.
std::shared_ptr<NSObject> NibLoad::makeWithArguments(ObjCClass& cls, const Value& init, const std::string& path) {
    auto integer = [&](const char* key, int64_t fallback) {
        const Value& v = member(init, key, "number", path, false);
        return v.isNull() ? fallback : v.integerValue();
    };
    std::set<std::string> known;
    std::shared_ptr<NSObject> made;
    if (&cls == &UITableView::classObject()) {
        known = {"style"};
        made = std::make_shared<UITableView>(CGRectZero, static_cast<UITableViewStyle>(integer("style", 0)));
    } else if (&cls == &UITableViewController::classObject()) {
        known = {"style"};
        made = std::make_shared<UITableViewController>(static_cast<UITableViewStyle>(integer("style", 0)));
    } else if (&cls == &UIButton::classObject()) {
        known = {"buttonType"};
        made = UIButton::buttonWithType(static_cast<UIButtonType>(integer("buttonType", 0)));
    } else if (cls.isSubclassOfClass(&UITableViewCell::classObject())) {
        known = {"style", "reuseIdentifier"};
        const Value& reuse = member(init, "reuseIdentifier", "string", path, false);
        int64_t style = integer("style", UITableViewCellStyleDefault);
        if (&cls == &UITableViewCell::classObject()) {
            made = std::make_shared<UITableViewCell>(static_cast<UITableViewCellStyle>(style), reuse.asStdString());
        } else {
            if (style != UITableViewCellStyleDefault)
                fail(path + ".style", "a cell subclass is made in the default style");
            at(path, [&] { made = cls.createInstance(); });
            if (auto cell = std::dynamic_pointer_cast<UITableViewCell>(made)) cell->setReuseIdentifier(reuse.asStdString());
        }
    } else {
        fail(path, "class \"" + cls.name() + "\" takes no initialiser arguments");
    }
    for (const auto& [key, value] : init.asDictionary())
        if (!known.count(key.stringValue())) fail(path + "." + key.stringValue(), "unknown initialiser argument");
    return made;
}

void NibLoad::setProperties(NSObject& object, const Value& properties, const std::string& path) {
    for (const auto& [key, literalValue] : properties.asDictionary()) {
        std::string keyPath = key.stringValue();
        std::string at_ = path + "." + keyPath;
        Value value = literal(literalValue, at_);
        at(at_, [&] { object.setValueForKeyPath(value, keyPath); });
    }
}

void NibLoad::addSubviews(NSObject& object, const Value& subviews, const std::string& path) {
    auto* view = dynamic_cast<UIView*>(&object);
    if (!view) fail(path, "only views have subviews");
    // A cell's (and an effect view's) subviews go into its content view, as the platform's editor puts them.
    std::shared_ptr<UIView> container = std::static_pointer_cast<UIView>(view->shared_from_this());
    if (object.objcClass().property("contentView")) {
        auto content = object.valueForKey("contentView").objectAs<UIView>();
        if (content) container = std::move(content);
    }
    for (std::size_t i = 0; i < subviews.count(); ++i) {
        std::string itemPath = path + "[" + std::to_string(i) + "]";
        auto sub = std::dynamic_pointer_cast<UIView>(build(subviews[i], itemPath));
        if (!sub) fail(itemPath, "a subview must be a view");
        container->addSubview(sub);
    }
}

void NibLoad::keepConstraints(NSObject& object, const Value& constraints, const std::string& path) {
    if (!dynamic_cast<UIView*>(&object)) fail(path, "only views have constraints");
    // Items may name views made later in the document: resolved once everything is made.
    constraints_.push_back({object.shared_from_this(), constraints, path});
}

void NibLoad::connect(const Value& connections, const std::string& path) {
    // Constraints first: their items are now all made.
    for (auto& pending : constraints_) {
        auto view = std::static_pointer_cast<UIView>(pending.view);
        for (std::size_t i = 0; i < pending.constraints.count(); ++i)
            makeConstraint(*view, pending.constraints[i], pending.path + "[" + std::to_string(i) + "]");
    }
    constraints_.clear();

    if (connections.isNull()) return;
    if (!connections.isArray()) fail(path, "\"connections\" needs an array");
    for (std::size_t i = 0; i < connections.count(); ++i) {
        std::string itemPath = path + "[" + std::to_string(i) + "]";
        const Value& c = connections[i];
        if (!c.isDictionary()) fail(itemPath, "a connection needs a JSON object");
        if (!c.objectForKey("outlet").isNull()) connectOutlet(c, itemPath);
        else if (!c.objectForKey("action").isNull()) connectAction(c, itemPath);
        else fail(itemPath, "a connection is an \"outlet\" or an \"action\"");
    }
}

// A constraint as the platform's editor writes it: items by id ("self": the view that holds it),
// attributes and relation by name, multiplier, constant, priority and identifier.
void NibLoad::makeConstraint(UIView& holder, const Value& c, const std::string& path) {
    static const std::map<std::string, NSLayoutAttribute> attributes = {
        {"left", NSLayoutAttributeLeft},         {"right", NSLayoutAttributeRight},
        {"top", NSLayoutAttributeTop},           {"bottom", NSLayoutAttributeBottom},
        {"leading", NSLayoutAttributeLeading},   {"trailing", NSLayoutAttributeTrailing},
        {"width", NSLayoutAttributeWidth},       {"height", NSLayoutAttributeHeight},
        {"centerX", NSLayoutAttributeCenterX},   {"centerY", NSLayoutAttributeCenterY},
        {"lastBaseline", NSLayoutAttributeLastBaseline}, {"baseline", NSLayoutAttributeBaseline},
        {"notAnAttribute", NSLayoutAttributeNotAnAttribute},
    };
    static const std::map<std::string, NSLayoutRelation> relations = {
        {"=", NSLayoutRelationEqual}, {"==", NSLayoutRelationEqual},
        {"<=", NSLayoutRelationLessThanOrEqual}, {">=", NSLayoutRelationGreaterThanOrEqual}};
    if (!c.isDictionary()) fail(path, "a constraint needs a JSON object");
    auto item = [&](const char* key, bool required) -> std::shared_ptr<NSObject> {
        const Value& v = member(c, key, "string", path, required);
        if (v.isNull()) return nullptr;
        if (v.asString() == "self") return holder.shared_from_this();
        return objectNamed(v, path + "." + key).asObject();
    };
    auto attribute = [&](const char* key, bool required) {
        const Value& v = member(c, key, "string", path, required);
        if (v.isNull()) return NSLayoutAttributeNotAnAttribute;
        auto it = attributes.find(v.asStdString());
        if (it == attributes.end()) fail(path + "." + key, "unknown layout attribute \"" + v.asStdString() + "\"");
        return it->second;
    };
    auto number = [&](const char* key, double fallback) {
        const Value& v = member(c, key, "number", path, false);
        return v.isNull() ? fallback : v.doubleValue();
    };
    auto first = item("firstItem", true);
    NSLayoutAttribute firstAttribute = attribute("firstAttribute", true);
    auto second = item("secondItem", false);
    NSLayoutAttribute secondAttribute = attribute("secondAttribute", false);
    const Value& relationName = member(c, "relation", "string", path, false);
    NSLayoutRelation relation = NSLayoutRelationEqual;
    if (!relationName.isNull()) {
        auto it = relations.find(relationName.asStdString());
        if (it == relations.end()) fail(path + ".relation", "unknown relation \"" + relationName.asStdString() + "\"");
        relation = it->second;
    }
    const Value& identifier = member(c, "identifier", "string", path, false);
    at(path, [&] {
        auto constraint = NSLayoutConstraint::constraintWithItem(first, firstAttribute, relation, second, secondAttribute,
                                                                 number("multiplier", 1), number("constant", 0));
        constraint->setPriority(static_cast<UILayoutPriority>(number("priority", UILayoutPriorityRequired)));
        if (!identifier.isNull()) constraint->setIdentifier(identifier.asStdString());
        holder.addConstraint(constraint);
    });
}

void NibLoad::connectOutlet(const Value& c, const std::string& path) {
    std::string key = member(c, "outlet", "string", path, true).asStdString();
    const Value& sourceName = c.objectForKey("source");
    Value source = objectNamed(sourceName.isNull() ? Value(kOwner) : sourceName, path + ".source");
    Value destination = objectNamed(member(c, "destination", "string", path, true), path + ".destination");
    if (!source.isObject()) fail(path + ".source", "an outlet's source must be an object");
    at(path, [&] { source.asObject()->setValue(destination, key); });
}

void NibLoad::connectAction(const Value& c, const std::string& path) {
    std::string selector = member(c, "action", "string", path, true).asStdString();
    auto control = objectNamed(member(c, "source", "string", path, true), path + ".source").objectAs<UIControl>();
    if (!control) fail(path + ".source", "an action's source must be a control");
    const Value& eventName = member(c, "event", "string", path, false);
    UIControlEvents events = eventName.isNull() ? UIControlEventTouchUpInside : eventNamed(eventName.asStdString());
    if (!events) fail(path + ".event", "unknown control event \"" + eventName.asStdString() + "\"");
    const Value& targetName = c.objectForKey("target");
    if (targetName.isString() && targetName.asString() == kFirstResponder) {
        // Up the responder chain from the sender, to the first object with the action.
        control->addTarget(nullptr, selector, [selector](UIControl& sender, UIEvent*) {
            std::shared_ptr<UIResponder> r = std::static_pointer_cast<UIResponder>(sender.shared_from_this());
            for (; r; r = r->nextResponder())
                if (performSelector(r.get(), selector, {Value(sender.shared_from_this())})) return;
        }, events);
        return;
    }
    Value target = objectNamed(targetName.isNull() ? Value(kOwner) : targetName, path + ".target");
    auto targetObject = target.asObject();
    std::weak_ptr<NSObject> weakTarget = targetObject;
    control->addTarget(targetObject, selector, [weakTarget, selector](UIControl& sender, UIEvent*) {
        auto t = weakTarget.lock();
        if (!t) return;
        if (!performSelector(t.get(), selector, {Value(sender.shared_from_this())}))
            objc_detail::raiseUnrecognizedSelector(t->className(), t.get(), false, selector);
    }, events);
}

void NibLoad::awake() {
    for (const auto& object : made_) {
        if (auto* responder = dynamic_cast<UIResponder*>(object.get())) responder->awakeFromNib();
        else performSelector(object.get(), "awakeFromNib");
    }
}

}  // namespace uikit_detail
