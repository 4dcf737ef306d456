// The serial devices present on this computer, as the port settings window and `zond8t-cli ports`
// list them.
#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace zond::link {

struct SerialDevice {
    QString path;      // what the program opens: /dev/ttyUSB0, COM3
    QString portName;  // Qt's short name: ttyUSB0, COM3
    QString description;
    QString manufacturer;
    QString serialNumber;
    std::optional<quint16> vendorId;
    std::optional<quint16> productId;
    // /dev/serial/by-id/… on Linux: the same adapter keeps it when it is plugged in again.
    QString stableName;
};

// Qt's port enumeration with the stable names found in `stableFolder`.
std::vector<SerialDevice> listSerialDevices(
    const QString& stableFolder = QStringLiteral("/dev/serial/by-id"));

// "usb 0403:6001, serial A50285BI" style summary of what is known; empty when nothing is.
QString deviceDetails(const SerialDevice& device);

// A name the user gave for a device: a listed port name or the file name of a stable name stands
// for its device; anything else is taken as it is.
QString resolveDeviceName(const QString& name, const std::vector<SerialDevice>& devices);

}  // namespace zond::link
