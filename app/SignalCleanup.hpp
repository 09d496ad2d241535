#pragma once
// The command line's answer to SIGINT, SIGTERM, SIGHUP and every other signal
// that ends a process from outside (SIGQUIT, SIGPIPE, SIGALRM...): remove the
// temporary files of the outputs staged so far, then end as the signal would
// have ended the process. A signal that comes while the outputs are being put
// in place waits until they all are. Only the command line calls this: signal
// dispositions belong to the whole process, not to the library.

namespace vornel {

void removeStagedFilesOnSignals();

} // namespace vornel
