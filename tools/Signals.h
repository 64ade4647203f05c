// Stopping: SIGINT, SIGTERM and SIGHUP ask the running command to stop; it
// finishes what it holds (a recording is closed and valid) and the tool exits
// with 128 + the signal's number. SIGPIPE is ignored: a closed pipe shows up
// as a failed write, which the command handles.
#pragma once

namespace cli {

// SIGPIPE's number, which a closed pipe ends with also where there is none.
inline constexpr int kClosedPipeSignal = 13;

void installStopSignals();
// The signal that asked to stop, or 0.
int stopSignal();
inline bool stopRequested() { return stopSignal() != 0; }
// Treats a closed output pipe like a signal: the tool exits 128 + SIGPIPE.
void stopForClosedPipe();
// The exit code for a stop (128 + signal).
int stopExitCode();

}  // namespace cli
