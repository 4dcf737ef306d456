// Date and time: the grid's Дата and Время stay two columns, as real date and time cells, rather
// than one date-time column beside them. A spreadsheet's autofilter groups a date column by year,
// month and day, which is how measurements are looked for (one survey day, one month); a time
// column filters by hour the same way; and every export (grid, .xls, CSV, .xlsx) keeps the same
// eleven columns in the same places, so formulas and scripts written for one fit the others.
// Charting against the moment itself needs only =B2+C2, which Excel and LibreOffice show as a
// date-time.
#include "export/xlsx_export.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <memory>
#include <system_error>
#include <vector>

#include "export/xlsx_archive_check.h"
#include "fileio/atomic_file.h"
#include "measurement/export_rows.h"
#include "text/codepage.h"
#include "text/path_text.h"

namespace zond::exporting {

namespace {

using measurement::ExportColumnKind;
using measurement::kExportColumns;

constexpr std::size_t kProgressStep = 1024;
constexpr std::size_t kDateColumn = 1;
constexpr std::size_t kTimeColumn = 2;
constexpr int kDateWidth = 10;  // dd.mm.yyyy
constexpr int kTimeWidth = 8;   // hh:mm:ss
// A heading needs room for its bold letters and the autofilter's button.
constexpr int kHeadingExtra = 3;
constexpr int kCellPadding = 2;
// The library's temporary sheet files take about 460 bytes a row, the finished archive another
// 50 or so; both exist at the end.
constexpr std::uintmax_t kSpacePerRow = 520;
constexpr std::uintmax_t kSpaceForParts = 1 << 20;
constexpr std::uintmax_t kMegabyte = 1 << 20;

struct WorkbookDeleter {
    void operator()(lxw_workbook* book) const { lxw_workbook_free(book); }
};
using WorkbookPtr = std::unique_ptr<lxw_workbook, WorkbookDeleter>;

void check(lxw_error error) {
    if (error != LXW_NO_ERROR) {
        throw ExportError(std::string("Книга Excel не записана: ") + lxw_strerror(error) + ".");
    }
}

// Digits only: no sign, no spaces.
std::optional<int> wholeNumber(std::string_view digits) {
    if (!std::ranges::all_of(digits, [](char d) { return d >= '0' && d <= '9'; })) {
        return std::nullopt;
    }
    int value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return value;
}

// "dd.mm.yyyy" as Excel's day number (days since 1899-12-30; from 1900-03-01 on, Excel's
// 1900 leap-year quirk no longer shifts it).
std::optional<double> dateSerial(std::string_view text) {
    if (text.size() != 10 || text[2] != '.' || text[5] != '.') {
        return std::nullopt;
    }
    const auto day = wholeNumber(text.substr(0, 2));
    const auto month = wholeNumber(text.substr(3, 2));
    const auto year = wholeNumber(text.substr(6, 4));
    if (!day || !month || !year) {
        return std::nullopt;
    }
    using namespace std::chrono;
    const year_month_day date{std::chrono::year(*year), std::chrono::month(*month),
                              std::chrono::day(*day)};
    constexpr year_month_day kFirstPlain{std::chrono::year(1900), March, std::chrono::day(1)};
    if (!date.ok() || date < kFirstPlain) {
        return std::nullopt;
    }
    constexpr year_month_day kEpoch{std::chrono::year(1899), December, std::chrono::day(30)};
    return static_cast<double>((sys_days(date) - sys_days(kEpoch)).count());
}

// "hh:mm:ss" as the fraction of a day.
std::optional<double> timeFraction(std::string_view text) {
    if (text.size() != 8 || text[2] != ':' || text[5] != ':') {
        return std::nullopt;
    }
    const auto hours = wholeNumber(text.substr(0, 2));
    const auto minutes = wholeNumber(text.substr(3, 2));
    const auto seconds = wholeNumber(text.substr(6, 2));
    if (!hours || !minutes || !seconds || *hours > 23 || *minutes > 59 || *seconds > 59) {
        return std::nullopt;
    }
    return (*hours * 3600 + *minutes * 60 + *seconds) / 86400.0;
}

// Characters of a number shown with one decimal.
int oneDecimalWidth(double value) {
    int width = value < 0 ? 3 : 2;  // sign, point, decimal
    for (double whole = std::max(1.0, std::round(std::abs(value))); whole >= 1; whole /= 10) {
        ++width;
    }
    return width;
}

int integerWidth(long long value) {
    return static_cast<int>(std::to_string(value).size());
}

struct Formats {
    lxw_format* heading;
    lxw_format* date;
    lxw_format* time;
    lxw_format* oneDecimal;

