#pragma once
// Loading a system framework bundle by path ("/System/Library/Frameworks/X.framework"):
// only the frameworks whose stand-ins this platform carries load (CoreTelephony and
// AdSupport); every other path answers false. Any thread.

#include <string>

bool loadSystemFramework(const std::string& path);
