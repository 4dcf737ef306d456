#include "xls/workbook.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <optional>
#include <type_traits>
#include <variant>

#include "xls/xls_constants.h"

namespace zond::xls {

namespace {

// Keeps the first `limit` characters, then drops leading and trailing blanks and control
// characters (bytes up to 0x20; UTF-8 sequences never contain them).
std::string cutAndTrim(std::string_view text, std::size_t limit) {
    std::size_t characters = 0;
    std::size_t end = 0;
    for (; end < text.size(); ++end) {
        const bool startsCharacter = (static_cast<unsigned char>(text[end]) & 0xC0) != 0x80;
        if (startsCharacter && characters++ == limit) {
            break;
        }
    }
    text = text.substr(0, end);
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

std::string withoutCrLf(std::string text) {
    std::size_t out = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            continue;
        }
        text[out++] = text[i];
    }
    text.resize(out);
    return text;
}

}  // namespace

// --- CellRange -----------------------------------------------------------------------------

const RangeRect& CellRange::rect() const {
    return sheet_->slots_[slot_].rect;
}

CellValue CellRange::value() const {
    return sheet_->valueOf(sheet_->slots_[slot_]);
}

CellKind CellRange::kind() const {
    return sheet_->kindOf(sheet_->slots_[slot_]);
}

void CellRange::setValue(CellValue value) {
    using Kind = Worksheet::ValueKind;
    const auto kind = static_cast<Kind>(value.index());
    const std::uint64_t payload = std::visit(
        [this](auto& v) -> std::uint64_t {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>) {
                return 0;
            } else if constexpr (std::is_same_v<T, std::int32_t>) {
                return static_cast<std::uint32_t>(v);
            } else if constexpr (std::is_same_v<T, double>) {
                return std::bit_cast<std::uint64_t>(v);
            } else if constexpr (std::is_same_v<T, Currency>) {
                return static_cast<std::uint64_t>(v.tenThousandths);
            } else if constexpr (std::is_same_v<T, std::string>) {
                return sheet_->texts_.add(withoutCrLf(std::move(v)));
            } else if constexpr (std::is_same_v<T, DateTime>) {
                return std::bit_cast<std::uint64_t>(v.days);
            } else {
                return v ? 1 : 0;
            }
        },
        value);
    auto& data = sheet_->slots_[slot_];
    data.kind = kind;
    data.setPayload(payload);
}

void CellRange::setText(std::string_view text) {
    // Texts without a CR are stored as they are; the copy is only for those that need mending.
    const std::uint64_t payload = text.find('\r') == std::string_view::npos
                                      ? sheet_->texts_.add(text)
                                      : sheet_->texts_.add(withoutCrLf(std::string(text)));
    auto& data = sheet_->slots_[slot_];
    data.kind = Worksheet::ValueKind::Text;
    data.setPayload(payload);
}

const RangeFormat& CellRange::format() const {
    return sheet_->workbook().formatAt(sheet_->slots_[slot_].format);
}

void CellRange::setFormat(const RangeFormat& format) {
    sheet_->slots_[slot_].format = sheet_->workbook().internFormat(format);
}

// --- Worksheet::SlotStore --------------------------------------------------------------

void Worksheet::SlotStore::append(const RangeData& data) {
    if (size_ == std::numeric_limits<std::uint32_t>::max()) {
        throw XlsError("too many ranges in one worksheet");
    }
    if (size_ % kBlock == 0) {
        blocks_.push_back(std::make_unique<RangeData[]>(kBlock));
    }
    (*this)[size_++] = data;
}

// --- Worksheet::TextStore --------------------------------------------------------------

std::uint64_t Worksheet::TextStore::add(std::string_view text) {
    constexpr std::size_t kBlock = 1 << 20;
    constexpr std::size_t kLength = sizeof(std::uint32_t);
    if (text.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw XlsError("text too long for a cell");
    }
    const std::size_t need = kLength + text.size();
    if (blocks_.empty() || blockSize_ - used_ < need) {
        if (blocks_.size() >= std::numeric_limits<std::uint32_t>::max()) {
            throw XlsError("too much text in one worksheet");
        }
        blockSize_ = std::max(kBlock, need);
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(blockSize_));
        used_ = 0;
    }
    char* at = blocks_.back().get() + used_;
    const auto length = static_cast<std::uint32_t>(text.size());
    std::memcpy(at, &length, kLength);
    if (!text.empty()) {  // an empty view may have no data pointer at all
        std::memcpy(at + kLength, text.data(), text.size());
    }
    const std::uint64_t ref = (static_cast<std::uint64_t>(blocks_.size() - 1) << 32) | used_;
    used_ += need;
    return ref;
}

