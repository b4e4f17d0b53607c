#pragma once
// Test helpers shared by the codec tests: kind-exact comparison of Values and temp directories.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <platform_runtime/Value.h>

namespace codec_test {

// Value's == treats true, 1 and 1.0 as equal (as numbers do); codecs must also keep the kind.
inline ::testing::AssertionResult sameKindsAndValues(const Value& a, const Value& b, const std::string& path = "$") {
    auto fail = [&](const std::string& what) {
        return ::testing::AssertionFailure() << path << ": " << what << " (" << a.description() << " vs "
                                             << b.description() << ")";
    };
    if (a.type() != b.type())
        return fail(std::string("kind ") + a.typeName() + " vs " + b.typeName());
    if (a.isArray() || a.isSet()) {
        if (a.count() != b.count()) return fail("count");
        for (std::size_t i = 0; i < a.count(); ++i)
            if (auto r = sameKindsAndValues(a[i], b[i], path + "[" + std::to_string(i) + "]"); !r) return r;
        return ::testing::AssertionSuccess();
    }
    if (a.isDictionary()) {
        if (a.count() != b.count()) return fail("count");
        auto ia = a.asDictionary().begin();
        auto ib = b.asDictionary().begin();
        for (; ia != a.asDictionary().end(); ++ia, ++ib) {
            if (auto r = sameKindsAndValues(ia->first, ib->first, path + " key"); !r) return r;
            if (auto r = sameKindsAndValues(ia->second, ib->second, path + "." + ia->first.stringValue()); !r)
                return r;
        }
        return ::testing::AssertionSuccess();
    }
    if (a.type() == Value::Type::Double && std::signbit(a.asDouble()) != std::signbit(b.asDouble())) return fail("sign of zero");
    if (a != b) return fail("value");
    return ::testing::AssertionSuccess();
}

// A fresh directory under the system temp dir, removed with the object.
class TempDir {
public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "codec-test-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Arrays nested `depth` deep around an empty one. Value releases its children recursively,
// so the levels are kept here too and released from the outside in, one at a time.
class DeepArray {
public:
    explicit DeepArray(std::size_t depth) {
        levels_.push_back(Value::array({}));
        for (std::size_t i = 1; i < depth; ++i) levels_.push_back(Value::array({levels_.back()}));
    }
    ~DeepArray() {
        while (!levels_.empty()) levels_.pop_back();
    }
    DeepArray(const DeepArray&) = delete;
    DeepArray& operator=(const DeepArray&) = delete;

    const Value& value() const { return levels_.back(); }

private:
    std::vector<Value> levels_;
};

}  // namespace codec_test
