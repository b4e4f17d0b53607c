#include <ui_tab_bar_and_layout/LCDebugAdditions.h>

#include <ui_tab_bar_and_layout/LCLayoutConstraint.h>
#include <ui_tab_bar_and_layout/LCViewExtensions.h>

#include <platform_foundation/NSStringFormat.h>
#include <platform_runtime/ObjCRuntime.h>

#include <charconv>
#include <cmath>
#include <cstdio>

namespace {

std::string g(double v) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%g", v);
    return buffer;
}

// The shortest decimal that reads back as the value ("251", "999.5").
std::string shortest(double v) {
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, result.ptr);
}

template <class Map, class Key>
std::string nameIn(const Map& map, Key key) {
    auto it = map.find(key);
    return it != map.end() ? it->second : "(null)";
}

// Replaces the platform's description of every constraint when the library loads.
const bool installed = [] {
    class_replaceMethod(&NSLayoutConstraint::classObject(), "description",
                        makeInstanceImp<std::string()>([](NSObject& self) {
                            return lc_description(static_cast<NSLayoutConstraint&>(self));
                        }),
                        "@16@0:8");
    return true;
}();

}  // namespace

const std::map<int64_t, std::string>& lc_layoutRelationDescriptionsByValue() {
    static const std::map<int64_t, std::string> table = {{0, "=="}, {1, ">="}, {-1, "<="}};
    return table;
}

const std::map<int64_t, std::string>& lc_layoutAttributeDescriptionsByValue() {
    static const std::map<int64_t, std::string> table = {
        {3, "top"},      {1, "left"},   {4, "bottom"},  {2, "right"},   {5, "leading"},   {6, "trailing"},
        {7, "width"},    {8, "height"}, {9, "centerX"}, {10, "centerY"}, {11, "baseline"}};
    return table;
}

const std::map<float, std::string>& lc_layoutPriorityDescriptionsByValue() {
    static const std::map<float, std::string> table = {
        {750, "high"}, {250, "low"}, {500, "medium"}, {1000, "required"}, {50, "fitting size"}};
    return table;
}

std::string lc_descriptionForObject(const NSObject* object) {
    if (!object) return "(null)";
    Value key;
    if (auto* constraint = dynamic_cast<const LCLayoutConstraint*>(object))
        key = constraint->lc_key();
    else if (dynamic_cast<const UIView*>(object))
        key = lc_key(*object);
    if (!key.isNull()) return NSStringWithFormat("%@:%@", Value(object->className()), key);
    return NSLayoutObjectName(object);
}

std::string lc_description(const NSLayoutConstraint& c) {
    (void)installed;
    std::string text = "<" + lc_descriptionForObject(&c);
    auto first = c.firstItem();
    text += " " + lc_descriptionForObject(first.get());
    if (c.firstAttribute() != 0) text += "." + nameIn(lc_layoutAttributeDescriptionsByValue(), c.firstAttribute());
    text += " " + nameIn(lc_layoutRelationDescriptionsByValue(), c.relation());
    if (auto second = c.secondItem()) text += " " + lc_descriptionForObject(second.get());
    if (c.secondAttribute() != 0) text += "." + nameIn(lc_layoutAttributeDescriptionsByValue(), c.secondAttribute());
    if (c.multiplier() != 1) text += " * " + g(c.multiplier());
    if (c.secondAttribute() == 0)
        text += " " + g(c.constant());
    else if (c.constant() != 0)
        text += std::string(c.constant() < 0 ? " - " : " + ") + g(std::fabs(c.constant()));
    if (c.priority() != 1000) {
        const auto& names = lc_layoutPriorityDescriptionsByValue();
        auto it = names.find(c.priority());
        text += " ^" + (it != names.end() ? it->second : shortest(static_cast<double>(c.priority())));
    }
    return text + ">";
}
