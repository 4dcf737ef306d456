// Writes compound files with the container writer the Windows build uses, for the interop check
// to read back on Linux: streams of chosen sizes (each with its bytes beside it as .stream) and
// one real workbook.
//
// usage: ole_container_samples DIR
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "xls/biff8_writer.h"
#include "xls/ole_container.h"
#include "xls/workbook.h"

namespace {

namespace fs = std::filesystem;
using namespace zond;

void writeContainer(const fs::path& path, const xls::BiffStream& stream) {
    std::ofstream out(path, std::ios::binary);
    xls::writeOleContainer(stream, [&](std::span<const std::uint8_t> bytes) {
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
    });
}

// A stream of `size` bytes that differ from sector to sector, so a wrong chain shows.
void writeSized(const fs::path& dir, std::uint32_t size) {
    std::vector<std::uint8_t> bytes(size);
    for (std::uint32_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>((i * 7919U) >> 6);
    }
    xls::BiffStream stream;
    stream.write(bytes);
    const auto name = dir / ("size" + std::to_string(size));
    writeContainer(fs::path(name).replace_extension(".ole"), stream);
    std::ofstream(fs::path(name).replace_extension(".stream"), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), size);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const fs::path dir = argv[1];
    // The mini stream, the cutoff, several sectors, and more FAT sectors than the header lists.
    for (const std::uint32_t size : {1U, 4095U, 4096U, 70'000U, 8'000'000U}) {
        writeSized(dir, size);
    }
    xls::Workbook book;
    auto& sheet = book.addWorksheet();
    sheet.setName("Лист");
    sheet.range(0, 0, 0, 0).setValue(std::string("Замер"));
    sheet.range(0, 1, 0, 1).setValue(12.5);  // column, row, column, row
    writeContainer(dir / "book.xls", xls::Biff8Writer().assemble(book));
    return 0;
}
