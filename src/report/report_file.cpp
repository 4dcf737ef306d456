#include "report/report_file.h"

#include <QCryptographicHash>
#include <QFile>
#include <QStringDecoder>
#include <QtEndian>
#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string_view>
#include <type_traits>

#include "fileio/atomic_file.h"

namespace zond::report {

namespace {

// Layout: magic, version, page size and line width, the text styles, the pages with their items,
// then a SHA-256 of everything before it. Numbers little-endian; texts UTF-8 with a byte count.
constexpr char kMagic[8] = {'Z', 'O', 'N', 'D', 'F', 'R', 'P', '\0'};
constexpr std::uint32_t kVersion = 1;
constexpr int kHashSize = 32;
constexpr double kLargestLength = 100000;  // layout units, far beyond any paper
constexpr qsizetype kLargestText = 1 << 20;
constexpr qint64 kLargestFile = qint64{1} << 30;
constexpr int kAlignmentMask = Qt::AlignHorizontal_Mask | Qt::AlignVertical_Mask;

// The unsigned integer of a number's size, for byte-order conversion of floats too.
template <typename T>
using Bits = std::conditional_t<
    sizeof(T) == 1, std::uint8_t,
    std::conditional_t<sizeof(T) == 2, std::uint16_t,
                       std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>>;

QByteArray hashOf(const char* data, qsizetype size) {
    return QCryptographicHash::hash(QByteArrayView(data, size), QCryptographicHash::Sha256);
}

class Writer {
  public:
    void bytes(const void* data, std::size_t size) {
        out_.append(static_cast<const char*>(data), static_cast<qsizetype>(size));
    }
    template <typename T>
    void number(T value) {
        const auto raw = qToLittleEndian(std::bit_cast<Bits<T>>(value));
        bytes(&raw, sizeof raw);
    }
    void text(const QString& value) {
        const QByteArray utf8 = value.toUtf8();
        number(static_cast<std::uint32_t>(utf8.size()));
        bytes(utf8.constData(), static_cast<std::size_t>(utf8.size()));
    }
    QByteArray finish() {
        out_.append(hashOf(out_.constData(), out_.size()));
        return std::move(out_);
    }

  private:
    QByteArray out_;
};

[[noreturn]] void damaged() {
    throw ReportFileError("damaged report");
}

class Reader {
  public:
    Reader(const char* data, qsizetype size) : data_(data), left_(size) {}

    qsizetype left() const { return left_; }
    const char* take(qsizetype size) {
        if (size < 0 || size > left_) {
            damaged();
        }
        const char* at = data_;
        data_ += size;
        left_ -= size;
        return at;
    }
    template <typename T>
    T number() {
        return std::bit_cast<T>(qFromLittleEndian<Bits<T>>(take(sizeof(T))));
    }
    double length() {
        const double value = number<double>();
        if (!std::isfinite(value) || std::fabs(value) > kLargestLength) {
            damaged();
        }
        return value;
    }
    float coordinate() {
        const float value = number<float>();
        if (!std::isfinite(value) || std::fabs(value) > kLargestLength) {
            damaged();
        }
        return value;
    }
    std::uint32_t count(std::size_t smallestEntry) {
        const std::uint32_t value = number<std::uint32_t>();
        if (value > static_cast<std::size_t>(left_) / smallestEntry) {
            damaged();
        }
        return value;
    }
    bool flag() {
        const auto value = number<std::uint8_t>();
        if (value > 1) {
            damaged();
        }
        return value != 0;
    }
    QString text(qsizetype limit) {
        const std::uint32_t size = number<std::uint32_t>();
        if (size > static_cast<std::uint32_t>(limit)) {
            damaged();
        }
        // Each text stands alone: a character cut off at its end is an error, not pending input.
        // A leading byte-order mark is text like any other here, so that it reads back.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                         QStringDecoder::Flag::ConvertInitialBom);
        QString value = decoder(QByteArrayView(take(size), size));
        if (decoder.hasError()) {
            damaged();
        }
        return value;
    }

