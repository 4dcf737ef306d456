// The workbook model: workbooks, worksheets and the rectangular ranges of cells they hold. The
// export commands fill it; the writer turns it into a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xls/cell_value.h"

namespace zond::xls {

class Workbook;
class Worksheet;

struct ColumnInfo {
    int column = 0;
    int width = 0;  // 1/256 of a character width
};

struct RowInfo {
    int row = 0;
    int height = 0;  // twips
};

struct PageSetup {
    bool blackAndWhite = false;
    std::string leftHeader, centreHeader, rightHeader;
    std::string leftFooter, centreFooter, rightFooter;
    bool centreHorizontally = false;
    bool centreVertically = false;
    bool draft = false;
    int firstPageNumber = 1;
    int fitPagesWide = 1;
    int fitPagesTall = 1;
    std::uint8_t printOrder = 0;   // 0 down then across, 1 across then down
    std::uint8_t orientation = 0;  // 0 portrait, otherwise landscape
    std::uint8_t paperSize = 9;    // A4
    bool printGridLines = false;
    bool printHeadings = false;
    bool printNotes = false;
    double leftMargin = 2.0;  // inches
    double rightMargin = 2.0;
    double topMargin = 2.5;
    double bottomMargin = 2.5;
    double headerMargin = 0.0;
    double footerMargin = 0.0;
    int scale = 100;  // percent
    int copies = 0;
    bool scaleByPercentage = true;  // off: fit to pages
};

struct RangeRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    bool isSingleCell() const { return left == right && top == bottom; }
    bool overlaps(const RangeRect& other) const {
        return left <= other.right && other.left <= right && top <= other.bottom &&
               other.top <= bottom;
    }
    bool operator==(const RangeRect&) const = default;
};

// The area a worksheet's ranges have ever been addressed in; -1 while none has.
struct UsedBounds {
    int firstColumn = -1;
    int firstRow = -1;
    int lastColumn = -1;
    int lastRow = -1;

    bool empty() const { return firstColumn < 0 || firstRow < 0 || lastColumn < 0 || lastRow < 0; }
};

// A range of a worksheet. The handle stays valid until a new range overlapping it removes the
// range, or its worksheet goes away.
class CellRange {
  public:
    const RangeRect& rect() const;
    Worksheet& worksheet() const { return *sheet_; }

    CellValue value() const;
    // Text is stored with every CR LF pair turned into a single LF.
    void setValue(CellValue value);
    // The same as setValue with a text, without building a value first.
    void setText(std::string_view text);
    CellKind kind() const;

    const RangeFormat& format() const;
    void setFormat(const RangeFormat& format);

    bool operator==(const CellRange&) const = default;

  private:
    friend class Worksheet;
    CellRange(Worksheet* sheet, std::uint32_t slot) : sheet_(sheet), slot_(slot) {}

    Worksheet* sheet_;
    std::uint32_t slot_;
};

// Read-only picture of a range, as the writer takes it.
struct RangeView {
    RangeRect rect;
    std::uint32_t formatId = 0;  // into the workbook's formats
    CellKind kind = CellKind::Text;
    double number = 0;  // kind Number
    std::string text;   // kind Text
};

class Worksheet {
  public:
    Worksheet(Workbook& workbook, std::string name);
    Worksheet(const Worksheet&) = delete;
    Worksheet& operator=(const Worksheet&) = delete;

    Workbook& workbook() const { return *workbook_; }
    int index() const;  // position in the workbook

    const std::string& name() const { return name_; }
    // Keeps the first 31 characters without leading and trailing blanks and control characters.
    void setName(std::string_view name);

    // The range with exactly this rectangle; created with default formatting when absent, after
    // removing every range it overlaps. Throws XlsError for an inverted rectangle.
    CellRange range(int left, int top, int right, int bottom);

    // Ranges in list order: by top row, equal tops in order of creation.
    std::size_t rangeCount() const { return order_.size(); }
    CellRange rangeAt(std::size_t position);
    RangeView view(std::size_t position) const;
    // The writer's fast access to single properties of the range at a position.
    const RangeRect& rectAt(std::size_t position) const { return slots_[order_[position]].rect; }
    std::uint32_t formatIdAt(std::size_t position) const { return slots_[order_[position]].format; }
    CellKind kindAt(std::size_t position) const { return kindOf(slots_[order_[position]]); }
    double numberAt(std::size_t position) const {
        return numberOf(valueOf(slots_[order_[position]]));
    }
    // The text of a range of kind Text; `scratch` holds it when it is made from a date or a
    // boolean.
    std::string_view textAt(std::size_t position, std::string& scratch) const;
    // Position of the first range whose top row is at least `top` (rangeCount() when none).
    std::size_t firstRangeFrom(int top) const;