    explicit Formats(lxw_workbook* book)
        : heading(workbook_add_format(book)),
          date(workbook_add_format(book)),
          time(workbook_add_format(book)),
          oneDecimal(workbook_add_format(book)) {
        format_set_bold(heading);
        format_set_num_format(date, "dd.mm.yyyy");
        format_set_num_format(time, "hh:mm:ss");
        format_set_num_format(oneDecimal, "0.0");
    }
};

// One worksheet being streamed: rows in order, widths noted as cells go in.
class SheetWriter {
  public:
    SheetWriter(lxw_workbook* book, std::size_t index, const Formats& formats) : formats_(formats) {
        sheet_ = workbook_add_worksheet(book, xlsxSheetName(index).c_str());
        if (!sheet_) {
            check(LXW_ERROR_MEMORY_MALLOC_FAILED);
        }
        for (std::size_t c = 0; c < kTableHeadings.size(); ++c) {
            const std::string heading(kTableHeadings[c]);
            check(worksheet_write_string(sheet_, 0, column(c), heading.c_str(), formats.heading));
            ++content_.texts;
            widths_[c] = static_cast<int>(text::characterCount(heading)) + kHeadingExtra;
        }
        worksheet_freeze_panes(sheet_, 1, 0);
    }

    std::size_t rows() const { return rows_; }
    // Rows (the heading too) and cells written, to check the finished archive against.
    SheetContent content() const { return {rows_ + 1, content_.numbers, content_.texts}; }

    void writeRow(measurement::ExportRowReader& rows) {
        ++rows_;
        for (std::size_t c = 0; c < kExportColumns.size(); ++c) {
            writeCell(rows, c);
        }
    }

    // The filter and the widths cover the rows written.
    void finish() {
        check(worksheet_autofilter(sheet_, 0, 0, static_cast<lxw_row_t>(rows_),
                                   column(kExportColumns.size() - 1)));
        for (std::size_t c = 0; c < widths_.size(); ++c) {
            check(worksheet_set_column(sheet_, column(c), column(c), widths_[c] + kCellPadding,
                                       nullptr));
        }
    }

  private:
    static lxw_col_t column(std::size_t c) { return static_cast<lxw_col_t>(c); }

    void number(std::size_t c, double value, lxw_format* format, int width) {
        check(worksheet_write_number(sheet_, static_cast<lxw_row_t>(rows_), column(c), value,
                                     format));
        ++content_.numbers;
        widths_[c] = std::max(widths_[c], width);
    }

    // Empty texts stay blank cells. A cell's line break is LF alone; a CR would be stored as
    // "_x000D_", which not every reader turns back.
    void writeText(std::size_t c, std::string_view value) {
        if (value.empty()) {
            return;
        }
        std::string owned(value);
        std::erase(owned, '\r');
        check(worksheet_write_string(sheet_, static_cast<lxw_row_t>(rows_), column(c),
                                     owned.c_str(), nullptr));
        ++content_.texts;
        widths_[c] = std::max(widths_[c], static_cast<int>(text::characterCount(value)));
    }

    void writeCell(measurement::ExportRowReader& rows, std::size_t c) {
        switch (kExportColumns[c].kind) {
            case ExportColumnKind::Integer: {
                const long long value = rows.integer(c);
                number(c, static_cast<double>(value), nullptr, integerWidth(value));
                break;
            }
            case ExportColumnKind::Number:
                if (const auto value = rows.measuredNumber(c)) {
                    number(c, *value, formats_.oneDecimal, oneDecimalWidth(*value));
                }
                break;
            case ExportColumnKind::Temperature: {
                const std::string_view value = rows.text(c);
                if (const auto degrees = temperatureValue(value)) {
                    number(c, *degrees, formats_.oneDecimal, oneDecimalWidth(*degrees));
                } else {
                    writeText(c, value);
                }
                break;
            }
            case ExportColumnKind::Text:
                writeTextColumn(rows, c);
                break;
        }
    }

    // Дата and Время become date and time cells; a text that is no date or time stays text.
    void writeTextColumn(measurement::ExportRowReader& rows, std::size_t c) {
        const std::string_view value = rows.text(c);
        if (c == kDateColumn) {
            if (const auto serial = dateSerial(value)) {
                number(c, *serial, formats_.date, kDateWidth);
                return;
            }
        } else if (c == kTimeColumn) {
            if (const auto fraction = timeFraction(value)) {
                number(c, *fraction, formats_.time, kTimeWidth);
                return;
            }
        }
        writeText(c, value);
    }

