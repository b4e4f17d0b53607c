#pragma once
// Semantic system colours that fall back to fixed values before system
// version 13, a solid-colour image, and light / dark image choice.
//
// Colours: any thread. Images: main thread (they draw at the screen's scale).

#include <platform_net/UIImage.h>
#include <platform_runtime/NSObject.h>
#include <platform_uikit/UIColor.h>

#include <string>

// The platform colour of the same name (without "tb_") from 13; before, the
// fixed value. Names as the platform's selectors: "systemGrayColor", ...
UIColorPtr tb_systemColorNamed(const std::string& name);

UIColorPtr tb_systemRedColor();
UIColorPtr tb_systemGreenColor();
UIColorPtr tb_systemBlueColor();
UIColorPtr tb_systemOrangeColor();
UIColorPtr tb_systemYellowColor();
UIColorPtr tb_systemPinkColor();
UIColorPtr tb_systemPurpleColor();
UIColorPtr tb_systemTealColor();
UIColorPtr tb_systemIndigoColor();
UIColorPtr tb_systemGrayColor();
UIColorPtr tb_systemGray2Color();
UIColorPtr tb_systemGray3Color();
UIColorPtr tb_systemGray4Color();
UIColorPtr tb_systemGray5Color();
UIColorPtr tb_systemGray6Color();
UIColorPtr tb_labelColor();
UIColorPtr tb_secondaryLabelColor();
UIColorPtr tb_tertiaryLabelColor();
UIColorPtr tb_quaternaryLabelColor();
UIColorPtr tb_linkColor();
UIColorPtr tb_placeholderTextColor();
UIColorPtr tb_separatorColor();
UIColorPtr tb_opaqueSeparatorColor();
UIColorPtr tb_systemBackgroundColor();
UIColorPtr tb_secondarySystemBackgroundColor();
UIColorPtr tb_tertiarySystemBackgroundColor();
UIColorPtr tb_systemGroupedBackgroundColor();
UIColorPtr tb_secondarySystemGroupedBackgroundColor();
UIColorPtr tb_tertiarySystemGroupedBackgroundColor();
UIColorPtr tb_systemFillColor();
UIColorPtr tb_secondarySystemFillColor();
UIColorPtr tb_tertiarySystemFillColor();
UIColorPtr tb_quaternarySystemFillColor();
UIColorPtr tb_lightTextColor();
UIColorPtr tb_darkTextColor();
// From 13 the platform's brown; before, (162, 132, 94) at alpha 1.
UIColorPtr tb_systemBrownColor();

// None for a missing colour or a side ≤ 0; else the size filled with the
// colour at the screen's scale, in its own colours.
UIImagePtr tb_imageWithColor(const UIColorPtr& color, CGSize size);
// Before 13 the light image; from 13 the dark one while the owner's (else the
// current) trait collection is dark.
UIImagePtr tb_lightOrDarkModeImageWithOwner(const NSObject* owner, UIImagePtr light, UIImagePtr dark);
UIImagePtr tb_lightOrDarkModeImageWithLightImage(UIImagePtr light, UIImagePtr dark);
UIImagePtr tb_lightOrDarkModeImageWithOwner(const NSObject* owner, const std::string& lightName,
                                            const std::string& darkName);
// The named image; from 13 its variant for the given interface style.
UIImagePtr tb_assetImageName(const std::string& name, int64_t userInterfaceStyle);
