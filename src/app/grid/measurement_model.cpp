#include "app/grid/measurement_model.h"

#include "measurement/row_selection.h"
#include "text/number_text.h"

namespace zond::app {

namespace {

bool isInteger(dbf::FieldKind kind) {
    return kind == dbf::FieldKind::SmallInt || kind == dbf::FieldKind::Int32 ||
           kind == dbf::FieldKind::Int64;
}

}  // namespace

MeasurementModel::MeasurementModel(const std::array<ColumnLayout, kGridColumns.size()>& columns,
                                   const std::array<QString, kGridColumns.size()>& captions,
                                   const measurement::RowSelection& selection, QObject* parent)
    : QAbstractTableModel(parent), columns_(columns), captions_(captions), selection_(selection) {
    fields_.fill(-1);
}

void MeasurementModel::setTable(dbf::DbfTable* table) {
    table_ = table;
    reload();
}

void MeasurementModel::setDecimalSeparator(char separator) {
    decimalSeparator_ = separator;
    repaintAll();
}

void MeasurementModel::reload() {
    beginResetModel();
    cachedRecord_ = 0;
    cached_ = {};
    fields_.fill(-1);
    rows_ = 0;
    if (tableOpen()) {
        for (std::size_t i = 0; i < kGridColumns.size(); ++i) {
            fields_[i] = table_->fieldIndex(kGridColumns[i].field);
        }
        rows_ = static_cast<int>(table_->rowCount());
    }
    endResetModel();
}

void MeasurementModel::repaintAll() {
    if (rows_ > 0) {
        emit dataChanged(index(0, 0), index(rows_ - 1, columnCount() - 1));
    }
}

std::optional<std::uint32_t> MeasurementModel::recordAt(int row) const {
    if (!tableOpen() || row < 0 || row >= rows_ ||
        static_cast<std::size_t>(row) >= table_->rowCount()) {
        return std::nullopt;
    }
    return table_->recordAt(static_cast<std::size_t>(row));
}

int MeasurementModel::commentWidth() const {
    const int field = fieldOf(static_cast<int>(kGridColumns.size()) - 1);
    if (!tableOpen() || field < 0) {
        return 0;
    }
    return table_->fields()[static_cast<std::size_t>(field)].width;
}

const dbf::DbfRecord* MeasurementModel::recordOfRow(int row) const {
    const auto record = recordAt(row);
    if (!record) {
        return nullptr;
    }
    if (*record != cachedRecord_) {
        try {
            cached_ = table_->read(*record);
        } catch (const dbf::DbfError&) {
            cachedRecord_ = 0;
            return nullptr;
        }
        cachedRecord_ = *record;
    }
    return &cached_;
}

QString MeasurementModel::cellText(const dbf::DbfRecord& record, int column) const {
    const int field = fieldOf(column);
    if (field < 0) {
        return {};
    }
    const auto kind = table_->fields()[static_cast<std::size_t>(field)].kind;
    if (kind == dbf::FieldKind::Float || isInteger(kind)) {
        const auto value = record.number(field);
        if (!value) {
            return {};
        }
        if (kGridColumns[static_cast<std::size_t>(column)].format == CellFormat::OneDecimal) {
            return QString::fromStdString(text::fixedNumberText(*value, 1, decimalSeparator_));
        }
        if (isInteger(kind)) {
            return QString::number(record.asInteger(field));
        }
        return QString::fromStdString(text::generalNumberText(*value, decimalSeparator_));
    }
    return QString::fromStdString(record.text(field));
}

int MeasurementModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int MeasurementModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(kGridColumns.size());
}

QVariant MeasurementModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    const auto& column = columns_[static_cast<std::size_t>(index.column())];
    switch (role) {
        case Qt::DisplayRole:
        case Qt::EditRole: {
            const dbf::DbfRecord* record = recordOfRow(index.row());
            return record ? QVariant(cellText(*record, index.column())) : QVariant();
        }
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(column.alignment | Qt::AlignVCenter);
        case Qt::FontRole:
            return column.font;
        case Qt::BackgroundRole:
            return column.color ? QVariant(*column.color) : QVariant();
        case kSelectedRole: {
            const auto record = recordAt(index.row());
            return record && selection_.contains(*record);
        }
        default:
            return {};
    }
}

QVariant MeasurementModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 ||
        section >= static_cast<int>(kGridColumns.size())) {
        return {};
    }
    return role == Qt::DisplayRole ? QVariant(captions_[static_cast<std::size_t>(section)])
                                   : QVariant();
}

Qt::ItemFlags MeasurementModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && kGridColumns[static_cast<std::size_t>(index.column())].editable) {
        flags |= Qt::ItemIsEditable;
    }
    return flags;
}

bool MeasurementModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable)) {
        return false;
    }
    const auto record = recordAt(index.row());
    const int field = fieldOf(index.column());
    if (!record || field < 0) {
        return false;
    }
    try {
        dbf::DbfRecord row = table_->read(*record);
        if (!row.setText(field, value.toString().toStdString())) {
            emit writeFailed(
                QStringLiteral("Примечание содержит символы, которых нет в кодовой "
                               "странице таблицы."));
            return false;
        }
        table_->update(*record, row);
    } catch (const dbf::DbfError& error) {
        emit writeFailed(QString::fromStdString(error.what()));
        return false;
    }
    cachedRecord_ = 0;
    emit dataChanged(index, index);
    return true;
}

}  // namespace zond::app
