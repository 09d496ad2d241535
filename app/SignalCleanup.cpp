#include "app/SignalCleanup.hpp"

#include "mesh/io/TemporaryFileRegistry.hpp"

#include <signal.h>

namespace vornel {
namespace {

// Every signal whose default action ends the process and that can be caught,
// but those of a fault in the process itself (SIGSEGV, SIGABRT...) and the
// profiling timers, which tools rely on.
constexpr int terminatingSignals[] = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT, SIGPIPE,
                                      SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ};

void onTerminatingSignal(int signal) {
  if (holdSignalDuringCommit(signal))
    return;
  removeTemporaryFiles();
  // Raised again with the default action, so that the exit status tells the
  // caller which signal ended the run; it arrives once this handler returns.
  struct sigaction defaultAction {};
  defaultAction.sa_handler = SIG_DFL;
  sigemptyset(&defaultAction.sa_mask);
  sigaction(signal, &defaultAction, nullptr);
  raise(signal);
}

} // namespace

void removeStagedFilesOnSignals() {
  struct sigaction action {};
  action.sa_handler = onTerminatingSignal;
  sigemptyset(&action.sa_mask);
  for (const int signal : terminatingSignals)
    sigaddset(&action.sa_mask, signal);
  action.sa_flags = SA_RESTART;
  for (const int signal : terminatingSignals) {
    struct sigaction previous {};
    // A signal ignored by whoever started the run (nohup) stays ignored.
    if (sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler != SIG_IGN)
      sigaction(signal, &action, nullptr);
  }
}

} // namespace vornel
