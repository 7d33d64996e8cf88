#pragma once
// Settings of the program's own process, made once at its start.
namespace platform {

// A write past the system's file-size limit must fail like any refused write (the run then
// shows its "File Error" box) instead of ending the program with a signal.
void KeepRunningPastFileSizeLimit();

} // namespace platform
