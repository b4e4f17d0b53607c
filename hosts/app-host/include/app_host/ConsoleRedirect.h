#pragma once
// Sends the process's own stdout and stderr (logs, kit notices) to a file
// while the host runs; the screen and the host's own messages use the saved
// copies of the original descriptors. Restores them when destroyed.
//
// Main thread.

#include <memory>
#include <string>

class ConsoleRedirect {
public:
    // Nothing (and `*error`) when the file cannot be opened for appending.
    static std::unique_ptr<ConsoleRedirect> start(const std::string& path, std::string* error);
    ~ConsoleRedirect();
    ConsoleRedirect(const ConsoleRedirect&) = delete;
    ConsoleRedirect& operator=(const ConsoleRedirect&) = delete;

    int savedOut() const { return out_; }
    int savedErr() const { return err_; }

private:
    ConsoleRedirect(int out, int err) : out_(out), err_(err) {}
    int out_, err_;
};
