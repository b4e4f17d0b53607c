#include <app_host/HostInput.h>

#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/NSRunLoop.h>
#include <platform_dispatch/RunLoopSource.h>

#include <atomic>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

// Written by the signal handlers: one byte a signal. Made once per process.
int gSignalPipe[2] = {-1, -1};


void onSignal(int signal) {
    int saved = errno;
    unsigned char byte = static_cast<unsigned char>(signal);
    if (gSignalPipe[1] >= 0) (void)!write(gSignalPipe[1], &byte, 1);
    errno = saved;
}

void installHandlers() {
    if (gSignalPipe[0] >= 0) return;
    if (pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : {SIGINT, SIGTERM, SIGHUP, SIGWINCH}) sigaction(s, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

}  // namespace

HostInput::HostInput(int inputFd, std::function<void()> onInput, std::function<void(int)> onSignalCallback)
    : inputFd_(inputFd), onSignal_(std::move(onSignalCallback)) {
    installHandlers();
    (void)!pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK);
    armed_ = true;
    source_ = std::make_shared<RunLoopSource>(std::move(onInput));
    NSRunLoop::mainRunLoop()->addSource(source_, NSRunLoopCommonModes);
    reader_ = std::thread([this] { readerLoop(); });
}

HostInput::~HostInput() {
    if (wakePipe_[1] >= 0) {
        unsigned char stop = 'x';
        (void)!write(wakePipe_[1], &stop, 1);
    }
    if (reader_.joinable()) reader_.join();
    source_->invalidate();
    NSRunLoop::mainRunLoop()->removeSource(source_, NSRunLoopCommonModes);
    for (int fd : wakePipe_)
        if (fd >= 0) close(fd);
}

void HostInput::consumed() {
    armed_ = true;
    unsigned char wake = 'w';
    (void)!write(wakePipe_[1], &wake, 1);
}

void HostInput::readerLoop() {
    for (;;) {
        pollfd fds[3];
        int n = 0;
        fds[n++] = {wakePipe_[0], POLLIN, 0};
        fds[n++] = {gSignalPipe[0], POLLIN, 0};
        bool watchInput = inputFd_ >= 0 && armed_;
        if (watchInput) fds[n++] = {inputFd_, POLLIN, 0};
        if (poll(fds, static_cast<nfds_t>(n), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[0].revents) {
            unsigned char buf[64];
            ssize_t got = read(wakePipe_[0], buf, sizeof buf);
            for (ssize_t i = 0; i < got; ++i)
                if (buf[i] == 'x') return;
        }
        if (fds[1].revents) {
            unsigned char buf[64];
            ssize_t got = read(gSignalPipe[0], buf, sizeof buf);
            for (ssize_t i = 0; i < got; ++i) {
                int signal = buf[i];
                auto callback = onSignal_;
                dispatch_async(dispatch_get_main_queue(), [callback, signal] { callback(signal); });
            }
        }
        if (watchInput && fds[2].revents) {
            // The main thread reads; until it says so, the descriptor stays readable.
            armed_ = false;
            if (fds[2].revents & (POLLHUP | POLLERR | POLLNVAL)) inputFd_ = -1;
            source_->signal();
        }
    }
}
