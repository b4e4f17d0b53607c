#pragma once
// Named images from a bundle's resources, chosen for a display scale and an interface style.
//
// Files, for the name "icon" (a name with an extension such as "icon.jpg" looks for that
// type only; otherwise ".png", then ".jpg"):
//   icon.png  icon@2x.png  icon@3x.png              the light (any-appearance) variants
//   icon~dark.png  icon~dark@2x.png  icon~dark@3x.png  dark variants, used from OS 13 on
// The scale is the traits' display scale (the main screen's when unspecified): the variant of
// exactly that scale wins, then the larger ones upwards, then the smaller ones downwards. The
// image's scale is the file's (@2x → 2). A dark trait collection takes a dark file when one
// exists, else falls back to the light files.
//
// Any thread; reads the files at every call.

#include <memory>
#include <string_view>

#include <platform_foundation/NSBundle.h>
#include <platform_net/UIImage.h>
#include <platform_uikit/UITraitCollection.h>

// nullptr when no file matches or the file does not decode. `bundle` nullptr: the main bundle;
// `traits` nullptr: the calling thread's current trait collection.
UIImagePtr UIImageNamed(std::string_view name, const std::shared_ptr<NSBundle>& bundle = nullptr,
                        const UITraitCollectionPtr& traits = nullptr);
