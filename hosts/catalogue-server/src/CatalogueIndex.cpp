#include <catalogue_server/CatalogueIndex.h>

#include <platform_foundation/NSJSONSerialization.h>

#include <platform_foundation/RapidJSONVectorScans.h>
#include <rapidjson/encodedstream.h>
#include <rapidjson/error/en.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool endsWith(const std::string& s, const std::string& suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The service path a catalogue file stands for; empty when it stands for none.
std::string servicePath(const std::string& relative) {
    if (relative == "jailbreaks.json") return "/jailbreaks.json";
    if (relative == "api/ios/v4/releases.json") return "/api/ios/v4/releases";
    for (const char* folder : {"api/ios/v4/device/", "api/ios/v3/device/"}) {
        std::string prefix = folder;
        if (relative.rfind(prefix, 0) != 0 || !endsWith(relative, ".json")) continue;
        std::string id = relative.substr(prefix.size(), relative.size() - prefix.size() - 5);
        if (id.empty() || id.find('/') != std::string::npos) return {};
        return "/" + relative.substr(0, relative.size() - 5);
    }
    return {};
}

// One catalogue file on its way into the index.
struct Pending {
    std::string file;
    std::string path;  // the service path it stands for
    std::string body;
    std::string fault;  // empty when read and checked
};

// The file's exact bytes, read in one piece.
bool readWhole(const std::string& file, std::string& body) {
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamoff size = in.tellg();
    if (size < 0) return false;
    body.resize(static_cast<std::size_t>(size));
    in.seekg(0);
    return static_cast<bool>(in.read(body.data(), size)) || size == 0;
}

// Checks a document's syntax without building it: an object or an array at the top, strict
// JSON (no comments, no trailing commas, valid UTF-8), nested no deeper than the app's reader
// accepts. Building the tree of every document only to drop it was most of a start's CPU.
class DocumentCheck : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, DocumentCheck> {
public:
    static constexpr std::size_t kMaxDepth = NSJSONSerialization::kMaxDepth;

    bool Default() { return depth_ > 0; }  // a scalar is no document on its own
    bool StartObject() { return enter(); }
    bool EndObject(rapidjson::SizeType) { return leave(); }
    bool StartArray() { return enter(); }
    bool EndArray(rapidjson::SizeType) { return leave(); }

    std::string fault(const rapidjson::ParseResult& result) const {
        if (result.Code() == rapidjson::kParseErrorTermination)
            return depth_ == 0 ? "not an object or an array" : "nested too deeply";
        return std::string(rapidjson::GetParseError_En(result.Code())) + " at byte " + std::to_string(result.Offset());
    }

private:
    bool enter() { return ++depth_ <= kMaxDepth; }
    bool leave() {
        --depth_;
        return true;
    }
    std::size_t depth_ = 0;
};

// True when every byte is in 1-127: such text is valid UTF-8 and holds no NUL.
bool isPlainASCII(const std::string& text) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080ull, kOnes = 0x0101010101010101ull;
    const char* p = text.data();
    std::size_t n = text.size();
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        // A high bit set, or a zero byte (the classic has-zero test).
        if ((word & kHighBits) || ((word - kOnes) & ~word & kHighBits)) return false;
    }
    for (; n > 0; ++p, --n)
        if (*p == 0 || static_cast<unsigned char>(*p) >= 0x80) return false;
    return true;
}

// The check of a plain-ASCII document (the usual case), on a NUL-terminated copy parsed in
// place, where the reader scans whitespace and strings a vector at a time. It cannot meet an
// encoding fault; any other fault is left to the full check, which names it.
bool passesFastCheck(const std::string& body) {
    // The vector scans load whole aligned 16-byte blocks and may pass the terminating NUL by up
    // to 15 bytes: the padding keeps every such load inside the copy.
    constexpr std::size_t kVectorPadding = 16;
    if (!isPlainASCII(body)) return false;
    std::string copy;
    copy.reserve(body.size() + kVectorPadding);
    copy.assign(body).append(kVectorPadding, '\0');
    rapidjson::Reader reader;
    DocumentCheck check;
    rapidjson::InsituStringStream stream(copy.data());
    const rapidjson::ParseResult result = reader.Parse<rapidjson::kParseInsituFlag>(stream, check);
    return !result.IsError() && stream.Tell() == body.size();
}

