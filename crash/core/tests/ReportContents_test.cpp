// The bytes of a standard report: key order of every section, images against the
// process's maps and the ELF notes, symbols against readelf, the stack dump, notable
// addresses, the user section and the console log.

#include "CrashTestSupport.h"
#include "ReportTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <set>

using namespace reporttest;

namespace {

using Keys = std::vector<std::string>;

struct Child {
    std::string base;
    ChildResult result;
    rapidjson::Document doc;
    std::string path;
};

void run(Child& child, const std::string& scenario, const std::vector<std::string>& options) {
    child.base = freshBase(scenario);
    child.result = runScenario(scenario, child.base, options);
    ASSERT_TRUE(child.result.finished);
    auto reports = reportFiles(child.base);
    ASSERT_EQ(reports.size(), 1u) << child.result.output;
    child.path = reports[0];
    ASSERT_TRUE(pythonReads(child.path));
    ASSERT_TRUE(parse(readFile(child.path), child.doc));
}

std::string canonical(const std::string& path) {
    std::error_code ec;
    auto c = std::filesystem::canonical(path, ec);
    return ec ? path : c.string();
}

// Start addresses of the mappings at file offset 0, by the file's canonical path, from a
// /proc/<pid>/maps text (a file may be mapped more than once).
std::map<std::string, std::set<uint64_t>> mappedFiles(const std::string& maps) {
    std::map<std::string, std::set<uint64_t>> out;
    std::istringstream in(maps);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream f(line);
        std::string range, perms, offset, dev, inode, path;
        if (!(f >> range >> perms >> offset >> dev >> inode >> path) || path[0] != '/') continue;
        if (std::stoull(offset, nullptr, 16) != 0) continue;
        out[canonical(path)].insert(std::stoull(range.substr(0, range.find('-')), nullptr, 16));
    }
    return out;
}

// The GNU build id as eu-readelf -n prints it.
std::string buildID(const std::string& path) {
    std::string text = crashtest::commandOutput("eu-readelf -n '" + path + "'");
    auto at = text.find("Build ID: ");
    if (at == std::string::npos) return {};
    std::string hex;
    for (size_t i = at + 10; i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i])); ++i)
        hex += char(std::toupper(static_cast<unsigned char>(text[i])));
    return hex;
}

std::string uuidHex(const std::string& uuid) {
    std::string out;
    for (char c : uuid)
        if (c != '-') out += c;
    return out;
}

}  // namespace

