#pragma once
// Internal: the class names and class chains the keyed archive uses for built-in value kinds.

#include <string>
#include <vector>

namespace codecs {

inline constexpr char kArchiverName[] = "NSKeyedArchiver";
inline constexpr int64_t kArchiveVersion = 100000;

// {"NSMutableArray", "NSArray", "NSObject"} for "NSMutableArray"; empty for names that are not
// built-in value classes.
std::vector<std::string> builtinClassChain(const std::string& className);

// Archive keys starting with '$' are stored with one more '$' so they cannot clash with "$class".
inline std::string escapeArchiveKey(const std::string& key) { return !key.empty() && key[0] == '$' ? "$" + key : key; }

}  // namespace codecs

class ObjCClass;

namespace codecs {

// The class and its superclasses' names as the runtime registry knows them, up to the root.
std::vector<std::string> runtimeClassChain(const ObjCClass& cls);

}  // namespace codecs
