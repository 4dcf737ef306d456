// Reads arbitrary bytes as a saved report. The input is taken as the file's body and given its
// hash, so the fuzzer reaches the structure checks behind it; a report that reads back must save
// to the same bytes.
#include <QCryptographicHash>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "report/report_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray body(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QByteArray file = body + QCryptographicHash::hash(body, QCryptographicHash::Sha256);
    try {
        const zond::report::ReportDocument document = zond::report::parseReport(file);
        if (zond::report::serializeReport(document) != file) {
            std::abort();
        }
    } catch (const zond::report::ReportFileError&) {
    }
    return 0;
}
