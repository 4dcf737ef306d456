// Rows held in memory, for laying reports out without a table file.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>
#include <stdexcept>
#include <vector>

#include "report/report_layout.h"

namespace zond::report::testing {

using Row = QMap<QString, std::optional<QString>>;

class FakeRows final : public ReportRows {
  public:
    explicit FakeRows(std::vector<Row> rows) : rows_(std::move(rows)) {}

    void bind(const QStringList& fields) override { fields_ = fields; }
    std::size_t count() const override { return rows_.size(); }
    void read(std::size_t row, std::vector<std::optional<QString>>& values) const override {
        if (failAt_ && row == *failAt_) {
            throw std::runtime_error("read failed");
        }
        values.clear();
        for (const QString& field : fields_) {
            values.push_back(rows_.at(row).value(field));
        }
    }
    void failAt(std::size_t row) { failAt_ = row; }

  private:
    std::vector<Row> rows_;
    QStringList fields_;
    std::optional<std::size_t> failAt_;
};

// Rows numbered 1..count in N, with a few fields filled.
inline std::vector<Row> numberedRows(int count) {
    std::vector<Row> rows;
    for (int n = 1; n <= count; ++n) {
        rows.push_back(Row{{"N", QString::number(n)},
                           {"DATE", QStringLiteral("01.02.2024")},
                           {"TIME", QStringLiteral("12:00:00")},
                           {"MODE", QStringLiteral("Режим 1")},
                           {"TYPE", QStringLiteral("ПТП")},
                           {"TAVIS_1", QStringLiteral("12.46")},
                           {"T_IN", QStringLiteral("20.5")},
                           {"T_EXT", QStringLiteral("-5.0")}});
    }
    return rows;
}

}  // namespace zond::report::testing
