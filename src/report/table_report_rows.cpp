#include "report/table_report_rows.h"

namespace zond::report {

void TableReportRows::bind(const QStringList& fields) {
    fields_.clear();
    for (const QString& name : fields) {
        const int index = table_.requireField(name.toStdString());
        const dbf::FieldKind kind = table_.fields()[static_cast<std::size_t>(index)].kind;
        fields_.push_back(BoundField{index, kind != dbf::FieldKind::Text});
    }
}

void TableReportRows::read(std::size_t row, std::vector<std::optional<QString>>& values) const {
    const dbf::DbfRecord record = table_.read(table_.recordAt(row));
    values.clear();
    for (const BoundField& field : fields_) {
        if (record.isNull(field.index)) {
            values.emplace_back();
            continue;
        }
        QString text = QString::fromStdString(record.text(field.index));
        if (field.numeric) {
            text = text.trimmed();
        }
        values.emplace_back(std::move(text));
    }
}

}  // namespace zond::report
