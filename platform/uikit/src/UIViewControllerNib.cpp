// A view controller's nib and storyboard side: the nib its view comes from,
// and the segues of its storyboard scene.

#include <platform_uikit/UINib.h>
#include <platform_uikit/UIStoryboard.h>
#include <platform_uikit/UIViewController.h>

#include <platform_runtime/NSException.h>

#include <sstream>

void UIViewController::setNibName(std::optional<std::string> name, std::shared_ptr<NSBundle> bundle) {
    nibName_ = std::move(name);
    nibBundle_ = std::move(bundle);
}

bool UIViewController::loadViewFromNib() {
    if (storyboard_) {
        storyboard_->loadScene(*this, true);
        if (view_) return true;
    }
    std::optional<std::string> name = nibName_;
    if (!name) {
        std::string cls = className();
        constexpr std::string_view kEnding = "Controller";
        if (cls.size() > kEnding.size() && cls.compare(cls.size() - kEnding.size(), kEnding.size(), kEnding) == 0 &&
            UINib::existsInBundle(cls.substr(0, cls.size() - kEnding.size()), nibBundle_))
            name = cls.substr(0, cls.size() - kEnding.size());
        else if (UINib::existsInBundle(cls, nibBundle_))
            name = cls;
    }
    if (!name) return false;
    auto self = shared_from_this();
    UINib::nibWithNibName(*name, nibBundle_)->instantiateWithOwner(self);
    if (!view_)
        NSException::raise(NSInternalInconsistencyException, "-[" + className() +
                                                                 " _loadViewFromNibNamed:bundle:] loaded the \"" +
                                                                 *name + "\" nib but the view outlet was not set.");
    return true;
}

void UIViewController::performSegueWithIdentifier(const std::string& identifier,
                                                  const std::shared_ptr<NSObject>& sender) {
    const UIStoryboard::Scene* scene = storyboard_ ? storyboard_->scene(sceneIdentifier_) : nullptr;
    const UIStoryboard::Segue* found = nullptr;
    if (scene)
        for (const auto& segue : scene->segues)
            if (segue.identifier == identifier) found = &segue;
    if (!found) {
        std::ostringstream address;
        address << static_cast<const void*>(this);
        NSException::raise(NSInvalidArgumentException, "Receiver (<" + className() + ": " + address.str() +
                                                           ">) has no segue with identifier '" + identifier + "'");
    }
    auto destination = storyboard_->instantiateViewControllerWithIdentifier(found->destination);
    auto segue = std::make_shared<UIStoryboardSegue>(
        identifier, std::static_pointer_cast<UIViewController>(shared_from_this()), destination, found->kind);
    prepareForSegue(*segue, sender);
    segue->perform();
}
