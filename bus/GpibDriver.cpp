#include "bus/GpibDriver.h"
#include <algorithm>
#include <array>

namespace gpib {

double TimeoutSeconds(int code) {
    static constexpr std::array<double, 18> seconds = {-1,   10e-6, 30e-6, 100e-6, 300e-6, 1e-3,
                                                       3e-3, 10e-3, 30e-3, 0.1,    0.3,    1,
                                                       3,    10,    30,    100,    300,    1000};
    if (code < 0 || code >= static_cast<int>(seconds.size())) return -1;
    return seconds[code];
}

const char* const ChooseBenchHint =
    "\n\nTo work without GPIB hardware, start Sequor with SEQUOR_BUS=sim to use the simulated "
    "bench, or store Interface=sim in the section Bus of Sequor's settings.";

void Driver::setListeners(const std::vector<Addr4882_t>& found, Addr4882_t* resultList, int limit) {
    if (found.empty()) {
        setStatus(ERR, EBUS, 0);
        return;
    }
    if (!resultList || limit <= 0) {
        setStatus(ERR, EARG, 0);
        return;
    }
    resultList[0] = 0;
    const int total = static_cast<int>(found.size()) + 1;
    const int n = std::min(total, limit);
    std::copy_n(found.begin(), n - 1, resultList + 1);
    setStatus(total > limit ? ERR : CMPL, total > limit ? ETAB : 0, n);
}

} // namespace gpib
