#include <app_host/ConsoleRedirect.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

std::unique_ptr<ConsoleRedirect> ConsoleRedirect::start(const std::string& path, std::string* error) {
    int file = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (file < 0) {
        if (error) *error = "cannot write " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    std::fflush(stdout);
    std::fflush(stderr);
    int out = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    int err = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (out < 0 || err < 0 || dup2(file, STDOUT_FILENO) < 0 || dup2(file, STDERR_FILENO) < 0) {
        if (error) *error = std::string("cannot redirect the console: ") + std::strerror(errno);
        if (out >= 0) {
            dup2(out, STDOUT_FILENO);
            close(out);
        }
        if (err >= 0) {
            dup2(err, STDERR_FILENO);
            close(err);
        }
        close(file);
        return nullptr;
    }
    close(file);
    setvbuf(stdout, nullptr, _IOLBF, 0);
    return std::unique_ptr<ConsoleRedirect>(new ConsoleRedirect(out, err));
}

ConsoleRedirect::~ConsoleRedirect() {
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(out_, STDOUT_FILENO);
    dup2(err_, STDERR_FILENO);
    close(out_);
    close(err_);
}
