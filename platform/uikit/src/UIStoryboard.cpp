#include <platform_uikit/UIStoryboard.h>

#include "NibLoading.h"

#include <platform_uikit/UIControl.h>
#include <platform_uikit/UINavigationController.h>
#include <platform_uikit/UITableViewController.h>

#include <platform_runtime/AssociatedObjects.h>
#include <platform_runtime/NSException.h>
#include <platform_runtime/ObjCRuntime.h>

#include <set>
#include <sstream>

namespace {

constexpr char kStoryboardType[] = "storyboard.json";
const char* const kSceneStateKey = "UIStoryboardSceneState";

// What a controller's scene left on it once its view part loaded.
class StoryboardSceneState : public NSObject {
    NS_CLASS(StoryboardSceneState, NSObject)
public:
    std::vector<UIStoryboardStaticSection> sections;
};

std::string address(const void* p) {
    std::ostringstream s;
    s << p;
    return s.str();
}

}  // namespace

UIStoryboardPtr UIStoryboard::storyboardWithName(const std::string& name, std::shared_ptr<NSBundle> bundle) {
    auto b = bundle ? std::move(bundle) : NSBundle::mainBundle();
    auto doc = b ? uikit_detail::readNibFormatDocument(*b, name, kStoryboardType) : std::nullopt;
    if (!doc)
        NSException::raise(NSInvalidArgumentException, "Could not find a storyboard named '" + name +
                                                           "' in bundle " + (b ? b->description() : "(none)"));
    auto storyboard = std::make_shared<UIStoryboard>();
    storyboard->name_ = name;
    storyboard->file_ = name + "." + kStoryboardType;
    storyboard->bundle_ = std::move(b);
    storyboard->document_ = std::move(*doc);
    storyboard->check();
    return storyboard;
}

// The whole document's structure is checked when it is opened, so a bad scene raises at once.
void UIStoryboard::check() {
    uikit_detail::NibLoad load(file_, bundle_, nullptr, {});
    const Value& scenes = load.member(document_, "scenes", "array", "$", true);
    for (std::size_t i = 0; i < scenes.count(); ++i) {
        std::string at = "$.scenes[" + std::to_string(i) + "]";
        const Value& s = scenes[i];
        if (!s.isDictionary()) load.fail(at, "a scene needs a JSON object");
        std::string id = load.member(s, "identifier", "string", at, true).asStdString();
        if (scenes_.count(id)) load.fail(at + ".identifier", "a second scene has the identifier \"" + id + "\"");
        const Value& controller = load.member(s, "controller", "object", at, true);
        const Value& className = load.member(controller, "class", "string", at + ".controller", true);
        ObjCClass* cls = NSClassFromString(className.asString());
        if (!cls || !cls->isSubclassOfClass(&UIViewController::classObject()))
            load.fail(at + ".controller.class", "\"" + className.asStdString() + "\" is not a view-controller class");
        load.member(s, "view", "object", at, false);
        load.member(s, "objects", "array", at, false);
        load.member(s, "connections", "array", at, false);
        const Value& sections = load.member(s, "staticSections", "array", at, false);
        for (std::size_t k = 0; k < sections.count(); ++k) {
            std::string sp = at + ".staticSections[" + std::to_string(k) + "]";
            if (!sections[k].isDictionary()) load.fail(sp, "a section needs a JSON object");
            load.member(sections[k], "rows", "array", sp, true);
            load.member(sections[k], "headerTitle", "string", sp, false);
            load.member(sections[k], "footerTitle", "string", sp, false);
            load.member(sections[k], "rowHeight", "number", sp, false);
        }
        Scene scene{i, s, {}};
        const Value& segues = load.member(s, "segues", "array", at, false);
        for (std::size_t k = 0; k < segues.count(); ++k) {
            std::string sp = at + ".segues[" + std::to_string(k) + "]";
            if (!segues[k].isDictionary()) load.fail(sp, "a segue needs a JSON object");
            Segue segue;
            segue.identifier = load.member(segues[k], "identifier", "string", sp, true).asStdString();
            segue.destination = load.member(segues[k], "destination", "string", sp, true).asStdString();
            const Value& kind = load.member(segues[k], "kind", "string", sp, false);
            segue.kind = kind.isNull() ? "show" : kind.asStdString();
            if (segue.kind != "show" && segue.kind != "present")
                load.fail(sp + ".kind", "unknown segue kind \"" + segue.kind + "\"");
            segue.trigger = load.member(segues[k], "trigger", "string", sp, false).asStdString();
            scene.segues.push_back(std::move(segue));
        }
        scenes_.emplace(id, std::move(scene));
    }
    // References between scenes: they exist, and relationships do not loop.
    for (const auto& [id, scene] : scenes_) {
        std::string at = path(scene);
        for (std::size_t k = 0; k < scene.segues.size(); ++k)
            if (!scenes_.count(scene.segues[k].destination))
                load.fail(at + ".segues[" + std::to_string(k) + "].destination",
                          "no scene has the identifier \"" + scene.segues[k].destination + "\"");
        const Value& relationships = load.member(scene.description, "relationships", "object", at, false);
        for (const auto& [key, target] : relationships.asDictionary()) {
            std::string rp = at + ".relationships." + key.stringValue();
            std::vector<Value> targets = target.isArray() ? target.asArray() : std::vector<Value>{target};
            for (const auto& t : targets)
                if (!t.isString() || !scenes_.count(t.asStdString()))
                    load.fail(rp, "a relationship names scenes by identifier");
        }
    }
    std::function<void(const std::string&, std::set<std::string>&)> walk = [&](const std::string& id,
                                                                               std::set<std::string>& open) {
        if (!open.insert(id).second)
            load.fail(path(scenes_.at(id)) + ".relationships", "relationships lead back to the scene \"" + id + "\"");
        for (const auto& [key, target] : scenes_.at(id).description.objectForKey("relationships").asDictionary()) {
            std::vector<Value> targets = target.isArray() ? target.asArray() : std::vector<Value>{target};
            for (const auto& t : targets) walk(t.asStdString(), open);
        }
        open.erase(id);
    };
    for (const auto& [id, scene] : scenes_) {
        std::set<std::string> open;
        walk(id, open);
    }
    const Value& initial = load.member(document_, "initialScene", "string", "$", false);
    if (!initial.isNull()) {
        if (!scenes_.count(initial.asStdString()))
            load.fail("$.initialScene", "no scene has the identifier \"" + initial.asStdString() + "\"");
        initial_ = initial.asStdString();
    }
}

