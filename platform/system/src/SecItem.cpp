#include <platform_system/SecItem.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sys/stat.h>
#include <unistd.h>

#include <platform_foundation/FileLock.h>
#include <platform_foundation/NSBundle.h>
#include <platform_foundation/NSDataFile.h>
#include <platform_foundation/NSProcessInfo.h>
#include <platform_foundation/NSPropertyListSerialization.h>
#include <platform_foundation/Sandbox.h>

namespace {

constexpr char kMagic[4] = {'K', 'C', 'G', '1'};
constexpr std::size_t kNonce = 12, kTag = 16, kKey = 32;

std::mutex gMutex;

struct Item {
    std::string service, account, accessible;
    Value::Data data;
};

std::string keychainDirectory() {
    const std::string dir = NSSandbox::deviceRootPath() + "/Keychain";
    mkdir(dir.c_str(), 0700);
    return dir;
}

std::string appName() {
    std::string name;
    if (auto bundle = NSBundle::mainBundle())
        if (auto id = bundle->bundleIdentifier()) name = *id;
    if (name.empty()) name = NSProcessInfo::processInfo()->processName();
    for (char& c : name)
        if (c == '/') c = '_';
    return name.empty() ? std::string("app") : name;
}

std::string itemsPath() { return keychainDirectory() + "/" + appName() + ".keychain"; }

bool writeAll(int fd, const uint8_t* p, std::size_t n) {
    while (n) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w, n -= static_cast<std::size_t>(w);
    }
    return true;
}

// The device key: made once per device root; the first writer wins a race (link does not
// replace), every other process reads the winner's key.
std::optional<std::array<uint8_t, kKey>> deviceKey() {
    const std::string dir = keychainDirectory();
    const std::string path = dir + "/device.key";
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (auto bytes = NSDataFile::dataWithContentsOfFile(path)) {
            if (bytes->size() == kKey) {
                std::array<uint8_t, kKey> key;
                std::memcpy(key.data(), bytes->data(), kKey);
                return key;
            }
            // A damaged key cannot open anything: set it aside with what it locked.
            ::rename(path.c_str(), (path + ".damaged").c_str());
        }
        std::array<uint8_t, kKey> key;
        if (RAND_bytes(key.data(), kKey) != 1) return std::nullopt;
        std::string temp = dir + "/.device.key." + std::to_string(getpid());
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd < 0) return std::nullopt;
        const bool ok = writeAll(fd, key.data(), kKey) && ::fsync(fd) == 0;
        ::close(fd);
        const bool linked = ok && ::link(temp.c_str(), path.c_str()) == 0;
        ::unlink(temp.c_str());
        if (linked) return key;
    }
    return std::nullopt;
}

std::optional<Value::Data> seal(const Value::Data& plain, const std::array<uint8_t, kKey>& key) {
    Value::Data out(sizeof kMagic + kNonce + kTag + plain.size());
    std::memcpy(out.data(), kMagic, sizeof kMagic);
    uint8_t* nonce = out.data() + sizeof kMagic;
    uint8_t* tag = nonce + kNonce;
    uint8_t* body = tag + kTag;
    if (RAND_bytes(nonce, kNonce) != 1) return std::nullopt;
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    int len = 0, fin = 0;
    if (!ctx || EVP_EncryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.data(), nonce) != 1 ||
        EVP_EncryptUpdate(ctx.get(), body, &len, plain.data(), static_cast<int>(plain.size())) != 1 ||
        EVP_EncryptFinal_ex(ctx.get(), body + len, &fin) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_GET_TAG, kTag, tag) != 1)
        return std::nullopt;
    return out;
}

std::optional<Value::Data> open(const Value::Data& sealed, const std::array<uint8_t, kKey>& key) {
    if (sealed.size() < sizeof kMagic + kNonce + kTag || std::memcmp(sealed.data(), kMagic, sizeof kMagic) != 0)
        return std::nullopt;
    const uint8_t* nonce = sealed.data() + sizeof kMagic;
    const uint8_t* tag = nonce + kNonce;
    const uint8_t* body = tag + kTag;
    const std::size_t length = sealed.size() - (body - sealed.data());
    Value::Data plain(length);
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    int len = 0, fin = 0;
    if (!ctx || EVP_DecryptInit_ex(ctx.get(), EVP_aes_256_gcm(), nullptr, key.data(), nonce) != 1 ||
        EVP_DecryptUpdate(ctx.get(), plain.data(), &len, body, static_cast<int>(length)) != 1 ||
        EVP_CIPHER_CTX_ctrl(ctx.get(), EVP_CTRL_GCM_SET_TAG, kTag, const_cast<uint8_t*>(tag)) != 1 ||
        EVP_DecryptFinal_ex(ctx.get(), plain.data() + len, &fin) != 1)
        return std::nullopt;
    return plain;
}

std::vector<Item> load(const std::string& path, const std::array<uint8_t, kKey>& key) {
    std::vector<Item> items;
    auto sealed = NSDataFile::dataWithContentsOfFile(path);
    if (!sealed) return items;
    Value list;
    if (auto plain = open(*sealed, key)) list = NSPropertyListSerialization::propertyListWithData(*plain);
    if (!list.isArray()) {
        // Unreadable: keep it for inspection, answer as if empty.
        const std::string aside = path + ".unreadable-" + std::to_string(std::time(nullptr));
        ::rename(path.c_str(), aside.c_str());
        return items;
    }
    for (const Value& entry : list.asArray()) {
        if (!entry.isDictionary()) continue;
        items.push_back(Item{std::string(entry.objectForKey(kSecAttrService).asString()),
                             std::string(entry.objectForKey(kSecAttrAccount).asString()),
                             std::string(entry.objectForKey(kSecAttrAccessible).asString()),
                             entry.objectForKey(kSecValueData).asData()});
    }
    return items;
}

