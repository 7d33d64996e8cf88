#include "bus/BusChoice.h"
#include "bus/SimBench.h"

namespace gpib {

std::unique_ptr<Driver> CreateDriverFromEnvironment(QString* error) {
    const QString choice = qEnvironmentVariable("SEQUOR_BUS");
    QString message;
    std::unique_ptr<Driver> driver;
    if (choice == "sim") {
        driver = SimBus::builtIn();
    } else if (choice.startsWith("sim:")) {
        driver = SimBus::fromFile(choice.mid(4), &message);
    } else {
        // Real back-ends (linux-gpib, GPIB adapters) are chosen here.
        message = "No GPIB driver was found on this computer.\n\n"
                  "Start with SEQUOR_BUS=sim to use the simulated bench.";
    }
    if (!driver && error) *error = message;
    return driver;
}

} // namespace gpib