  private:
    const char* data_;
    qsizetype left_;
};

TextStyle readStyle(Reader& in) {
    TextStyle style;
    style.family = in.text(256);
    style.pointSize = in.length();
    if (style.pointSize <= 0 || style.pointSize > 1000) {
        damaged();
    }
    style.bold = in.flag();
    style.alignment = static_cast<int>(in.number<std::uint32_t>());
    if (style.alignment & ~kAlignmentMask) {
        damaged();
    }
    style.wordWrap = in.flag();
    return style;
}

PageItem readItem(Reader& in, std::size_t styleCount) {
    PageItem item;
    const auto kind = in.number<std::uint8_t>();
    if (kind > static_cast<std::uint8_t>(PageItem::Kind::Rect)) {
        damaged();
    }
    item.kind = static_cast<PageItem::Kind>(kind);
    item.style = in.number<std::uint16_t>();
    item.x = in.coordinate();
    item.y = in.coordinate();
    item.width = in.coordinate();
    item.height = in.coordinate();
    if (item.kind == PageItem::Kind::Text) {
        if (item.style >= styleCount) {
            damaged();
        }
        item.text = in.text(kLargestText);
    } else if (item.style != 0) {
        damaged();
    }
    return item;
}

constexpr std::size_t kSmallestStyle = 4 + 8 + 1 + 4 + 1;
constexpr std::size_t kSmallestItem = 1 + 2 + 4 * 4;
constexpr std::size_t kSmallestPage = 4;

}  // namespace

QByteArray serializeReport(const ReportDocument& document) {
    Writer out;
    out.bytes(kMagic, sizeof kMagic);
    out.number(kVersion);
    out.number(document.pageWidth);
    out.number(document.pageHeight);
    out.number(document.lineWidth);
    out.number(static_cast<std::uint32_t>(document.styles.size()));
    for (const TextStyle& style : document.styles) {
        out.text(style.family);
        out.number(style.pointSize);
        out.number(static_cast<std::uint8_t>(style.bold));
        out.number(static_cast<std::uint32_t>(style.alignment));
        out.number(static_cast<std::uint8_t>(style.wordWrap));
    }
    out.number(static_cast<std::uint32_t>(document.pages.size()));
    for (const ReportPage& page : document.pages) {
        out.number(static_cast<std::uint32_t>(page.items.size()));
        for (const PageItem& item : page.items) {
            out.number(static_cast<std::uint8_t>(item.kind));
            out.number(item.style);
            out.number(item.x);
            out.number(item.y);
            out.number(item.width);
            out.number(item.height);
            if (item.kind == PageItem::Kind::Text) {
                out.text(item.text);
            }
        }
    }
    return out.finish();
}

ReportDocument parseReport(const QByteArray& bytes) {
    const qsizetype bodySize = bytes.size() - kHashSize;
    if (bodySize < static_cast<qsizetype>(sizeof kMagic) ||
        std::memcmp(bytes.constData(), kMagic, sizeof kMagic) != 0 ||
        hashOf(bytes.constData(), bodySize) != bytes.right(kHashSize)) {
        damaged();
    }
    Reader in(bytes.constData() + sizeof kMagic, bodySize - static_cast<qsizetype>(sizeof kMagic));
    if (in.number<std::uint32_t>() != kVersion) {
        damaged();
    }
    ReportDocument document;
    document.pageWidth = in.length();
    document.pageHeight = in.length();
    document.lineWidth = in.length();
    if (document.pageWidth <= 0 || document.pageHeight <= 0 || document.lineWidth < 0) {
        damaged();
    }
    const std::uint32_t styleCount = in.count(kSmallestStyle);
    if (styleCount > std::numeric_limits<std::uint16_t>::max()) {
        damaged();
    }
    for (std::uint32_t style = 0; style < styleCount; ++style) {
        document.styles.push_back(readStyle(in));
    }
    const std::uint32_t pageCount = in.count(kSmallestPage);
    if (pageCount == 0) {
        damaged();
    }
    document.pages.resize(pageCount);
    for (ReportPage& page : document.pages) {
        const std::uint32_t itemCount = in.count(kSmallestItem);
        page.items.reserve(itemCount);
        for (std::uint32_t item = 0; item < itemCount; ++item) {
            page.items.push_back(readItem(in, document.styles.size()));
        }
    }
    if (in.left() != 0) {
        damaged();
    }
    return document;
}

void saveReport(const ReportDocument& document, const QString& path) {
    try {
        const QByteArray bytes = serializeReport(document);
        fileio::AtomicFile file(std::filesystem::path(path.toStdU16String()));
        file.write(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        file.commit();
    } catch (const fileio::FileWriteError& error) {
        throw ReportFileError(error.what());
    }
}

ReportDocument loadReport(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw ReportFileError(
            QStringLiteral("Не удалось открыть файл \"%1\"").arg(path).toStdString());
    }
    try {
        if (file.size() > kLargestFile) {
            damaged();
        }
        return parseReport(file.readAll());
    } catch (const ReportFileError&) {
        throw ReportFileError(QStringLiteral("Файл \"%1\" не является отчетом или поврежден")
                                  .arg(path)
                                  .toStdString());
    }
}

}  // namespace zond::report