TEST(ReportContents, KeyOrderOfEverySection) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    Child child;
    run(child, "segv-null", {"--callback=write", "--console"});
    const auto& doc = child.doc;
    EXPECT_EQ(keysOf(doc), (Keys{"report", "binary_images", "process", "system", "crash", "user", "debug"}));
    EXPECT_EQ(keysOf(doc["report"]), (Keys{"version", "id", "process_name", "timestamp", "type"}));
    EXPECT_EQ(str(doc["report"], "version"), "3.3.0");
    EXPECT_EQ(str(doc["report"], "type"), "standard");
    EXPECT_EQ(str(doc["report"], "id").size(), 36u);
    EXPECT_EQ(keysOf(doc["binary_images"][0]),
              (Keys{"image_addr", "image_vmaddr", "image_size", "name", "uuid", "cpu_type", "cpu_subtype",
                    "major_version", "minor_version", "revision_version"}));
    EXPECT_EQ(keysOf(doc["system"]),
              (Keys{"system_name", "system_version", "machine", "model", "kernel_version", "os_version", "boot_time",
                    "app_start_time", "CFBundleExecutablePath", "CFBundleExecutable", "CFBundleIdentifier",
                    "CFBundleName", "CFBundleVersion", "CFBundleShortVersionString", "app_uuid", "cpu_arch",
                    "cpu_type", "cpu_subtype", "binary_cpu_type", "binary_cpu_subtype", "time_zone", "process_name",
                    "process_id", "parent_process_id", "device_app_hash", "build_type", "storage", "free_storage",
                    "memory", "application_stats"}));
    EXPECT_EQ(keysOf(doc["system"]["memory"]), (Keys{"size", "usable", "free"}));
    EXPECT_EQ(keysOf(doc["system"]["application_stats"]),
              (Keys{"application_active", "application_in_foreground", "launches_since_last_crash",
                    "sessions_since_last_crash", "active_time_since_last_crash", "background_time_since_last_crash",
                    "sessions_since_launch", "active_time_since_launch", "background_time_since_launch"}));
    EXPECT_EQ(keysOf(doc["crash"]), (Keys{"error", "threads"}));
    EXPECT_EQ(keysOf(doc["crash"]["error"]), (Keys{"mach", "signal", "address", "type"}));
    EXPECT_EQ(keysOf(doc["crash"]["error"]["mach"]), (Keys{"exception", "exception_name", "code", "code_name", "subcode"}));
    EXPECT_EQ(keysOf(doc["crash"]["error"]["signal"]), (Keys{"signal", "name", "code", "code_name"}));
    const rapidjson::Value* crashed = crashedThread(doc);
    ASSERT_NE(crashed, nullptr);
    EXPECT_EQ(keysOf(*crashed),
              (Keys{"backtrace", "registers", "index", "name", "crashed", "current_thread", "stack", "notable_addresses"}));
    EXPECT_EQ(keysOf((*crashed)["backtrace"]), (Keys{"contents", "skipped"}));
    EXPECT_EQ(keysOf((*crashed)["backtrace"]["contents"][0]),
              (Keys{"object_name", "object_addr", "symbol_name", "symbol_addr", "instruction_addr"}));
    EXPECT_EQ(keysOf((*crashed)["registers"]), (Keys{"basic", "exception"}));
    EXPECT_EQ(keysOf((*crashed)["registers"]["exception"]), (Keys{"trapno", "err", "cr2"}));
    EXPECT_EQ(keysOf((*crashed)["stack"]),
              (Keys{"grow_direction", "dump_start", "dump_end", "stack_pointer", "overflow", "contents"}));
    EXPECT_EQ(keysOf(doc["user"]), (Keys{"callback"}));
    EXPECT_EQ(keysOf(doc["debug"]), (Keys{"console_log"}));
    // The exception-port thread records; the crashed thread is not the writer.
    EXPECT_FALSE((*crashed)["current_thread"].GetBool());
}

TEST(ReportContents, ImagesAgainstMapsAndBuildIDs) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    Child child;
    run(child, "segv-null", {});
    auto mapped = mappedFiles(readFile(child.base + "/maps.txt"));
    int checked = 0;
    for (const auto& image : child.doc["binary_images"].GetArray()) {
        std::string name = str(image, "name");
        if (name.empty() || name[0] != '/') continue;
        SCOPED_TRACE(name);
        ASSERT_TRUE(mapped.count(canonical(name)));
        EXPECT_TRUE(mapped[canonical(name)].count(num(image, "image_addr")));
        std::string id = buildID(name);
        if (!id.empty()) EXPECT_EQ(uuidHex(str(image, "uuid")), id.substr(0, 32));
        EXPECT_EQ(num(image, "cpu_type"), 16777223u);
        ++checked;
    }
    EXPECT_GE(checked, 3);
    // The executable's symbol as readelf lists it.
    const rapidjson::Value* crashed = crashedThread(child.doc);
    ASSERT_NE(crashed, nullptr);
    const auto& frame = (*crashed)["backtrace"]["contents"][0];
    EXPECT_EQ(str(frame, "object_name"), "crash_child");
    auto symbols = crashtest::readelfSymbols(CRASH_CHILD);
    auto it = symbols.find("scenario_nullWrite");
    ASSERT_NE(it, symbols.end());
    EXPECT_EQ(num(frame, "symbol_addr") - num(frame, "object_addr"), it->second.first);
    EXPECT_GE(num(frame, "instruction_addr"), num(frame, "symbol_addr"));
    EXPECT_LT(num(frame, "instruction_addr"), num(frame, "symbol_addr") + it->second.second);
}

