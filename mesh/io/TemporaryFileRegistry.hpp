#pragma once
// The temporary files this process has staged and not yet put in place, kept
// where a signal handler can reach them, so that a run ended by a signal
// leaves none behind. The library only keeps the list and defers signals while
// outputs are put in place; it never installs a handler itself, since signal
// dispositions belong to the whole process: the command line installs them
// (app/SignalCleanup), a program using the library may do the same.

#include <cstddef>
#include <string>

namespace vornel {

/// Records the temporary file `name` in the folder open as `folder`; returns
/// its slot for forgetTemporaryFile, or noTemporarySlot when every slot is
/// taken (the file is then simply not removed on a signal).
std::size_t rememberTemporaryFile(int folder, const std::string& name);
constexpr std::size_t noTemporarySlot = static_cast<std::size_t>(-1);

/// The file of slot is gone or in place: a signal no longer removes it.
void forgetTemporaryFile(std::size_t slot);

/// Removes every temporary file remembered. Async-signal-safe.
void removeTemporaryFiles() noexcept;

/// While outputs are being put in place a terminating signal must not cut the
/// commit in half: a handler calls holdSignalDuringCommit first, and when it
/// returns true the handler returns at once; the commit raises the signal again
/// when it ends. Async-signal-safe.
bool holdSignalDuringCommit(int signal) noexcept;

/// The span during which signals are held (one commit of every output).
class CommitWindow {
public:
  CommitWindow() noexcept;
  /// Raises the signal held meanwhile, if any.
  ~CommitWindow();
  CommitWindow(const CommitWindow&) = delete;
  CommitWindow& operator=(const CommitWindow&) = delete;
};

} // namespace vornel
