#include "app_fixture.h"

#include <QtTest>

#include "link/settings_store.h"

namespace zond::test {

PrivateSettings::PrivateSettings() {
    qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
    // The communication logs of the transfers, too.
    qputenv("XDG_STATE_HOME", dir_.path().toLocal8Bit());
    // QSettings reads XDG_CONFIG_HOME only once per process; point it here explicitly.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
}

std::unique_ptr<QSettings> PrivateSettings::open() const {
    return link::openProgramSettings();
}

void PrivateSettings::pointPortAt(int number, const QString& device) const {
    auto settings = open();
    settings->setValue(QStringLiteral("Ports/COM%1").arg(number), device);
    settings->sync();
}

Emulator::Emulator(const QStringList& arguments) : sim_(QStringLiteral(ZOND_SIM), arguments) {
    if (sim_.device().isEmpty()) {
        qFatal("zond-sim did not start or printed no device path");
    }
}

}  // namespace zond::test
