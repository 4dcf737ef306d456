// zond-sim as a child process of a test: started with the given options, its device path read
// from its first line, stopped with the test.
#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace zond::testing {

class SimProcess {
  public:
    // `program` is the emulator's path (the build passes it to the test).
    SimProcess(const QString& program, const QStringList& options) {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(program, options);
        if (!process_.waitForStarted(5000)) {
            return;
        }
        while (!process_.canReadLine() && process_.waitForReadyRead(5000)) {
        }
        if (process_.canReadLine()) {
            device_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
        }
    }
    ~SimProcess() {
        process_.terminate();
        if (!process_.waitForFinished(3000)) {
            process_.kill();
            process_.waitForFinished(3000);
        }
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // Empty when the emulator did not come up.
    const QString& device() const { return device_; }

  private:
    QProcess process_;
    QString device_;
};

}  // namespace zond::testing