const UIStoryboard::Scene* UIStoryboard::scene(const std::string& identifier) const {
    auto it = scenes_.find(identifier);
    return it == scenes_.end() ? nullptr : &it->second;
}

UIViewControllerPtr UIStoryboard::instantiateInitialViewController() {
    return initial_ ? instantiate(*scene(*initial_)) : nullptr;
}

UIViewControllerPtr UIStoryboard::instantiateViewControllerWithIdentifier(const std::string& identifier) {
    const Scene* s = scene(identifier);
    if (!s)
        NSException::raise(NSInvalidArgumentException, "Storyboard (<UIStoryboard: " + address(this) +
                                                           ">) doesn't contain a view controller with identifier '" +
                                                           identifier + "'");
    return instantiate(*s);
}

UIViewControllerPtr UIStoryboard::instantiate(const Scene& scene) {
    std::string at = path(scene);
    uikit_detail::NibLoad load(file_, bundle_, nullptr, {});
    auto controller = std::dynamic_pointer_cast<UIViewController>(
        load.build(scene.description.objectForKey("controller"), at + ".controller"));
    controller->storyboard_ = std::static_pointer_cast<UIStoryboard>(shared_from_this());
    controller->sceneIdentifier_ = scene.description.objectForKey("identifier").asStdString();
    for (const auto& [key, target] : scene.description.objectForKey("relationships").asDictionary()) {
        std::string name = key.stringValue();
        std::string rp = at + ".relationships." + name;
        if (name == "rootViewController") {
            auto nav = std::dynamic_pointer_cast<UINavigationController>(controller);
            if (!nav) load.fail(rp, "only a navigation controller has a root view controller");
            auto root = instantiate(*this->scene(target.asStdString()));
            load.at(rp, [&] { nav->setViewControllers({root}, false); });
        } else {
            Value::Array children;
            std::vector<Value> targets = target.isArray() ? target.asArray() : std::vector<Value>{target};
            for (const auto& t : targets) children.emplace_back(instantiate(*this->scene(t.asStdString())));
            load.at(rp, [&] { controller->setValue(Value(std::move(children)), name); });
        }
    }
    load.awake();
    return controller;
}

