// A QIODevice over fileio::AtomicFile for Qt's writers (QPdfWriter, QImage::save): the file
// replaces its target only when complete, and the first failed write is kept so that it can be
// reported with its real cause (Qt's writers do not pass it on).
#pragma once

#include <QIODevice>
#include <QString>
#include <optional>

#include "fileio/atomic_file.h"

namespace zond::ui {

class AtomicFileDevice : public QIODevice {
  public:
    // Open for writing. Throws fileio::FileWriteError when the temporary cannot be made.
    explicit AtomicFileDevice(const QString& target);

    // Puts the file in place when every write went through and the writer says it succeeded;
    // otherwise drops it and throws fileio::FileWriteError with the cause (an I/O error when only
    // the writer failed).
    void commit(bool writerSucceeded);

  protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

  private:
    fileio::AtomicFile file_;
    std::optional<fileio::FileWriteError> failure_;
};

}  // namespace zond::ui