    lxw_worksheet* sheet_ = nullptr;
    const Formats& formats_;
    std::array<int, kExportColumns.size()> widths_{};
    std::size_t rows_ = 0;  // data rows written; the heading is row 0
    SheetContent content_;
};

void setProperties(lxw_workbook* book, const std::string& title) {
    std::string subject(kXlsxSheetName);
    std::string ownTitle = title;
    lxw_doc_properties properties{};
    properties.title = ownTitle.data();
    properties.subject = subject.data();
    check(workbook_set_properties(book, &properties));
}

// Writes the workbook to the temporary file and closes it; libxlsxwriter frees the workbook
// whatever happens. A failed write leaves its cause in errno.
void closeWorkbook(WorkbookPtr book, fileio::AtomicFile& file) {
    errno = 0;
    const lxw_error error = workbook_close(book.release());
    if (error == LXW_NO_ERROR) {
        return;
    }
    const int cause = errno;
    if (cause != 0) {
        file.fail(std::error_code(cause == EDQUOT ? ENOSPC : cause, std::generic_category()));
    }
    file.discard();
    check(error);
}

// Before any work: the library does not report every failed write of its temporary files.
void requireSpace(const std::filesystem::path& target, std::size_t rows) {
    const auto available = fileio::freeSpaceFor(target);
    const std::uintmax_t needed = kSpaceForParts + kSpacePerRow * rows;
    if (available && *available < needed) {
        const auto folder = target.has_parent_path() ? target.parent_path() : ".";
        throw ExportError("Файл \"" + text::pathText(target) +
                          "\" не записан: на диске не хватает места. Для экспорта " +
                          std::to_string(rows) + " строк в книгу Excel нужно около " +
                          std::to_string((needed + kMegabyte - 1) / kMegabyte) +
                          " МБ свободного места в папке \"" + text::pathText(folder) +
                          "\", а свободно " + std::to_string(*available / kMegabyte) + " МБ.");
    }
}

}  // namespace

std::string xlsxSheetName(std::size_t index) {
    std::string name(kXlsxSheetName);
    if (index > 0) {
        name += " (" + std::to_string(index + 1) + ")";
    }
    return name;
}

std::optional<std::size_t> exportTableToXlsx(dbf::DbfTable& table,
                                             const std::filesystem::path& target,
                                             const XlsxOptions& options, const Progress& progress) {
    measurement::ExportRowReader rows(table);
    const std::size_t total = rows.rowCount();
    fileio::AtomicFile file(target);
    requireSpace(file.destination(), total);
    const std::string temporary = file.handOverTemporary().string();
    // The library's own temporary files go beside the target too: not into a /tmp that may be
    // small or full, and where the free space was just checked.
    std::string temporaryFolder = file.handOverTemporary().parent_path().string();
    if (temporaryFolder.empty()) {
        temporaryFolder = ".";
    }
    lxw_workbook_options workbookOptions{};
    workbookOptions.constant_memory = LXW_TRUE;
    workbookOptions.tmpdir = temporaryFolder.data();
    WorkbookPtr book(workbook_new_opt(temporary.c_str(), &workbookOptions));
    if (!book) {
        check(LXW_ERROR_MEMORY_MALLOC_FAILED);
    }
    setProperties(book.get(),
                  options.title.empty() ? table.path().filename().string() : options.title);
    const Formats formats(book.get());
    std::size_t sheetIndex = 0;
    std::vector<SheetContent> sheetContents;
    auto sheet = std::make_unique<SheetWriter>(book.get(), sheetIndex, formats);
    while (rows.next()) {
        const std::size_t done = rows.rowsRead() - 1;
        if (progress && done % kProgressStep == 0 && !progress(done, total)) {
            return std::nullopt;
        }
        if (sheet->rows() == kXlsxRowsPerSheet) {
            sheet->finish();
            sheetContents.push_back(sheet->content());
            sheet = std::make_unique<SheetWriter>(book.get(), ++sheetIndex, formats);
        }
        sheet->writeRow(rows);
    }
    sheet->finish();
    sheetContents.push_back(sheet->content());
    if (progress && !progress(total, total)) {
        return std::nullopt;
    }
    closeWorkbook(std::move(book), file);
    if (!xlsxArchiveComplete(file.handOverTemporary(), sheetContents)) {
        // A write to the library's temporary files failed unreported.
        file.discard();
        throw ExportError("Файл \"" + text::pathText(target) +
                          "\" не записан: книга Excel вышла неполной, скорее всего на диске "
                          "закончилось место во время записи.");
    }
    file.commit();
    return total;
}

}  // namespace zond::exporting