bool save(const std::string& path, const std::array<uint8_t, kKey>& key, const std::vector<Item>& items) {
    Value::Array list;
    for (const Item& item : items)
        list.push_back(Value::dict({{kSecAttrService, item.service},
                                    {kSecAttrAccount, item.account},
                                    {kSecAttrAccessible, item.accessible},
                                    {kSecValueData, Value(item.data)}}));
    const Value::Data plain =
        NSPropertyListSerialization::dataWithPropertyList(Value(std::move(list)), NSPropertyListBinaryFormat_v1_0);
    auto sealed = seal(plain, key);
    if (!sealed || !NSDataFile::writeToFile(*sealed, path, true)) return false;
    ::chmod(path.c_str(), 0600);
    return true;
}

bool isGenericPassword(const Value& query) {
    return query.isDictionary() && query.objectForKey(kSecClass) == Value(kSecClassGenericPassword);
}

bool matches(const Item& item, const Value& query) {
    const Value& service = query.objectForKey(kSecAttrService);
    const Value& account = query.objectForKey(kSecAttrAccount);
    if (!service.isNull() && service.asString() != item.service) return false;
    if (!account.isNull() && account.asString() != item.account) return false;
    return true;
}

Value describe(const Item& item, bool withData) {
    Value d = Value::dict({{kSecClass, kSecClassGenericPassword},
                           {kSecAttrService, item.service},
                           {kSecAttrAccount, item.account},
                           {kSecAttrAccessible, item.accessible}});
    if (withData) d.setObject(Value(item.data), kSecValueData);
    return d;
}

// Runs one keychain operation on the current items under both locks.
template <class Body>
OSStatus withItems(Body&& body) {
    std::lock_guard lock(gMutex);
    auto key = deviceKey();
    if (!key) return errSecParam;
    const std::string path = itemsPath();
    FileLock fileLock(path + ".lock");
    std::vector<Item> items = load(path, *key);
    bool changed = false;
    OSStatus status = body(items, changed);
    if (status == errSecSuccess && changed && !save(path, *key, items)) return errSecParam;
    return status;
}

}  // namespace

OSStatus SecItemAdd(const Value& attributes, Value* result) {
    if (!isGenericPassword(attributes)) return errSecParam;
    const Value& service = attributes.objectForKey(kSecAttrService);
    const Value& account = attributes.objectForKey(kSecAttrAccount);
    if (!service.isString() && !account.isString()) return errSecParam;
    return withItems([&](std::vector<Item>& items, bool& changed) {
        Item item{std::string(service.asString()), std::string(account.asString()),
                  attributes.objectForKey(kSecAttrAccessible).isString()
                      ? std::string(attributes.objectForKey(kSecAttrAccessible).asString())
                      : std::string(kSecAttrAccessibleWhenUnlocked),
                  attributes.objectForKey(kSecValueData).asData()};
        for (const Item& existing : items)
            if (existing.service == item.service && existing.account == item.account) return errSecDuplicateItem;
        if (result && attributes.objectForKey(kSecReturnData).boolValue()) *result = Value(item.data);
        items.push_back(std::move(item));
        changed = true;
        return errSecSuccess;
    });
}

OSStatus SecItemCopyMatching(const Value& query, Value* result) {
    if (!isGenericPassword(query)) return errSecParam;
    return withItems([&](std::vector<Item>& items, bool&) {
        const bool returnData = query.objectForKey(kSecReturnData).boolValue();
        const bool returnAttributes = query.objectForKey(kSecReturnAttributes).boolValue();
        const bool all = query.objectForKey(kSecMatchLimit) == Value(kSecMatchLimitAll);
        Value::Array found;
        for (const Item& item : items) {
            if (!matches(item, query)) continue;
            found.push_back(returnAttributes ? describe(item, returnData) : Value(item.data));
            if (!all) break;
        }
        if (found.empty()) return errSecItemNotFound;
        if (result && (returnData || returnAttributes)) *result = all ? Value(std::move(found)) : found.front();
        return errSecSuccess;
    });
}

OSStatus SecItemUpdate(const Value& query, const Value& attributesToUpdate) {
    if (!isGenericPassword(query) || !attributesToUpdate.isDictionary()) return errSecParam;
    return withItems([&](std::vector<Item>& items, bool& changed) {
        bool any = false;
        for (Item& item : items) {
            if (!matches(item, query)) continue;
            any = true;
            const Value& data = attributesToUpdate.objectForKey(kSecValueData);
            if (data.isData()) item.data = data.asData();
            const Value& accessible = attributesToUpdate.objectForKey(kSecAttrAccessible);
            if (accessible.isString()) item.accessible = std::string(accessible.asString());
        }
        changed = any;
        return any ? errSecSuccess : errSecItemNotFound;
    });
}

OSStatus SecItemDelete(const Value& query) {
    if (!isGenericPassword(query)) return errSecParam;
    return withItems([&](std::vector<Item>& items, bool& changed) {
        const std::size_t before = items.size();
        std::erase_if(items, [&](const Item& item) { return matches(item, query); });
        changed = items.size() != before;
        return changed ? errSecSuccess : errSecItemNotFound;
    });
}

std::string SecKeychainFilePathForTesting() {
    std::lock_guard lock(gMutex);
    return itemsPath();
}
