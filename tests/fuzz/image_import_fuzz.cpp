// Imports arbitrary memory images into a fresh measurement table, in both modes.
// Input: one byte of options (bit 0 append, bits 1-2 the flux scaling, bit 3 new firmware, bit 4
// import the same image a second time), three sensor codes, then the image as the transfer
// assembles it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <span>
#include <vector>

#include "dbf/memory_files.h"
#include "instrument/image_decoding.h"
#include "instrument/record_import.h"
#include "measurement/measurement_schema.h"

namespace {

using namespace zond;

constexpr std::array<const char*, 4> kVersions = {"070514", "090818", "090819", "061201"};

// The bytes of a new empty measurement table, made once.
std::vector<std::uint8_t> emptyTableBytes() {
    const std::filesystem::path path = "/fuzz/empty.db";
    measurement::createMeasurementTable(path);
    return dbf::memoryFileBytes(path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    const std::uint8_t options = data[0];
    instrument::DeviceInfo info;
    info.versionNumberText = kVersions[(options >> 1) & 3];
    info.firmwareFlag = (options & 8) ? 27 : 8;
    info.sensorCodes = {static_cast<std::uint8_t>(data[1] & 7),
                        static_cast<std::uint8_t>(data[2] & 7),
                        static_cast<std::uint8_t>(data[3] & 7)};
    info.channelCount = 3;
    const std::span<const std::uint8_t> image(data + 4, size - 4);
    const auto mode =
        (options & 1) ? instrument::ImportMode::Append : instrument::ImportMode::Create;

    static const std::vector<std::uint8_t> emptyTable = emptyTableBytes();
    static const std::filesystem::path path = "/fuzz/table.db";
    dbf::putMemoryFile(path, emptyTable);
    dbf::DbfTable table;
    const auto fields = measurement::openMeasurementTable(table, path);
    try {
        const auto first = instrument::importRecords(table, fields, info, image, mode, ',');
        if (first.added != instrument::imageRecordCount(image) || table.rowCount() != first.added) {
            std::abort();  // an empty table takes every record
        }
        if ((options & 16) == 0) {
            return 0;
        }
        // The same memory again, appended after its own last record.
        const auto again = instrument::importRecords(table, fields, info, image,
                                                     instrument::ImportMode::Append, ',');
        if (table.rowCount() != first.added + again.added) {
            std::abort();
        }
    } catch (const instrument::ImportStoppedError&) {
    } catch (const instrument::RangeCheckError&) {
    } catch (const instrument::InvalidDateTimeError&) {
    }
    return 0;
}
