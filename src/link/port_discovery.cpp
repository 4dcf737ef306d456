#include "link/port_discovery.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QStringList>

namespace zond::link {

namespace {

QString hex4(quint16 value) {
    return QStringLiteral("%1").arg(value, 4, 16, QLatin1Char('0'));
}

// The canonical device of each link in `folder`, so that /dev/ttyUSB0 finds its stable name.
QString stableNameOf(const QString& path, const QString& folder) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty()) {
        return {};
    }
    const QFileInfoList links = QDir(folder).entryInfoList(QDir::System | QDir::Files, QDir::Name);
    for (const QFileInfo& link : links) {
        if (link.isSymLink() && link.canonicalFilePath() == canonical) {
            return link.absoluteFilePath();
        }
    }
    return {};
}

}  // namespace

std::vector<SerialDevice> listSerialDevices(const QString& stableFolder) {
    std::vector<SerialDevice> devices;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        SerialDevice device;
#ifdef Q_OS_WIN
        // "COM3", as Windows names the port to its users; Qt opens it under either name.
        device.path = info.portName();
#else
        device.path = info.systemLocation();
#endif
        device.portName = info.portName();
        device.description = info.description();
        device.manufacturer = info.manufacturer();
        device.serialNumber = info.serialNumber();
        if (info.hasVendorIdentifier()) {
            device.vendorId = info.vendorIdentifier();
        }
        if (info.hasProductIdentifier()) {
            device.productId = info.productIdentifier();
        }
        device.stableName = stableNameOf(device.path, stableFolder);
        devices.push_back(std::move(device));
    }
    return devices;
}

QString deviceDetails(const SerialDevice& device) {
    QStringList parts;
    if (!device.description.isEmpty()) {
        parts << device.description;
    }
    if (!device.manufacturer.isEmpty() && device.manufacturer != device.description) {
        parts << device.manufacturer;
    }
    if (device.vendorId && device.productId) {
        parts << QStringLiteral("USB %1:%2").arg(hex4(*device.vendorId), hex4(*device.productId));
    }
    if (!device.serialNumber.isEmpty()) {
        parts << QStringLiteral("S/N %1").arg(device.serialNumber);
    }
    return parts.join(QStringLiteral(", "));
}

QString resolveDeviceName(const QString& name, const std::vector<SerialDevice>& devices) {
    for (const SerialDevice& device : devices) {
        const bool stable =
            !device.stableName.isEmpty() && QFileInfo(device.stableName).fileName() == name;
        if (name == device.portName || stable) {
            return device.path;
        }
    }
    return name;
}

}  // namespace zond::link
