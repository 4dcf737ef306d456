// What the main window's tests share: a private settings folder, the instrument emulator on a
// pseudo-terminal, and the windows of the program wired as at start-up.
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "app/main_window.h"
#include "app/receive_window.h"
#include "scripted_dialogs.h"
#include "sim_process.h"

namespace zond::test {

// Settings of the program under a folder of the test's own (XDG_CONFIG_HOME for child processes
// as well).
class PrivateSettings {
  public:
    PrivateSettings();
    QString folder() const { return dir_.path(); }
    // The program's own settings group.
    std::unique_ptr<QSettings> open() const;
    void pointPortAt(int number, const QString& device) const;

  private:
    QTemporaryDir dir_;
};

// zond-sim on a pseudo-terminal, stopped when destroyed; a test cannot go on without it.
class Emulator {
  public:
    explicit Emulator(const QStringList& arguments);
    QString device() const { return sim_.device(); }

  private:
    testing::SimProcess sim_;
};

// MainWindow and ReceiveWindow as the program creates them, answering dialogs from a script.
struct ProgramWindows {
    ScriptedDialogs dialogs;
    MainWindow form1{dialogs};
    ReceiveWindow form2{dialogs, &form1};

    ProgramWindows() { form1.setReceiveWindow(&form2); }
};

}  // namespace zond::test
