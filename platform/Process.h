#pragma once
// Settings of the program's own process, made once at its start.
namespace platform {

// A write past the system's file-size limit must fail like any refused write (the run then
// shows its "File Error" box), and a write to a reset connection like any failed bus call,
// instead of ending the program with a signal.
void KeepRunningPastFileSizeLimit();

} // namespace platform
