#pragma once
// Shared pieces of the crash-reporting tests: a fresh sandbox per process, shell commands,
// and temporary files.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <platform_foundation/Sandbox.h>

namespace reporting_test {

// A sandbox root of its own for this test process, removed at exit.
inline const std::string& freshSandbox() {
    static const std::string root = [] {
        // A second process started by a test works in its parent's sandbox.
        if (std::getenv("CRASH_REPORTING_CHILD") && std::getenv("APP_SANDBOX_ROOT"))
            return std::string(std::getenv("APP_SANDBOX_ROOT"));
        std::string path = (std::filesystem::temp_directory_path() / ("crash-reporting-" + std::to_string(::getpid())))
                               .string();
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
        NSSandbox::resetForTesting(path);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(
                std::filesystem::temp_directory_path() / ("crash-reporting-" + std::to_string(::getpid())), ignored);
        });
        return path;
    }();
    return root;
}

inline std::optional<std::string> run(const std::string& command) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    if (::pclose(pipe) != 0) return std::nullopt;
    return out;
}

inline std::string writeTemp(const std::string& name, const std::string& bytes) {
    std::string path = freshSandbox() + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
}

inline std::string readFile(const std::string& path) {
    std::string out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
    std::fclose(f);
    return out;
}

}  // namespace reporting_test