void UIStoryboard::loadScene(UIViewController& controller, bool makeView) {
    if (!objc_getAssociatedObject(controller, kSceneStateKey).isNull()) return;
    const Scene* s = scene(controller.sceneIdentifier_);
    if (!s) return;
    const Value& d = s->description;
    if (makeView && d.objectForKey("view").isNull()) return;  // the controller makes its own view
    auto state = std::make_shared<StoryboardSceneState>();
    std::string at = path(*s);
    auto self = std::static_pointer_cast<UIViewController>(controller.shared_from_this());
    uikit_detail::NibLoad load(file_, bundle_, self, {});
    if (makeView) {
        auto view = std::dynamic_pointer_cast<UIView>(load.build(d.objectForKey("view"), at + ".view"));
        if (!view) load.fail(at + ".view", "a scene's view must be a view");
        controller.setView(view);
    }
    const Value& objects = d.objectForKey("objects");
    for (std::size_t i = 0; i < objects.count(); ++i)
        load.build(objects[i], at + ".objects[" + std::to_string(i) + "]");
    const Value& sections = d.objectForKey("staticSections");
    for (std::size_t k = 0; k < sections.count(); ++k) {
        std::string sp = at + ".staticSections[" + std::to_string(k) + "]";
        const Value& sd = sections[k];
        UIStoryboardStaticSection section;
        if (sd.objectForKey("headerTitle").isString()) section.headerTitle = sd.objectForKey("headerTitle").asStdString();
        if (sd.objectForKey("footerTitle").isString()) section.footerTitle = sd.objectForKey("footerTitle").asStdString();
        if (sd.objectForKey("rowHeight").isNumber()) section.rowHeight = sd.objectForKey("rowHeight").doubleValue();
        const Value& rows = sd.objectForKey("rows");
        // The editor records a static cell at the table's width (and the row's height): a
        // row without a frame gets that before its subviews go in, in those coordinates.
        auto table = controller.viewIfLoaded();
        double width = table ? table->bounds().size.width : 0;
        for (std::size_t r = 0; r < rows.count(); ++r) {
            std::string rowPath = sp + ".rows[" + std::to_string(r) + "]";
            Value row = rows[r];
            const Value& given = row.isDictionary() ? row.objectForKey("properties") : Value();
            if (width > 0 && row.isDictionary() && (given.isNull() || (given.isDictionary() && given.objectForKey("frame").isNull()))) {
                Value::Dictionary properties = given.isDictionary() ? given.asDictionary() : Value::Dictionary();
                properties[Value("frame")] = Value::dict(
                    {{Value("rect"), Value::array({Value(0.0), Value(0.0), Value(width), Value(section.rowHeight.value_or(0.0) > 0 ? *section.rowHeight : 44.0)})}});
                Value::Dictionary described = row.asDictionary();
                described[Value("properties")] = Value(std::move(properties));
                row = Value(std::move(described));
            }
            auto cell = std::dynamic_pointer_cast<UIView>(load.build(row, rowPath));
            if (!cell) load.fail(rowPath, "a static row must be a view (a cell)");
            section.rows.push_back(cell);
        }
        state->sections.push_back(std::move(section));
    }
    load.connect(d.objectForKey("connections"), at + ".connections");
    // Segues a control of the scene triggers.
    for (std::size_t k = 0; k < s->segues.size(); ++k) {
        const Segue& segue = s->segues[k];
        if (segue.trigger.empty()) continue;
        std::string sp = at + ".segues[" + std::to_string(k) + "].trigger";
        auto control = load.objectNamed(Value(segue.trigger), sp).objectAs<UIControl>();
        if (!control) load.fail(sp, "a segue is triggered by a control");
        std::weak_ptr<UIViewController> weak = self;
        std::string identifier = segue.identifier;
        control->addTarget(nullptr, "perform:", [weak, identifier](UIControl& sender, UIEvent*) {
            auto source = weak.lock();
            auto senderObject = sender.shared_from_this();
            if (source && source->shouldPerformSegueWithIdentifier(identifier, senderObject))
                source->performSegueWithIdentifier(identifier, senderObject);
        }, UIControlEventTouchUpInside);
    }
    objc_setAssociatedObject(controller, kSceneStateKey, Value(state), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    if (auto table = dynamic_cast<UITableViewController*>(&controller); table && !state->sections.empty()) {
        std::vector<UITableViewStaticSection> content;
        for (std::size_t k = 0; k < state->sections.size(); ++k) {
            const auto& section = state->sections[k];
            UITableViewStaticSection out;
            out.headerTitle = section.headerTitle;
            out.footerTitle = section.footerTitle;
            for (std::size_t r = 0; r < section.rows.size(); ++r) {
                auto cell = std::dynamic_pointer_cast<UITableViewCell>(section.rows[r]);
                if (!cell)
                    load.fail(at + ".staticSections[" + std::to_string(k) + "].rows[" + std::to_string(r) + "]",
                              "a static row of a table controller must be a cell");
                out.rows.push_back({cell, section.rowHeight.value_or(UITableViewAutomaticDimension)});
            }
            content.push_back(std::move(out));
        }
        table->setStaticSections(std::move(content));
    }
    load.awake();
}

std::vector<UIStoryboardStaticSection> UIStoryboardStaticSections(const UIViewController& controller) {
    auto state = objc_getAssociatedObject(controller, kSceneStateKey).objectAs<StoryboardSceneState>();
    return state ? state->sections : std::vector<UIStoryboardStaticSection>{};
}

UIStoryboardSegue::UIStoryboardSegue(std::string identifier, UIViewControllerPtr source,
                                     UIViewControllerPtr destination, std::string kind)
    : identifier_(std::move(identifier)),
      source_(std::move(source)),
      destination_(std::move(destination)),
      kind_(std::move(kind)) {}

void UIStoryboardSegue::perform() {
    if (kind_ == "show") {
        if (auto nav = source_->navigationController()) {
            nav->pushViewController(destination_, true);
            return;
        }
    }
    source_->presentViewController(destination_, true);
}
