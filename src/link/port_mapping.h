// Logical port names of the program ("\\.\COM1", "\\.\COM2") and the devices behind them.
#pragma once

#include <QString>

namespace zond::link {

// "\\.\COMn" goes through the settings value Ports/COMn; without one it is COMn on Windows; on
// Linux COM1 is /dev/ttyUSB0 (a USB adapter works out of the box) and COMn from 2 on is
// /dev/ttyS{n-2}. A bare name of a listed device (ttyUSB1, COM3, the file name of a stable
// /dev/serial/by-id name) stands for that device; any other name is taken as a device path.
QString deviceForPort(const QString& portName);

}  // namespace zond::link
