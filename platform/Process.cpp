#include "platform/Process.h"
#include <csignal>

namespace platform {

void KeepRunningPastFileSizeLimit() {
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    // A write to a connection the peer has reset fails like any other instead of ending the
    // program, whichever code writes to the socket.
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace platform