void readAndCheckOne(Pending& p) {
    if (!readWhole(p.file, p.body)) {
        p.fault = "cannot be read";
        return;
    }
    if (passesFastCheck(p.body)) return;
    rapidjson::Reader reader;
    DocumentCheck check;
    rapidjson::MemoryStream memory(p.body.data(), p.body.size());
    rapidjson::EncodedInputStream<rapidjson::UTF8<>, rapidjson::MemoryStream> input(memory);
    const rapidjson::ParseResult result =
        reader.Parse<rapidjson::kParseValidateEncodingFlag>(input, check);
    if (result.IsError()) {
        p.fault = "not a JSON document (" + check.fault(result) + ")";
    } else if (input.Tell() < p.body.size()) {
        // The reader takes a NUL byte for the end of its input: what follows was never read.
        p.fault = "not a JSON document (a NUL byte at byte " + std::to_string(input.Tell()) + ")";
    }
}

// Reading and checking every document is most of a server's start (the bundled catalogue is
// a few megabytes in some hundred files): the files are shared out over a few threads.
// Each thread takes the next file from a shared counter, so one large file delays no other.
constexpr unsigned kMaximumLoadThreads = 4;
constexpr std::size_t kFilesPerThread = 16;  // fewer files than this are not worth a thread

void readAndCheck(std::vector<Pending>& pending) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t wanted = std::min<std::size_t>({kMaximumLoadThreads, cores, pending.size() / kFilesPerThread});
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < pending.size();) readAndCheckOne(pending[i]);
    };
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < wanted; ++t) helpers.emplace_back(work);
    work();
    for (auto& h : helpers) h.join();
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::unique_ptr<CatalogueIndex> CatalogueIndex::load(const std::string& root, std::string* error) {
    auto fail = [&](std::string message) {
        if (error) *error = std::move(message);
        return nullptr;
    };
    std::error_code ec;
    if (!fs::is_directory(root, ec)) return fail("catalogue folder not found: " + root);
    std::vector<Pending> pending;
    fs::recursive_directory_iterator it(root, fs::directory_options::follow_directory_symlink, ec), end;
    if (ec) return fail("cannot read " + root + ": " + ec.message());
    for (; it != end; it.increment(ec)) {
        if (ec) return fail("cannot read " + root + ": " + ec.message());
        if (!it->is_regular_file(ec)) continue;
        // The walk's paths are the root's followed by the entries' names: taken apart as text,
        // without resolving every folder on the way for each file.
        const std::string& full = it->path().native();
        std::string relative;
        if (full.compare(0, root.size(), root) == 0) {
            relative = full.substr(root.size());
            relative.erase(0, relative.find_first_not_of('/'));
        } else {
            relative = fs::relative(it->path(), root, ec).generic_string();
        }
        std::string path = servicePath(relative);
        if (path.empty()) continue;
        pending.push_back(Pending{it->path().string(), std::move(path), {}, {}});
    }
    if (pending.empty()) return fail("no catalogue documents in " + root);

    readAndCheck(pending);
    auto index = std::make_unique<CatalogueIndex>();
    for (auto& p : pending) {
        // The first fault in walk order is the one named, however the work was spread.
        if (!p.fault.empty()) return fail(p.file + ": " + p.fault);
        index->documents_[std::move(p.path)] = std::move(p.body);
    }
    return index;
}

const std::string* CatalogueIndex::documentForPath(const std::string& path) const {
    auto found = documents_.find(path);
    return found == documents_.end() ? nullptr : &found->second;
}

const std::string* CatalogueIndex::documentForTarget(const std::string& target) const {
    std::string raw = target.substr(0, target.find_first_of("?#"));
    std::string path;
    path.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] != '%') {
            path += raw[i];
            continue;
        }
        if (i + 2 >= raw.size()) return nullptr;
        int hi = hexDigit(raw[i + 1]), lo = hexDigit(raw[i + 2]);
        if (hi < 0 || lo < 0) return nullptr;
        char c = static_cast<char>(hi * 16 + lo);
        // An encoded separator or NUL would let one segment pose as several.
        if (c == '/' || c == '\\' || c == '\0') return nullptr;
        path += c;
        i += 2;
    }
    return documentForPath(path);
}
