#pragma once
// One instantiation of a nib-format document (a nib, or a storyboard
// scene's view part): makes objects, sets their literals, builds the view
// trees, connects outlets and actions, and awakes what it made. Errors name
// the document's file and the JSON path of what was wrong.
//
// Main thread; lives for one instantiation.

#include <platform_foundation/NSBundle.h>
#include <platform_runtime/NSException.h>
#include <platform_runtime/NSObject.h>
#include <platform_runtime/Value.h>

#include <map>
#include <optional>
#include <memory>
#include <string>
#include <vector>

class UIView;

namespace uikit_detail {

// Reads "<name>.<type>" of the bundle as JSON. Missing: nullopt. Not JSON:
// raises NSInvalidUnarchiveOperationException naming the file.
std::optional<Value> readNibFormatDocument(const NSBundle& bundle, const std::string& name, const std::string& type);

class NibLoad {
public:
    NibLoad(std::string file, std::shared_ptr<NSBundle> bundle, std::shared_ptr<NSObject> owner,
            const Value& externalObjects);

    const std::string& file() const { return file_; }
    const std::shared_ptr<NSObject>& owner() const { return owner_; }

    // An object description at `path`: made, given its properties and subviews.
    std::shared_ptr<NSObject> build(const Value& object, const std::string& path);
    // A literal at `path` as the value to store.
    Value literal(const Value& literal, const std::string& path);
    // The connections array at `path` (nothing for null).
    void connect(const Value& connections, const std::string& path);
    // awakeFromNib to every object built, in the order they were made.
    void awake();
    // The owner ("owner"), an external object or an object made so far; raises when unknown.
    Value objectNamed(const Value& name, const std::string& path) const;
    // Gives `object` an id (storyboard controllers name themselves).
    void name(const std::string& id, const std::shared_ptr<NSObject>& object) { ids_[id] = object; }

    // Raises NSInvalidUnarchiveOperationException "<file>: <what> at <path>".
    [[noreturn]] void fail(const std::string& path, const std::string& what) const;
    // Runs `f`; an NSException it raises gains the file and path.
    template <class F>
    void at(const std::string& path, F&& f) const {
        try {
            f();
        } catch (const NSException& e) {
            rethrowWithPlace(e, path);
        }
    }
    // The member of a dictionary `object` at path, checked for kind ("string", "array", "object", "number").
    const Value& member(const Value& object, const char* key, const char* kind, const std::string& path,
                        bool required) const;

private:
    [[noreturn]] void rethrowWithPlace(const NSException& e, const std::string& path) const;
    std::shared_ptr<NSObject> makeWithArguments(ObjCClass& cls, const Value& init, const std::string& path);
    void setProperties(NSObject& object, const Value& properties, const std::string& path);
    void addSubviews(NSObject& object, const Value& subviews, const std::string& path);
    void keepConstraints(NSObject& object, const Value& constraints, const std::string& path);
    void makeConstraint(UIView& holder, const Value& constraint, const std::string& path);
    void connectOutlet(const Value& connection, const std::string& path);
    void connectAction(const Value& connection, const std::string& path);

    std::string file_;
    std::shared_ptr<NSBundle> bundle_;
    std::shared_ptr<NSObject> owner_;
    std::map<std::string, Value> ids_;
    std::vector<std::shared_ptr<NSObject>> made_;
    struct PendingConstraints {
        std::shared_ptr<NSObject> view;
        Value constraints;
        std::string path;
    };
    std::vector<PendingConstraints> constraints_;
};

}  // namespace uikit_detail
