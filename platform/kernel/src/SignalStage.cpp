#include <platform_kernel/SignalStage.h>

extern "C" int kern_sigaction(int signal, const struct sigaction* action, struct sigaction* oldAction) {
    return sigaction(signal, action, oldAction);
}
