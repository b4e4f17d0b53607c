#include <platform_uikit/UIPasteboard.h>

#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <platform_foundation/FileLock.h>
#include <platform_foundation/NSDataFile.h>
#include <platform_foundation/NSPropertyListSerialization.h>
#include <platform_foundation/PercentEncoding.h>
#include <platform_foundation/Sandbox.h>

namespace {

std::mutex mutex;

std::string directory() {
    const std::string dir = NSSandbox::deviceRootPath() + "/Pasteboards";
    ::mkdir(dir.c_str(), 0700);
    return dir;
}

// A file name for any pasteboard name: only letters, digits, '.', '-' and '_' stay.
std::string fileFor(const std::string& name) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : name) {
        if (std::isalnum(c) || c == '.' || c == '-' || c == '_') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return directory() + "/" + out + ".pasteboard";
}

// Serialises read-modify-write cycles of every pasteboard across processes.
std::string lockPath() { return directory() + "/.lock"; }

// The record of a pasteboard: {"persistent": bool, "items": {type: data}}; empty when the
// file is missing or unreadable.
Value load(const std::string& path) {
    auto bytes = NSDataFile::dataWithContentsOfFile(path);
    if (!bytes) return Value();
    Value v = NSPropertyListSerialization::propertyListWithData(*bytes);
    if (!v.isDictionary()) return Value::mutableDictionary();
    return v.mutableCopy();
}

bool save(const std::string& path, Value record) {
    if (!record.objectForKey("items").isDictionary()) record.setObject(Value::mutableDictionary(), "items");
    const Value::Data bytes = NSPropertyListSerialization::dataWithPropertyList(record, NSPropertyListBinaryFormat_v1_0);
    return !bytes.empty() && NSDataFile::writeToFile(bytes, path, true);
}

}  // namespace

std::shared_ptr<UIPasteboard> UIPasteboard::pasteboardWithName(const std::string& name, bool create) {
    if (name.empty()) return nullptr;
    std::lock_guard lock(mutex);
    const std::string path = fileFor(name);
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        if (!create) return nullptr;
        FileLock fileLock(lockPath());
        if (::stat(path.c_str(), &st) != 0 &&
            !save(path, Value::dict({{"persistent", false}, {"items", Value::mutableDictionary()}})))
            return nullptr;
    }
    return std::make_shared<UIPasteboard>(name);
}

void UIPasteboard::removePasteboardWithName(const std::string& name) {
    if (name.empty()) return;
    std::lock_guard lock(mutex);
    ::unlink(fileFor(name).c_str());
}

bool UIPasteboard::isPersistent() const {
    std::lock_guard lock(mutex);
    return load(fileFor(name_)).objectForKey("persistent").boolValue();
}

void UIPasteboard::setPersistent(bool persistent) {
    std::lock_guard lock(mutex);
    const std::string path = fileFor(name_);
    FileLock fileLock(lockPath());
    Value record = load(path);
    if (record.isNull()) record = Value::mutableDictionary();
    record.setObject(Value(persistent), "persistent");
    save(path, record);
}

std::optional<Value::Data> UIPasteboard::dataForPasteboardType(const std::string& type) const {
    std::lock_guard lock(mutex);
    const Value record = load(fileFor(name_));
    const Value& data = record.objectForKey("items").objectForKey(type);
    if (!data.isData()) return std::nullopt;
    return data.asData();
}

void UIPasteboard::setData(const Value::Data& data, const std::string& type) {
    std::lock_guard lock(mutex);
    const std::string path = fileFor(name_);
    FileLock fileLock(lockPath());
    Value record = load(path);
    if (record.isNull()) record = Value::mutableDictionary();
    Value items = record.objectForKey("items").isDictionary() ? record.objectForKey("items").mutableCopy()
                                                               : Value::mutableDictionary();
    items.setObject(Value(data), type);
    record.setObject(items, "items");
    save(path, record);
}
