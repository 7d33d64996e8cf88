#include "platform/Process.h"
#include <csignal>

namespace platform {

void KeepRunningPastFileSizeLimit() {
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

} // namespace platform
