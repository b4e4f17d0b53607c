#pragma once
// A nib: a JSON document in a bundle ("Name.nib.json") that describes
// objects by class name, the values set on them by key-value coding, their
// subviews and constraints, and the outlets and actions that connect them to
// each other and to an owner. Instantiating it makes fresh objects each time.
//
// Document:
//   { "objects": [object, ...],            the top-level objects, in order
//     "connections": [connection, ...] }    optional
// object:
//   { "class": "UILabel",                   a registered class (required)
//     "id": "title",                        names it for connections
//     "properties": { "key.path": literal }, set in key order with setValue:forKeyPath:
//     "subviews": [object, ...],            added in order (a cell's go into its content view)
//     "constraints": [constraint, ...] }    added to the view
// constraint: {"firstItem": id | "self", "firstAttribute": "leading", "relation": "=" | "<=" | ">=",
//              "secondItem": id | "self", "secondAttribute": "leading", "multiplier": 1,
//              "constant": 8, "priority": 1000, "identifier": "..."}
// ("self" is the view holding the constraint; attributes left, right, top, bottom, leading,
// trailing, width, height, centerX, centerY, lastBaseline.)
// literal: JSON null, bool, number, string, array, or one typed object:
//   {"rect": [x, y, w, h]} {"point": [x, y]} {"size": [w, h]} {"insets": [top, left, bottom, right]}
//   {"color": "#RRGGBB" | "#RRGGBBAA" | "redColor" | [r, g, b, a]}
//   {"font": {"size": 17, "name": "...", "bold": true} | {"textStyle": "UICTFontTextStyleBody"}}
//   {"image": "name"} (the nib's bundle; an absent file gives null)
//   {"attributedText": [{"text": "...", "font": {...}, "color": ...}, ...]}
// connection ("owner" names the owner; otherwise an object's id):
//   {"outlet": "key", "source": "owner" | id, "destination": "owner" | id}   source defaults to the owner
//   {"action": "collect:", "source": id, "target": "owner" | id | "firstResponder",
//    "event": "touchUpInside" | "valueChanged" | "touchDown" | "primaryActionTriggered" | "editingChanged"}
// Outlets set the key with setValue:forKey:. An action calls the target's
// instance operation of that selector with the sender (a first-responder
// action goes to the first object up the sender's responder chain that has
// it). After every object is made and every connection set, each object made
// hears awakeFromNib, in document order (the owner does not).
//
// A document that is missing raises the platform's exception naming the
// bundle and the name; one that is not JSON or does not follow the format
// raises NSInvalidUnarchiveOperationException naming the file and the JSON
// path ("$.objects[0].properties.frame"); a key a class does not have
// raises NSUnknownKeyException with the file and path added.
//
// Main thread. A nib keeps its document, never the objects it made.

#include <platform_foundation/NSBundle.h>
#include <platform_runtime/ObjCDeclare.h>
#include <platform_runtime/Value.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class UINib;
class UIView;
using UINibPtr = std::shared_ptr<UINib>;

// User-info keys of the exceptions a bad document raises.
inline constexpr char UINibFileUserInfoKey[] = "UINibFile";
inline constexpr char UINibJSONPathUserInfoKey[] = "UINibJSONPath";

// Option of instantiate: a dictionary of id -> object; the document's
// "external" ids (owner-side objects) connect to these.
inline constexpr char UINibExternalObjects[] = "UINibExternalObjects";

class UINib : public NSObject {
    NS_CLASS(UINib, NSObject)
public:
    UINib() = default;
    // The nib "name" of the bundle (main bundle when null). Reading happens at
    // instantiation, so a missing nib raises there, as the platform does.
    static UINibPtr nibWithNibName(const std::string& name, std::shared_ptr<NSBundle> bundle);
    // A nib over a document already in memory; `file` names it in errors.
    static UINibPtr nibWithDocument(Value document, std::string file, std::shared_ptr<NSBundle> bundle);

    // Makes the objects, connects them, awakes them; answers the top-level objects in order.
    std::vector<Value> instantiateWithOwner(const std::shared_ptr<NSObject>& owner, const Value& options = {});

    // Whether "name.nib.json" exists in the bundle (main bundle when null).
    static bool existsInBundle(const std::string& name, const std::shared_ptr<NSBundle>& bundle);
    const std::string& name() const { return name_; }
    std::shared_ptr<NSBundle> bundle() const;

private:
    // Reads the document on first use.
    const Value& document();
    std::string name_;
    std::string file_;
    std::shared_ptr<NSBundle> bundle_;
    std::optional<Value> document_;
};

// -[NSBundle loadNibNamed:owner:options:]: instantiates the bundle's nib of that name.
std::vector<Value> loadNibNamed(const std::shared_ptr<NSBundle>& bundle, const std::string& name,
                                const std::shared_ptr<NSObject>& owner, const Value& options = {});