std::string_view Worksheet::TextStore::get(std::uint64_t ref) const {
    const char* at = blocks_[ref >> 32].get() + (ref & 0xFFFFFFFFu);
    std::uint32_t length = 0;
    std::memcpy(&length, at, sizeof length);
    return {at + sizeof length, length};
}

// --- Worksheet -------------------------------------------------------------------------

Worksheet::Worksheet(Workbook& workbook, std::string name)
    : workbook_(&workbook), name_(std::move(name)) {}

int Worksheet::index() const {
    for (int i = 0; i < workbook_->sheetCount(); ++i) {
        if (&workbook_->sheet(i) == this) {
            return i;
        }
    }
    return -1;
}

void Worksheet::setName(std::string_view name) {
    name_ = cutAndTrim(name, kSheetNameLimit);
}

std::size_t Worksheet::firstRangeFrom(int top) const {
    const auto above = [&](std::uint32_t slot) { return slots_[slot].rect.top < top; };
    // Sheets are mostly filled row by row, so the answer is usually among the last ranges.
    constexpr int kBackwardSteps = 16;
    std::size_t end = order_.size();
    for (int step = 0; step < kBackwardSteps && end > 0; ++step, --end) {
        if (above(order_[end - 1])) {
            return end;
        }
    }
    const auto it = std::partition_point(order_.begin(),
                                         order_.begin() + static_cast<std::ptrdiff_t>(end), above);
    return static_cast<std::size_t>(it - order_.begin());
}

std::uint32_t Worksheet::newSlot(const RangeRect& rect) {
    RangeData data;
    data.rect = rect;
    if (!freeSlots_.empty()) {
        const auto slot = freeSlots_.back();
        freeSlots_.pop_back();
        slots_[slot] = data;
        return slot;
    }
    slots_.append(data);
    return static_cast<std::uint32_t>(slots_.size() - 1);
}

void Worksheet::widenBounds(const RangeRect& rect) {
    const auto widen = [](int& low, int& high, int from, int to) {
        low = low < 0 ? from : std::min(low, from);
        high = std::max(high, to);
    };
    widen(bounds_.firstColumn, bounds_.lastColumn, rect.left, rect.right);
    widen(bounds_.firstRow, bounds_.lastRow, rect.top, rect.bottom);
}

CellRange Worksheet::range(int left, int top, int right, int bottom) {
    if (left > right || top > bottom) {
        throw XlsError("a range needs left <= right and top <= bottom");
    }
    const RangeRect rect{left, top, right, bottom};
    const auto height = static_cast<std::int64_t>(bottom) - top + 1;
    // Ranges starting above this row are too short to reach the rectangle.
    const auto reach = std::max<std::int64_t>(static_cast<std::int64_t>(top) - maxRangeHeight_ + 1,
                                              std::numeric_limits<int>::min());
    std::size_t position = firstRangeFrom(static_cast<int>(reach));
    std::size_t insertAt = position;
    bool removed = false;
    std::optional<std::uint32_t> found;
    while (position < order_.size()) {
        const auto slot = order_[position];
        const RangeRect& other = slots_[slot].rect;
        if (other.top > bottom) {
            break;
        }
        if (other == rect) {
            found = slot;
            break;
        }
        if (other.overlaps(rect)) {
            freeSlots_.push_back(slot);
            order_.erase(order_.begin() + static_cast<std::ptrdiff_t>(position));
            removed = true;
            continue;
        }
        if (other.top <= top) {
            insertAt = position + 1;
        }
        ++position;
    }
    if (!found) {
        found = newSlot(rect);
        order_.insert(order_.begin() + static_cast<std::ptrdiff_t>(insertAt), *found);
    }
    if (removed) {
        maxRangeHeight_ = 1;
        for (const auto slot : order_) {
            const auto& r = slots_[slot].rect;
            maxRangeHeight_ =
                std::max(maxRangeHeight_, static_cast<std::int64_t>(r.bottom) - r.top + 1);
        }
    } else {
        maxRangeHeight_ = std::max(maxRangeHeight_, height);
    }
    widenBounds(rect);
    return CellRange(this, *found);
}

