#include "Signals.h"

#include <csignal>
#include <initializer_list>

namespace cli {

namespace {

volatile std::sig_atomic_t gStopSignal = 0;

void onStop(int signal) { gStopSignal = signal; }

}  // namespace

#ifdef _WIN32
// The C run-time's signals: Ctrl-C and SIGTERM raised within; no SIGHUP, and
// a closed pipe only fails the write.
void installStopSignals() {
    for (int s : {SIGINT, SIGTERM}) std::signal(s, onStop);
}
#else
void installStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStop;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a blocking read of standard input returns at once.
    action.sa_flags = 0;
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}
#endif

int stopSignal() { return gStopSignal; }

void stopForClosedPipe() {
    if (gStopSignal == 0) gStopSignal = kClosedPipeSignal;
}

int stopExitCode() { return 128 + gStopSignal; }

}  // namespace cli
