#include "app_fixture.h"

#include <QtTest>

#include "link/settings_store.h"

namespace zond::test {

PrivateSettings::PrivateSettings() {
    qputenv("XDG_CONFIG_HOME", dir_.path().toLocal8Bit());
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

Emulator::Emulator(const QStringList& arguments) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(QStringLiteral(ZOND_SIM), arguments);
    if (!process_.waitForStarted(5000)) {
        qFatal("zond-sim did not start");
    }
    while (!process_.canReadLine()) {
        if (!process_.waitForReadyRead(5000)) {
            qFatal("zond-sim printed no device path");
        }
    }
    device_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
}

Emulator::~Emulator() {
    process_.kill();
    process_.waitForFinished(3000);
}

}  // namespace zond::test