CellRange Worksheet::rangeAt(std::size_t position) {
    return CellRange(this, order_.at(position));
}

CellKind Worksheet::kindOf(const RangeData& data) const {
    switch (data.kind) {
        case ValueKind::Integer:
        case ValueKind::Float:
        case ValueKind::Currency:
            return CellKind::Number;
        default:
            return CellKind::Text;
    }
}

CellValue Worksheet::valueOf(const RangeData& data) const {
    switch (data.kind) {
        case ValueKind::Empty:
            return std::monostate{};
        case ValueKind::Integer:
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(data.payload()));
        case ValueKind::Float:
            return std::bit_cast<double>(data.payload());
        case ValueKind::Currency:
            return Currency{static_cast<std::int64_t>(data.payload())};
        case ValueKind::Text:
            return std::string(texts_.get(data.payload()));
        case ValueKind::Date:
            return DateTime{std::bit_cast<double>(data.payload())};
        case ValueKind::Boolean:
            return data.payload() != 0;
    }
    return std::monostate{};
}

RangeView Worksheet::view(std::size_t position) const {
    const auto& data = slots_[order_.at(position)];
    RangeView view;
    view.rect = data.rect;
    view.formatId = data.format;
    view.kind = kindOf(data);
    if (data.kind == ValueKind::Text) {
        view.text = texts_.get(data.payload());
    } else {
        const CellValue value = valueOf(data);
        if (view.kind == CellKind::Number) {
            view.number = numberOf(value);
        } else {
            view.text = textOf(value);
        }
    }
    return view;
}

std::string_view Worksheet::textAt(std::size_t position, std::string& scratch) const {
    const auto& data = slots_[order_[position]];
    if (data.kind == ValueKind::Text) {
        return texts_.get(data.payload());
    }
    scratch = textOf(valueOf(data));
    return scratch;
}

const RowInfo* Worksheet::findRow(int row) const {
    const auto it = std::ranges::find(rows_, row, &RowInfo::row);
    return it == rows_.end() ? nullptr : &*it;
}

// --- Workbook --------------------------------------------------------------------------

Workbook::Workbook() : userName_(kDefaultUserName), formats_(1) {}

Workbook::~Workbook() {
    clear();
}

void Workbook::setUserName(std::string_view name) {
    userName_ = cutAndTrim(name, kUserNameLimit);
}

Worksheet& Workbook::addWorksheet() {
    auto taken = [this](const std::string& name) {
        return std::ranges::any_of(
            sheets_, [&](const auto& sheet) { return equalIgnoringCase(sheet->name(), name); });
    };
    std::size_t n = sheets_.size() + 1;
    std::string name = std::string(kDefaultSheetPrefix) + std::to_string(n);
    while (taken(name)) {
        name = std::string(kDefaultSheetPrefix) + std::to_string(++n);
    }
    sheets_.push_back(std::make_unique<Worksheet>(*this, std::move(name)));
    return *sheets_.back();
}

int Workbook::indexOfSheet(std::string_view name) const {
    for (std::size_t i = 0; i < sheets_.size(); ++i) {
        if (sheets_[i]->name() == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void Workbook::clear() {
    sheets_.clear();
}

std::uint32_t Workbook::internFormat(const RangeFormat& format) {
    const auto it = std::ranges::find(formats_, format);
    if (it != formats_.end()) {
        return static_cast<std::uint32_t>(it - formats_.begin());
    }
    if (formats_.size() >= kMaxFormats) {
        throw XlsError("too many different range formats");
    }
    formats_.push_back(format);
    return static_cast<std::uint32_t>(formats_.size() - 1);
}

}  // namespace zond::xls
