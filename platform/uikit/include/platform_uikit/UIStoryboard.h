#pragma once
// A storyboard: a JSON document in a bundle ("Name.storyboard.json") of
// scenes, each a view controller with an identifier, its view and objects
// (in the nib format of UINib.h, the controller being the owner), static
// table sections, relationships to other scenes and segues.
//
// Document:
//   { "initialScene": "list",                      optional
//     "scenes": [ {
//        "identifier": "list",                      unique (required)
//        "controller": object,                      a view-controller class; its properties are set when made
//        "view": object,                            the controller's view, made when the view loads
//        "objects": [object, ...],                  further objects, made with the view
//        "connections": [connection, ...],          made with the view; "owner" is the controller
//        "staticSections": [ {"headerTitle": "...", "footerTitle": "...", "rowHeight": 44,
//                             "rows": [cell object, ...]} ],
//        "relationships": {"rootViewController": "scene"} | {"viewControllers": ["scene", ...]},
//        "segues": [ {"identifier": "detail", "destination": "scene", "kind": "show" | "present",
//                     "trigger": id of a control of the scene} ] } ] }
// Each instantiation makes new controllers. The controller hears awakeFromNib
// when made (after its relationships); the objects of its view part hear it
// when the view loads, after their outlets are set and before viewDidLoad.
// A triggered segue asks shouldPerformSegueWithIdentifier first;
// performSegueWithIdentifier does not. Before perform, the source hears
// prepareForSegue.
//
// A missing storyboard raises NSInvalidArgumentException naming it and the
// bundle; a document that does not follow the format raises
// NSInvalidUnarchiveOperationException with the file and JSON path, when
// the storyboard is opened; an unknown identifier raises
// NSInvalidArgumentException.
//
// Main thread. A controller holds its storyboard; the storyboard holds no controller.

#include <platform_uikit/UIViewController.h>

#include <platform_foundation/NSBundle.h>
#include <platform_runtime/ObjCDeclare.h>
#include <platform_runtime/Value.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class UIStoryboard;
using UIStoryboardPtr = std::shared_ptr<UIStoryboard>;

class UIStoryboard : public NSObject {
    NS_CLASS(UIStoryboard, NSObject)
public:
    UIStoryboard() = default;
    // A null bundle is the main bundle.
    static UIStoryboardPtr storyboardWithName(const std::string& name, std::shared_ptr<NSBundle> bundle);

    const std::string& name() const { return name_; }
    const std::shared_ptr<NSBundle>& bundle() const { return bundle_; }
    // nullptr when the document names no initial scene.
    UIViewControllerPtr instantiateInitialViewController();
    UIViewControllerPtr instantiateViewControllerWithIdentifier(const std::string& identifier);

private:
    friend class UIViewController;
    struct Segue {
        std::string identifier, destination, kind, trigger;
    };
    struct Scene {
        std::size_t index = 0;
        Value description;
        std::vector<Segue> segues;
    };
    std::string path(const Scene& scene) const { return "$.scenes[" + std::to_string(scene.index) + "]"; }
    const Scene* scene(const std::string& identifier) const;
    void check();
    UIViewControllerPtr instantiate(const Scene& scene);
    // The view part of the controller's scene: with `makeView` its "view" too (from loadView).
    void loadScene(UIViewController& controller, bool makeView);

    std::string name_, file_;
    std::shared_ptr<NSBundle> bundle_;
    Value document_;
    std::map<std::string, Scene> scenes_;
    std::optional<std::string> initial_;
};

// A transition from one scene's controller to a new controller of another scene.
class UIStoryboardSegue : public NSObject {
    NS_CLASS(UIStoryboardSegue, NSObject)
public:
    UIStoryboardSegue() = default;
    UIStoryboardSegue(std::string identifier, UIViewControllerPtr source, UIViewControllerPtr destination,
                      std::string kind);
    const std::string& identifier() const { return identifier_; }
    const UIViewControllerPtr& sourceViewController() const { return source_; }
    const UIViewControllerPtr& destinationViewController() const { return destination_; }
    const std::string& kind() const { return kind_; }
    // "show": pushed on the source's navigation controller, else presented;
    // "present": presented by the source, animated.
    virtual void perform();

private:
    std::string identifier_;
    UIViewControllerPtr source_, destination_;
    std::string kind_;
};

// One static table section of a storyboard scene, as its view loaded it.
struct UIStoryboardStaticSection {
    std::optional<std::string> headerTitle, footerTitle;
    std::optional<double> rowHeight;
    std::vector<std::shared_ptr<UIView>> rows;
};
// The static sections the controller's scene gave it (empty before its view loads).
std::vector<UIStoryboardStaticSection> UIStoryboardStaticSections(const UIViewController& controller);
