#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QtEndian>

#include "fake_rows.h"
#include "report/report_file.h"
#include "report/report_layout.h"

namespace zond::report {
namespace {

ReportDocument sampleDocument() {
    auto rows = testing::numberedRows(40);
    rows[3]["COMMENT"] = QStringLiteral("длинное примечание \"в кавычках\" и ёмкость ∑");
    rows[5]["TAVIS_1"] = std::nullopt;
    rows[7]["COMMENT"] = QStringLiteral("\uFEFFначинается с метки порядка байтов");
    testing::FakeRows source(std::move(rows));
    return *layoutReport(measurementReportTemplate(), source);
}

// The file ends in a SHA-256 of everything before it; altered bodies get a fresh one so that the
// checks behind the hash are reached.
QByteArray withFreshHash(QByteArray body) {
    return body + QCryptographicHash::hash(body, QCryptographicHash::Sha256);
}

QByteArray bodyOf(const QByteArray& file) {
    return file.left(file.size() - 32);
}

// Offsets in the layout: magic 8, version 4, three doubles 24, then the style count.
constexpr qsizetype kStyleCountOffset = 8 + 4 + 24;

TEST(ReportFile, SavedPagesReadBackExactly) {
    const ReportDocument document = sampleDocument();
    ASSERT_EQ(document.pages.size(), 3u);
    QTemporaryDir folder;
    const QString path = folder.filePath("report.frp");
    saveReport(document, path);
    EXPECT_EQ(loadReport(path), document);
}

TEST(ReportFile, StartsWithItsMagicAndVersion) {
    const QByteArray bytes = serializeReport(sampleDocument());
    EXPECT_EQ(bytes.left(8), QByteArray("ZONDFRP\0", 8));
    EXPECT_EQ(qFromLittleEndian<quint32>(bytes.constData() + 8), 1u);
}

TEST(ReportFile, DamagedFilesAreRefused) {
    const QByteArray good = serializeReport(sampleDocument());
    QByteArray flipped = good;
    flipped[200] = static_cast<char>(flipped[200] ^ 0x10);

    QByteArray hugeStyleCount = bodyOf(good);
    qToLittleEndian<quint32>(0x7fffffff, hugeStyleCount.data() + kStyleCountOffset);

    QByteArray wrongVersion = bodyOf(good);
    qToLittleEndian<quint32>(2, wrongVersion.data() + 8);

    // The first style's bold flag: after the count, "Arial" with its length, the point size.
    QByteArray boldTwo = bodyOf(good);
    ASSERT_EQ(boldTwo.mid(kStyleCountOffset + 8, 5), QByteArray("Arial"));
    boldTwo[kStyleCountOffset + 8 + 5 + 8] = 2;

    // "12,5" of the q1 column with its last character cut to the first byte of a two-byte one.
    QByteArray cutCharacter = bodyOf(good);
    const qsizetype value = cutCharacter.indexOf("12,5");
    ASSERT_GT(value, 0);
    cutCharacter[value + 3] = static_cast<char>(0xC5);

    QByteArray nanWidth = bodyOf(good);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    qToLittleEndian<quint64>(std::bit_cast<quint64>(nan), nanWidth.data() + 12);

    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"empty", QByteArray()},
        {"truncated", good.left(good.size() / 2)},
        {"one byte short", good.left(good.size() - 1)},
        {"flipped bit", flipped},
        {"other magic", withFreshHash("NOTAFRP" + bodyOf(good).mid(7))},
        {"huge count", withFreshHash(hugeStyleCount)},
        {"future version", withFreshHash(wrongVersion)},
        {"not a number", withFreshHash(nanWidth)},
        {"flag neither 0 nor 1", withFreshHash(boldTwo)},
        {"character cut off", withFreshHash(cutCharacter)},
        {"trailing bytes", withFreshHash(bodyOf(good) + "x")},
        {"cut body", withFreshHash(bodyOf(good).left(bodyOf(good).size() - 5))},
    };
    for (const auto& [name, bytes] : cases) {
        EXPECT_THROW(parseReport(bytes), ReportFileError) << name;
    }
}

TEST(ReportFile, StyleIndexOutsideTheTableIsRefused) {
    ReportDocument document = sampleDocument();
    document.pages[0].items[0].style = static_cast<quint16>(document.styles.size());
    ASSERT_EQ(document.pages[0].items[0].kind, PageItem::Kind::Text);
    EXPECT_THROW(parseReport(serializeReport(document)), ReportFileError);
}

TEST(ReportFile, UnreadableFileNamesItInTheError) {
    QTemporaryDir folder;
    const QString path = folder.filePath("broken.frp");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a report at all");
    file.close();
    try {
        loadReport(path);
        FAIL() << "a broken file was accepted";
    } catch (const ReportFileError& error) {
        EXPECT_NE(std::string(error.what()).find("broken.frp"), std::string::npos);
    }
    EXPECT_THROW(loadReport(folder.filePath("missing.frp")), ReportFileError);
}

}  // namespace
}  // namespace zond::report
