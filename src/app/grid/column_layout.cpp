#include "app/grid/column_layout.h"

#include <QStringList>

namespace zond::app {

namespace {

constexpr int kItemsBeforeFont = 6;
constexpr int kMaxWidth = 100000;

QString sortName(SortIndicator sort) {
    switch (sort) {
        case SortIndicator::Up:
            return QStringLiteral("up");
        case SortIndicator::Down:
            return QStringLiteral("down");
        case SortIndicator::None:
            break;
    }
    return QStringLiteral("none");
}

std::optional<SortIndicator> parseSort(const QString& text) {
    if (text == u"none") {
        return SortIndicator::None;
    }
    if (text == u"up") {
        return SortIndicator::Up;
    }
    if (text == u"down") {
        return SortIndicator::Down;
    }
    return std::nullopt;
}

QString alignmentName(Qt::Alignment alignment) {
    if (alignment & Qt::AlignRight) {
        return QStringLiteral("right");
    }
    if (alignment & Qt::AlignHCenter) {
        return QStringLiteral("center");
    }
    return QStringLiteral("left");
}

std::optional<Qt::Alignment> parseAlignment(const QString& text) {
    if (text == u"left") {
        return Qt::AlignLeft;
    }
    if (text == u"center") {
        return Qt::AlignHCenter;
    }
    if (text == u"right") {
        return Qt::AlignRight;
    }
    return std::nullopt;
}

std::optional<int> parseBoundedInt(const QString& text, int low, int high) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

std::optional<ColumnLayout> parseLine(const QString& line) {
    // The font description comes last and may itself contain any character but a line break.
    QStringList items;
    qsizetype start = 0;
    for (int i = 0; i < kItemsBeforeFont; ++i) {
        const qsizetype end = line.indexOf(u';', start);
        if (end < 0) {
            return std::nullopt;
        }
        items.append(line.mid(start, end - start));
        start = end + 1;
    }
    ColumnLayout column;
    column.field = items[0];
    const auto width = parseBoundedInt(items[1], 1, kMaxWidth);
    const auto position = parseBoundedInt(items[2], 0, int(kGridColumns.size()) - 1);
    const auto sort = parseSort(items[3]);
    const auto alignment = parseAlignment(items[5]);
    if (column.field.isEmpty() || !width || !position || !sort || !alignment) {
        return std::nullopt;
    }
    if (items[4] != u"none") {
        const QColor color = QColor::fromString(items[4]);
        if (!items[4].startsWith(u'#') || !color.isValid()) {
            return std::nullopt;
        }
        column.color = color;
    }
    if (!column.font.fromString(line.mid(start))) {
        return std::nullopt;
    }
    column.width = *width;
    column.position = *position;
    column.sort = *sort;
    column.alignment = *alignment;
    return column;
}

}  // namespace

QString layoutText(const std::vector<ColumnLayout>& columns) {
    QString text;
    for (const ColumnLayout& column : columns) {
        const QString color =
            column.color ? column.color->name(QColor::HexRgb) : QStringLiteral("none");
        text += QStringLiteral("%1;%2;%3;%4;%5;%6;%7\r\n")
                    .arg(column.field)
                    .arg(column.width)
                    .arg(column.position)
                    .arg(sortName(column.sort), color, alignmentName(column.alignment),
                         column.font.toString());
    }
    return text;
}

std::optional<std::vector<ColumnLayout>> parseLayoutText(const QString& text) {
    std::vector<ColumnLayout> columns;
    for (QString line : text.split(u'\n')) {
        if (line.endsWith(u'\r')) {
            line.chop(1);
        }
        if (line.isEmpty()) {
            continue;
        }
        auto column = parseLine(line);
        if (!column) {
            return std::nullopt;
        }
        columns.push_back(std::move(*column));
    }
    if (columns.empty()) {
        return std::nullopt;
    }
    return columns;
}

}  // namespace zond::app
