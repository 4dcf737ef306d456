#include <algorithm>
#include <cmath>

#include "dbf/dbf_layout.h"
#include "dbf/dbf_table.h"
#include "text/byte_order.h"
#include "text/number_text.h"

namespace zond::dbf {

const DbfFieldDescriptor& DbfRecord::field(int index) const {
    // A negative index wraps to a size no table has.
    if (!layout_ || static_cast<std::size_t>(index) >= layout_->fields.size()) {
        throw DbfError("Field index " + std::to_string(index) + " out of range.");
    }
    return layout_->fields[static_cast<std::size_t>(index)];
}

std::span<std::uint8_t> DbfRecord::fieldBytes(const DbfFieldDescriptor& descriptor) {
    return std::span<std::uint8_t>(bytes_).subspan(static_cast<std::size_t>(descriptor.offset),
                                                   static_cast<std::size_t>(descriptor.width));
}

std::span<const std::uint8_t> DbfRecord::fieldBytes(const DbfFieldDescriptor& descriptor) const {
    return std::span<const std::uint8_t>(bytes_).subspan(
        static_cast<std::size_t>(descriptor.offset), static_cast<std::size_t>(descriptor.width));
}

bool DbfRecord::isNull(int index) const {
    const auto& descriptor = field(index);
    const auto bytes = fieldBytes(descriptor);
    if (descriptor.type == 'I') {
        return false;
    }
    return std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == ' '; });
}

std::string DbfRecord::text(int index) const {
    const auto& descriptor = field(index);
    if (descriptor.type == 'I') {
        return std::to_string(asInteger(index));
    }
    std::string_view raw = bytes::asText(fieldBytes(descriptor));
    const auto end = raw.find_last_not_of(' ');
    raw = end == std::string_view::npos ? std::string_view() : raw.substr(0, end + 1);
    return layout_->codePage->decode(raw);
}

std::optional<double> DbfRecord::number(int index) const {
    const auto& descriptor = field(index);
    return decodeNumber(descriptor, fieldBytes(descriptor));
}

long long DbfRecord::asInteger(int index) const {
    const double value = asDouble(index);
    return std::fabs(value) < 9.2e18 ? std::llround(value) : 0;
}

bool DbfRecord::setText(int index, std::string_view utf8) {
    const auto& descriptor = field(index);
    if (isNumericKind(descriptor.kind)) {
        if (const auto value = text::parseNumber(utf8)) {
            setDouble(index, *value);
        } else if (utf8.find_first_not_of(' ') == std::string_view::npos) {
            setNull(index);
        } else {
            throw DbfError("Value \"" + std::string(utf8) + "\" is not a number (field \"" +
                           descriptor.name + "\").");
        }
        return true;
    }
    return layout_->codePage->encodeField(utf8, fieldBytes(descriptor));
}

void DbfRecord::setInteger(int index, long long value) {
    const auto& descriptor = field(index);
    encodeInteger(descriptor, value, fieldBytes(descriptor));
}

void DbfRecord::setDouble(int index, double value) {
    const auto& descriptor = field(index);
    encodeDouble(descriptor, value, fieldBytes(descriptor));
}

void DbfRecord::setNull(int index) {
    const auto bytes = fieldBytes(field(index));
    std::fill(bytes.begin(), bytes.end(), static_cast<std::uint8_t>(' '));
}

}  // namespace zond::dbf
