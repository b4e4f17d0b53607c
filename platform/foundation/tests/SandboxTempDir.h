#pragma once
// Test helper: a fresh temporary directory, removed with its contents at the end of the test,
// optionally installed as the sandbox root.

#include <platform_foundation/Sandbox.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

class SandboxTempDir {
public:
    explicit SandboxTempDir(bool installAsSandboxRoot = true) {
        std::string pattern = (std::filesystem::temp_directory_path() / "sandbox-test-XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        path_ = pattern;
        if (installAsSandboxRoot) {
            NSSandbox::resetForTesting(path_);
            installed_ = true;
        }
    }
    ~SandboxTempDir() {
        if (installed_) NSSandbox::resetForTesting();
        std::error_code ec;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(path_, ec);
    }
    SandboxTempDir(const SandboxTempDir&) = delete;
    SandboxTempDir& operator=(const SandboxTempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "/" + rel; }

private:
    std::string path_;
    bool installed_ = false;
};
