// The rows of an open table file as the report reads them: every live row in the table's
// current order, whatever is selected in the grid.
#pragma once

#include <vector>

#include "dbf/dbf_table.h"
#include "report/report_layout.h"

namespace zond::report {

class TableReportRows final : public ReportRows {
  public:
    explicit TableReportRows(const dbf::DbfTable& table) : table_(table) {}

    void bind(const QStringList& fields) override;
    std::size_t count() const override { return table_.rowCount(); }
    void read(std::size_t row, std::vector<std::optional<QString>>& values) const override;

  private:
    struct BoundField {
        int index;
        bool numeric;  // stored right-aligned: the leading spaces are not part of the value
    };

    const dbf::DbfTable& table_;
    std::vector<BoundField> fields_;
};

}  // namespace zond::report
