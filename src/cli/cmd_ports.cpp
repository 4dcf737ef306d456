// zond8t-cli ports: the serial devices present, as the port settings window lists them.
#include <iostream>

#include "cli/commands.h"
#include "link/port_discovery.h"

namespace zond::cli {

namespace {

int runPorts(std::span<const std::string> args) {
    const ParsedArgs parsed = parseArgs(args, {});
    expectPositionals(parsed, 0, 0);
    for (const link::SerialDevice& device : link::listSerialDevices()) {
        std::cout << device.path.toStdString();
        for (const QString& part : {link::deviceDetails(device), device.stableName}) {
            if (!part.isEmpty()) {
                std::cout << '\t' << part.toStdString();
            }
        }
        std::cout << '\n';
    }
    return kExitOk;
}

}  // namespace

const Command kPortsCommand{
    "ports",
    "list the serial devices present",
    "usage: zond8t-cli ports\n"
    "\n"
    "Prints one line per serial device present: its path, then, separated by tabs, what is\n"
    "known of it (description, manufacturer, USB vendor:product id, serial number) and, on\n"
    "Linux, its stable name under /dev/serial/by-id, which stays the same when the adapter is\n"
    "plugged in again. Any of these names, or the port name without /dev/, may be given as\n"
    "the port of fetch and append, and chosen in the program's port settings.\n",
    runPorts,
};

}  // namespace zond::cli