TEST(ReportContents, StackDumpHoldsTheCanary) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    Child child;
    run(child, "segv-null", {"--mask=02"});
    const rapidjson::Value* crashed = crashedThread(child.doc);
    ASSERT_NE(crashed, nullptr);
    const auto& stack = (*crashed)["stack"];
    EXPECT_EQ(str(stack, "grow_direction"), "-");
    uint64_t sp = num(stack, "stack_pointer");
    EXPECT_EQ(num(stack, "dump_start"), sp - 80);
    EXPECT_EQ(num(stack, "dump_end"), sp + 160);
    EXPECT_EQ(str(stack, "contents").size(), 480u);
    EXPECT_NE(str(stack, "contents").find("EFBEFECACEFAEDFE"), std::string::npos);
    EXPECT_EQ(num((*crashed)["registers"]["basic"], "rsp"), sp);
}

TEST(ReportContents, NotableAddressNamesTheObject) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    Child child;
    run(child, "segv-object", {"--mask=02"});
    const rapidjson::Value* crashed = crashedThread(child.doc);
    ASSERT_NE(crashed, nullptr);
    bool found = false;
    for (auto it = (*crashed)["notable_addresses"].MemberBegin(); it != (*crashed)["notable_addresses"].MemberEnd();
         ++it) {
        const auto& object = it->value;
        if (str(object, "class") != "CrashScenarioItem") continue;
        found = true;
        EXPECT_EQ(str(object, "type"), "objc_object");
        ASSERT_TRUE(object.HasMember("ivars"));
        bool count42 = false;
        for (auto iv = object["ivars"].MemberBegin(); iv != object["ivars"].MemberEnd(); ++iv)
            count42 |= iv->value.IsInt64() && iv->value.GetInt64() == 42;
        EXPECT_TRUE(count42);
    }
    EXPECT_TRUE(found);
}

TEST(ReportContents, UserSection) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    struct Case {
        const char* what;
        std::vector<std::string> options;
        Keys keys;
        const char* jsonData;  // "json_data" when the stored text is invalid
    } cases[] = {
        {"stored JSON", {"--user-json={\"b\":\"x\",\"a\":1}"}, {"b", "a"}, nullptr},
        {"stored JSON and the callback", {"--user-json={\"b\":\"x\",\"a\":1}", "--callback=write"}, {"b", "a", "callback"}, nullptr},
        {"invalid stored JSON", {"--user-json={\"a\":1,\"c\":", "--callback=write"}, {"a", "error", "json_data", "callback"},
         "{\"a\":1,\"c\":"},
        {"nothing stored", {}, {}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Child child;
        std::vector<std::string> options = c.options;
        options.push_back("--mask=02");
        run(child, "segv-null", options);
        const auto& user = child.doc["user"];
        EXPECT_EQ(keysOf(user), c.keys);
        if (c.jsonData) {
            EXPECT_EQ(str(user, "json_data"), c.jsonData);
            EXPECT_EQ(str(user, "error").rfind("Invalid JSON data: ", 0), 0u);
        }
        EXPECT_TRUE(child.doc.HasMember("debug"));
    }
}

TEST(ReportContents, ConsoleLog) {
    SKIP_CRASH_CHILDREN_UNDER_SANITIZER();
    Child child;
    run(child, "segv-null", {"--console", "--mask=02"});
    const auto& lines = child.doc["debug"]["console_log"];
    ASSERT_TRUE(lines.IsArray());
    ASSERT_EQ(lines.Size(), 2u);
    EXPECT_STREQ(lines[0].GetString(), "first console line");
    EXPECT_STREQ(lines[1].GetString(), "second console line");
}