    std::vector<ColumnInfo>& columns() { return columns_; }
    const std::vector<ColumnInfo>& columns() const { return columns_; }
    std::vector<RowInfo>& rows() { return rows_; }
    const std::vector<RowInfo>& rows() const { return rows_; }
    std::vector<int>& pageBreaks() { return pageBreaks_; }
    const std::vector<int>& pageBreaks() const { return pageBreaks_; }
    const RowInfo* findRow(int row) const;  // the first entry of that row

    PageSetup& pageSetup() { return pageSetup_; }
    const PageSetup& pageSetup() const { return pageSetup_; }

    const UsedBounds& usedBounds() const { return bounds_; }
    std::int64_t maxRangeHeight() const { return maxRangeHeight_; }

  private:
    friend class CellRange;

    // As wide as the format's type, so the two bit-fields share one word under the Windows
    // layout rules too.
    enum class ValueKind : std::uint32_t { Empty, Integer, Float, Currency, Text, Date, Boolean };

    // 28 bytes a range: a full export holds several hundred thousand of them.
    struct RangeData {
        RangeRect rect;
        std::uint32_t format : 28 = 0;
        ValueKind kind : 4 = ValueKind::Empty;
        // The value's bits, or where its text is stored; two words keep the record unpadded.
        std::uint32_t payloadLow = 0;
        std::uint32_t payloadHigh = 0;

        std::uint64_t payload() const { return (std::uint64_t{payloadHigh} << 32) | payloadLow; }
        void setPayload(std::uint64_t bits) {
            payloadLow = static_cast<std::uint32_t>(bits);
            payloadHigh = static_cast<std::uint32_t>(bits >> 32);
        }
    };
    static_assert(sizeof(RangeData) == 28);

    // Range records in fixed blocks: they never move, so handles stay valid, and growing costs
    // one allocation per few thousand ranges.
    class SlotStore {
      public:
        RangeData& operator[](std::uint32_t slot) { return blocks_[slot / kBlock][slot % kBlock]; }
        const RangeData& operator[](std::uint32_t slot) const {
            return blocks_[slot / kBlock][slot % kBlock];
        }
        std::uint32_t size() const { return size_; }
        void append(const RangeData& data);

      private:
        static constexpr std::uint32_t kBlock = 4096;

        std::vector<std::unique_ptr<RangeData[]>> blocks_;
        std::uint32_t size_ = 0;
    };

    // Texts of the sheet's ranges, each stored once behind its length. An overwritten text stays
    // until the sheet goes away.
    class TextStore {
      public:
        std::uint64_t add(std::string_view text);
        std::string_view get(std::uint64_t ref) const;

      private:
        std::vector<std::unique_ptr<char[]>> blocks_;
        std::size_t blockSize_ = 0;
        std::size_t used_ = 0;
    };

    std::uint32_t newSlot(const RangeRect& rect);
    void widenBounds(const RangeRect& rect);
    CellValue valueOf(const RangeData& data) const;
    CellKind kindOf(const RangeData& data) const;

    Workbook* workbook_;
    std::string name_;
    PageSetup pageSetup_;
    SlotStore slots_;
    std::vector<std::uint32_t> freeSlots_;
    std::vector<std::uint32_t> order_;  // slots in list order
    TextStore texts_;
    std::vector<ColumnInfo> columns_;
    std::vector<RowInfo> rows_;
    std::vector<int> pageBreaks_;
    UsedBounds bounds_;
    std::int64_t maxRangeHeight_ = 0;
};

class Workbook {
  public:
    Workbook();
    ~Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    const std::string& userName() const { return userName_; }
    // Keeps the first 66 characters without leading and trailing blanks and control characters.
    void setUserName(std::string_view name);

    // Appends a worksheet named "Sheet<n>": n starts at the number of sheets plus one and counts
    // up past names already taken (ignoring letter case).
    Worksheet& addWorksheet();
    int sheetCount() const { return static_cast<int>(sheets_.size()); }
    Worksheet& sheet(int position) { return *sheets_.at(position); }
    const Worksheet& sheet(int position) const { return *sheets_.at(position); }
    int indexOfSheet(std::string_view name) const;  // exact match; -1 when absent
    void clear();

    // Range formats are shared: a range refers to one of these by number; 0 is the default.
    std::uint32_t internFormat(const RangeFormat& format);
    const RangeFormat& formatAt(std::uint32_t id) const { return formats_[id]; }

  private:
    static constexpr std::size_t kMaxFormats = 1 << 28;  // what a range's format field holds

    std::string userName_;
    std::vector<std::unique_ptr<Worksheet>> sheets_;
    std::vector<RangeFormat> formats_;
};

}  // namespace zond::xls
