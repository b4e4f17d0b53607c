#include <platform_uikit/UINib.h>

#include "NibLoading.h"


#include <platform_runtime/NSException.h>

namespace {
constexpr char kNibType[] = "nib.json";
}

UINibPtr UINib::nibWithNibName(const std::string& name, std::shared_ptr<NSBundle> bundle) {
    auto nib = std::make_shared<UINib>();
    nib->name_ = name;
    nib->file_ = name + "." + kNibType;
    nib->bundle_ = std::move(bundle);
    return nib;
}

UINibPtr UINib::nibWithDocument(Value document, std::string file, std::shared_ptr<NSBundle> bundle) {
    auto nib = std::make_shared<UINib>();
    nib->file_ = std::move(file);
    nib->name_ = nib->file_;
    nib->bundle_ = std::move(bundle);
    nib->document_ = std::move(document);
    return nib;
}

bool UINib::existsInBundle(const std::string& name, const std::shared_ptr<NSBundle>& bundle) {
    auto b = bundle ? bundle : NSBundle::mainBundle();
    return b && b->pathForResource(name, kNibType).has_value();
}

std::shared_ptr<NSBundle> UINib::bundle() const { return bundle_ ? bundle_ : NSBundle::mainBundle(); }

const Value& UINib::document() {
    if (document_) return *document_;
    auto b = bundle();
    auto doc = b ? uikit_detail::readNibFormatDocument(*b, name_, kNibType) : std::nullopt;
    if (!doc)
        NSException::raise(NSInternalInconsistencyException, "Could not load NIB in bundle: '" +
                                                                 (b ? b->description() : std::string("(none)")) +
                                                                 "' with name '" + name_ + "'");
    document_ = std::move(doc);
    return *document_;
}

std::vector<Value> UINib::instantiateWithOwner(const std::shared_ptr<NSObject>& owner, const Value& options) {
    const Value& doc = document();
    uikit_detail::NibLoad load(file_, bundle(), owner, options);
    const Value& objects = load.member(doc, "objects", "array", "$", true);
    std::vector<Value> top;
    for (std::size_t i = 0; i < objects.count(); ++i)
        top.emplace_back(load.build(objects[i], "$.objects[" + std::to_string(i) + "]"));
    load.connect(load.member(doc, "connections", "array", "$", false), "$.connections");
    load.awake();
    return top;
}

std::vector<Value> loadNibNamed(const std::shared_ptr<NSBundle>& bundle, const std::string& name,
                                const std::shared_ptr<NSObject>& owner, const Value& options) {
    return UINib::nibWithNibName(name, bundle)->instantiateWithOwner(owner, options);
}
