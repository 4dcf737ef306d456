#include "app/grid/measurement_grid.h"

#include <QEvent>
#include <QLocale>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "app/grid/footer_bar.h"
#include "app/grid/grid_header.h"
#include "app/grid/grid_view.h"
#include "app/grid/measurement_model.h"
#include "dbf/dbf_table.h"
#include "link/settings_store.h"
#include "measurement/channel_statistics.h"
#include "measurement/measurement_schema.h"
#include "measurement/row_selection.h"
#include "ui/user_dialogs.h"

namespace zond::app {

namespace {

constexpr std::string_view kSortTag = "tab1";
constexpr int kMinColumnWidth = 8;
// N is a four-digit field.
constexpr std::size_t kMaxRowNumber = 9999;

char systemDecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    const char separator = point.isEmpty() ? '.' : point.front().toLatin1();
    return separator != 0 ? separator : '.';
}

std::size_t index(int column) {
    return static_cast<std::size_t>(column);
}

}  // namespace

struct MeasurementGrid::Impl : QObject {
    explicit Impl(MeasurementGrid* grid);

    bool tableOpen() const { return model.tableOpen(); }
    void reloadKeepingCursor();
    void onSelectionChanged();
    void fitColumns();
    void userResized(int column, int newSize);
    void rowClicked(int row, Qt::KeyboardModifiers modifiers);
    void titleClicked(int column, Qt::KeyboardModifiers modifiers);
    void onTitleStateChanged(int column);
    void dropSortIndex();
    void reopenTable();
    void applyLayout(const std::vector<ColumnLayout>& stored);
    std::optional<std::uint32_t> currentRecord() const;
    void showError(const QString& text);
    bool eventFilter(QObject* watched, QEvent* event) override;

    MeasurementGrid* self;
    std::array<ColumnLayout, kGridColumns.size()> columns;
    std::array<QString, kGridColumns.size()> captions;
    measurement::RowSelection selection;
    MeasurementModel model;
    GridView* view;
    GridHeader* header;
    FooterBar* footer;
    ui::UserDialogs* dialogs = nullptr;
    char decimalSeparator = systemDecimalSeparator();
    measurement::ChannelStatistics statistics;
    // The colour dialog opens on the colour chosen last.
    QColor lastColor = Qt::black;
    // Where the last plain or Ctrl click was: one end of a Shift+click range.
    std::optional<std::uint32_t> anchorRecord;
    bool fitting = false;
    // The font columns start with.
    QFont gridFont;
};

MeasurementGrid::Impl::Impl(MeasurementGrid* grid)
    : self(grid),
      model(columns, captions, selection, this),
      view(new GridView(grid)),
      header(new GridHeader(columns, view)),
      footer(nullptr),
      gridFont(grid->font()) {
    for (std::size_t i = 0; i < kGridColumns.size(); ++i) {
        const ColumnDefinition& definition = kGridColumns[i];
        ColumnLayout& column = columns[i];
        column.field = QString::fromUtf8(definition.field.data(),
                                         static_cast<qsizetype>(definition.field.size()));
        column.width = definition.width;
        column.position = static_cast<int>(i);
        column.alignment = definition.alignment;
        column.font = gridFont;
        captions[i] = QString::fromUtf8(definition.caption.data(),
                                        static_cast<qsizetype>(definition.caption.size()));
    }
    view->setHorizontalHeader(header);
    view->setModel(&model);
    footer = new FooterBar(*header, columns, grid);

    auto* layout = new QVBoxLayout(grid);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(view);
    layout->addWidget(footer);

    view->viewport()->installEventFilter(this);
    connect(header, &QHeaderView::sectionResized, this,
            [this](int column, int, int newSize) { userResized(column, newSize); });
    connect(header, &GridHeader::titleClicked, this, &Impl::titleClicked);
    connect(view, &GridView::rowClicked, this, &Impl::rowClicked);
    connect(view, &GridView::editStarted, self, &MeasurementGrid::editStarted);
    connect(&model, &MeasurementModel::writeFailed, this, &Impl::showError);
    connect(view->horizontalScrollBar(), &QScrollBar::valueChanged, footer,
            [this] { footer->update(); });
    // The footers follow every move of the current row.
    connect(view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &Impl::onSelectionChanged);
    onSelectionChanged();
}

bool MeasurementGrid::Impl::eventFilter(QObject* watched, QEvent* event) {
    if (watched == view->viewport() && event->type() == QEvent::Resize) {
        fitColumns();
    }
    return QObject::eventFilter(watched, event);
}

void MeasurementGrid::Impl::showError(const QString& text) {
    if (dialogs != nullptr) {
        dialogs->error(self, text);
    }
}

std::optional<std::uint32_t> MeasurementGrid::Impl::currentRecord() const {
    const QModelIndex current = view->currentIndex();
    return current.isValid() ? model.recordAt(current.row()) : std::nullopt;
}

void MeasurementGrid::Impl::reloadKeepingCursor() {
    const auto record = currentRecord();
    const int column = std::max(view->currentIndex().column(), 0);
    view->commitOpenEditor();
    if (tableOpen()) {
        selection.bind(*model.table());
        selection.dropRecordsAbove(model.table()->recordCount());
    } else {
        selection.clear();
        anchorRecord.reset();
    }
    model.reload();
    if (model.rowCount() > 0) {
        std::optional<std::size_t> row;
        if (record) {
            row = model.table()->rowOf(*record);
        }
        view->setCurrentIndex(model.index(static_cast<int>(row.value_or(0)), column));
    }
    onSelectionChanged();
}

// The footers, on every move of the current row and every change of the selection.
void MeasurementGrid::Impl::onSelectionChanged() {
    const measurement::ChannelStatistics shown =
        selection.size() < 2 ? statistics : selection.statistics();
    for (int channel = 0; channel < 3; ++channel) {
        footer->setText(ColQ1 + channel, QString::fromStdString(measurement::footerText(
                                             shown, channel, decimalSeparator)));
    }
}

void MeasurementGrid::Impl::fitColumns() {
    std::vector<int> visible;
    long long total = 0;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (!header->isSectionHidden(column)) {
            visible.push_back(column);
            total += columns[index(column)].width;
        }
    }
    const int available = view->viewport()->width();
    if (visible.empty() || total <= 0 || available <= 0) {
        return;
    }
    // Cumulative rounding, so the columns add up to the width exactly.
    fitting = true;
    long long running = 0;
    int edge = 0;
    for (const int column : visible) {
        running += columns[index(column)].width;
        const int nextEdge = static_cast<int>(running * available / total);
        header->resizeSection(column, std::max(nextEdge - edge, kMinColumnWidth));
        edge = nextEdge;
    }
    fitting = false;
}

void MeasurementGrid::Impl::userResized(int column, int newSize) {
    // Hiding a column first resizes it to 0 while it still counts as shown; fitting it then would
    // leave it a minimum width behind the hidden mark. A drag never goes below the minimum.
    if (fitting || newSize < header->minimumSectionSize()) {
        return;
    }
    // The dragged column keeps the size it was dragged to; the others share the rest of the width
    // in their old proportions.
    const int available = view->viewport()->width();
    long long others = 0;
    int otherCount = 0;
    for (int i = 0; i < header->count(); ++i) {
        if (i != column && !header->isSectionHidden(i)) {
            others += columns[index(i)].width;
            ++otherCount;
        }
    }
    const int room = available - otherCount * kMinColumnWidth;
    if (otherCount > 0 && others > 0 && room > kMinColumnWidth) {
        const int size = std::clamp(newSize, kMinColumnWidth, room);
        columns[index(column)].width =
            std::max(1, static_cast<int>(size * others / (available - size)));
    }
    fitColumns();
}

void MeasurementGrid::Impl::rowClicked(int row, Qt::KeyboardModifiers modifiers) {
    const auto record = model.recordAt(row);
    if (!record) {
        return;
    }
    const dbf::DbfTable& table = *model.table();
    try {
        if (modifiers & Qt::ShiftModifier) {
            std::optional<std::size_t> anchorRow;
            if (anchorRecord) {
                anchorRow = table.rowOf(*anchorRecord);
            }
            if (!(modifiers & Qt::ControlModifier)) {
                selection.clear();
            }
            selection.addDisplayRange(table, anchorRow.value_or(static_cast<std::size_t>(row)),
                                      static_cast<std::size_t>(row));
        } else if (modifiers & Qt::ControlModifier) {
            selection.toggle(table, *record);
            anchorRecord = record;
        } else {
            selection.selectOnly(table, *record);
            anchorRecord = record;
        }
    } catch (const dbf::DbfError& error) {
        showError(QString::fromStdString(error.what()));
    }
    model.repaintAll();
    onSelectionChanged();
    emit self->selectionChanged();
}

void MeasurementGrid::Impl::titleClicked(int column, Qt::KeyboardModifiers modifiers) {
    SortIndicator& sort = columns[index(column)].sort;
    if (modifiers & Qt::ControlModifier) {
        sort = SortIndicator::None;
    } else {
        sort = sort == SortIndicator::Up ? SortIndicator::Down : SortIndicator::Up;
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i != index(column)) {
            columns[i].sort = SortIndicator::None;
        }
    }
    header->viewport()->update();
    onTitleStateChanged(column);
}

// Orders the rows by the clicked column through the index tag.
void MeasurementGrid::Impl::onTitleStateChanged(int column) {
    if (!tableOpen()) {
        return;
    }
    view->commitOpenEditor();
    dropSortIndex();
    const SortIndicator sort = columns[index(column)].sort;
    if (sort == SortIndicator::None) {
        self->clearSort();
        return;
    }
    dbf::DbfTable& table = *model.table();
    try {
        // Selecting the new tag builds the order from it.
        table.addSortIndex(kSortTag, kGridColumns[index(column)].field, sort == SortIndicator::Up);
        table.selectIndex(kSortTag);
    } catch (const dbf::DbfError& error) {
        showError(QString::fromStdString(error.what()));
    }
    reloadKeepingCursor();
}

// Back to file order; the tag may not exist, which is fine. Each step that changes the order
// re-reads the rows, so nothing more is needed after them.
void MeasurementGrid::Impl::dropSortIndex() {
    dbf::DbfTable& table = *model.table();
    try {
        if (table.selectedIndex()) {
            table.selectIndex(std::nullopt);
        }
    } catch (const std::exception&) {
    }
    try {
        table.dropSortIndex(kSortTag);
    } catch (const std::exception&) {
    }
}

// Closing writes everything through; opening reads it back. A selected sort stays selected.
void MeasurementGrid::Impl::reopenTable() {
    dbf::DbfTable& table = *model.table();
    const auto sortTag = table.selectedIndex();
    const std::filesystem::path path = table.path();
    table.close();
    table.open(path);
    if (sortTag) {
        try {
            table.selectIndex(*sortTag);
        } catch (const std::exception&) {
        }
    }
    table.first();
}

void MeasurementGrid::Impl::applyLayout(const std::vector<ColumnLayout>& stored) {
    std::vector<std::pair<int, int>> positions;  // (position, column)
    for (const ColumnLayout& record : stored) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].field.compare(record.field, Qt::CaseInsensitive) == 0) {
                ColumnLayout& column = columns[i];
                column.width = record.width;
                column.position = record.position;
                column.sort = record.sort;
                column.color = record.color;
                column.alignment = record.alignment;
                column.font = record.font;
                positions.emplace_back(record.position, static_cast<int>(i));
            }
        }
    }
    std::sort(positions.begin(), positions.end());
    for (const auto& [position, column] : positions) {
        header->moveSection(header->visualIndex(column), position);
    }
    fitColumns();
    header->viewport()->update();
    model.repaintAll();
    footer->update();
}

MeasurementGrid::MeasurementGrid(QWidget* parent)
    : QWidget(parent), impl_(std::make_unique<Impl>(this)) {}

MeasurementGrid::~MeasurementGrid() {
    // The widgets read the column state and the model that the implementation holds.
    impl_->view->viewport()->removeEventFilter(impl_.get());
    impl_->view->selectionModel()->disconnect(impl_.get());
    delete impl_->footer;
    delete impl_->view;
}

void MeasurementGrid::setTable(dbf::DbfTable* table) {
    impl_->model.setTable(table);
    impl_->selection.clear();
    impl_->anchorRecord.reset();
    impl_->reloadKeepingCursor();
}

void MeasurementGrid::changeEvent(QEvent* event) {
    // Columns that still use the grid's font follow it.
    if (event->type() == QEvent::FontChange) {
        for (ColumnLayout& column : impl_->columns) {
            if (column.font == impl_->gridFont) {
                column.font = font();
            }
        }
        impl_->gridFont = font();
        impl_->model.repaintAll();
    }
    QWidget::changeEvent(event);
}

void MeasurementGrid::setDialogs(ui::UserDialogs* dialogs) {
    impl_->dialogs = dialogs;
}

void MeasurementGrid::setDecimalSeparator(QChar separator) {
    impl_->decimalSeparator = separator.toLatin1() != 0 ? separator.toLatin1() : '.';
    impl_->model.setDecimalSeparator(impl_->decimalSeparator);
    impl_->onSelectionChanged();
}

void MeasurementGrid::setColumnCaption(Column column, const QString& caption) {
    impl_->captions[index(column)] = caption;
    impl_->header->viewport()->update();
}

void MeasurementGrid::setTableStatistics(const measurement::ChannelStatistics& statistics) {
    impl_->statistics = statistics;
    impl_->onSelectionChanged();
}

void MeasurementGrid::showColumns() {
    if (!impl_->tableOpen()) {
        return;
    }
    reload();
    dbf::DbfTable& table = *impl_->model.table();
    long long channels = 0;
    if (table.first()) {
        channels = table.current().asInteger(table.requireField(measurement::field::kEnCh));
    }
    impl_->view->setColumnHidden(ColQ2, channels <= 1);
    impl_->view->setColumnHidden(ColQ3, channels <= 1);
    show();
    // Settle the width now, so that an equalizeColumns right after divides the real one.
    if (parentWidget() != nullptr && parentWidget()->layout() != nullptr) {
        parentWidget()->layout()->activate();
    }
    impl_->fitColumns();
}

void MeasurementGrid::hideColumns() {
    impl_->view->setColumnHidden(ColQ2, false);
    impl_->view->setColumnHidden(ColQ3, false);
    impl_->selection.clear();
    impl_->anchorRecord.reset();
    reload();
    hide();
}

void MeasurementGrid::clearSort() {
    for (ColumnLayout& column : impl_->columns) {
        column.sort = SortIndicator::None;
    }
    impl_->header->viewport()->update();
    if (impl_->tableOpen()) {
        impl_->dropSortIndex();
        impl_->reloadKeepingCursor();
    }
}

dbf::RemovedRecords MeasurementGrid::deleteSelectedRows() {
    if (!impl_->tableOpen()) {
        return {};
    }
    clearSort();
    // The edit goes in before its row may go, so a deleted row cannot be written back.
    commitCellEdit();
    dbf::DbfTable& table = *impl_->model.table();
    const auto& rows = impl_->selection.rows();
    // Last selected first, as the rows were chosen; the display order is compacted once.
    std::vector<std::uint32_t> records;
    records.reserve(rows.size());
    for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
        records.push_back(row->record);
    }
    impl_->selection.clear();
    impl_->anchorRecord.reset();
    dbf::RemovedRecords removed;
    changeTable([&] { removed = table.removeRecords(records); });
    emit selectionChanged();
    emit rowsChanged();
    return removed;
}

void MeasurementGrid::restoreRemovedRows(const dbf::RemovedRecords& removed) {
    if (!impl_->tableOpen()) {
        return;
    }
    commitCellEdit();
    changeTable([&] { impl_->model.table()->restoreRemoved(removed); });
    emit rowsChanged();
}

void MeasurementGrid::clearColumnColors() {
    for (ColumnLayout& column : impl_->columns) {
        column.color.reset();
    }
    impl_->model.repaintAll();
}

void MeasurementGrid::equalizeColumns() {
    const int width = this->width() / static_cast<int>(impl_->columns.size());
    for (ColumnLayout& column : impl_->columns) {
        column.width = std::max(width, 1);
    }
    impl_->fitColumns();
    impl_->view->viewport()->update();
}

void MeasurementGrid::loadLayout(const QString& valueName) {
    const auto settings = link::openProgramSettings();
    if (settings->contains(valueName)) {
        // A value that does not parse is replaced, as if there had been none.
        if (const auto stored = parseLayoutText(settings->value(valueName).toString())) {
            impl_->applyLayout(*stored);
            return;
        }
    }
    equalizeColumns();
    saveLayout(valueName);
}

void MeasurementGrid::saveLayout(const QString& valueName) {
    const auto settings = link::openProgramSettings();
    settings->setValue(valueName, layoutText(columnLayouts()));
    settings->sync();
}

void MeasurementGrid::commitCellEdit() {
    impl_->view->commitOpenEditor();
}

void MeasurementGrid::chooseCurrentColumnColor() {
    const int column = impl_->view->currentIndex().column();
    if (!impl_->tableOpen() || column < 0 || impl_->dialogs == nullptr) {
        return;
    }
    const auto chosen = impl_->dialogs->color(this, impl_->lastColor);
    if (!chosen) {
        return;
    }
    impl_->lastColor = *chosen;
    impl_->columns[index(column)].color = *chosen;
    impl_->model.repaintAll();
}

void MeasurementGrid::clearCurrentColumnColor() {
    const int column = impl_->view->currentIndex().column();
    if (!impl_->tableOpen() || column < 0) {
        return;
    }
    impl_->columns[index(column)].color.reset();
    impl_->model.repaintAll();
}

void MeasurementGrid::renumberRows() {
    if (!impl_->tableOpen()) {
        return;
    }
    dbf::DbfTable& table = *impl_->model.table();
    const std::size_t rows = table.rowCount();
    if (rows > kMaxRowNumber) {
        impl_->showError(QStringLiteral("В таблице %1 строк, а номер строки не может быть больше "
                                        "%2. Строки не перенумерованы.")
                             .arg(rows)
                             .arg(kMaxRowNumber));
        return;
    }
    commitCellEdit();
    // Numbers follow the display order as it is now, even when the sort is by N itself.
    std::vector<std::uint32_t> order(rows);
    for (std::size_t row = 0; row < rows; ++row) {
        order[row] = table.recordAt(row);
    }
    const int field = table.requireField(measurement::field::kN);
    changeTable([&] {
        for (std::size_t row = 0; row < rows; ++row) {
            dbf::DbfRecord record = table.read(order[row]);
            record.setInteger(field, static_cast<long long>(row + 1));
            table.update(order[row], record);
        }
    });
    emit rowsChanged();
}

void MeasurementGrid::changeTable(const std::function<void()>& change) {
    // The grid shows the file as it is afterwards, also when the change failed part way.
    try {
        change();
        impl_->reopenTable();
    } catch (...) {
        reload();
        throw;
    }
    reload();
}

void MeasurementGrid::reload() {
    impl_->reloadKeepingCursor();
}

void MeasurementGrid::selectAll() {
    if (!impl_->tableOpen() || impl_->model.rowCount() == 0) {
        return;
    }
    const dbf::DbfTable& table = *impl_->model.table();
    try {
        impl_->selection.clear();
        impl_->selection.addDisplayRange(table, 0, table.rowCount() - 1);
    } catch (const dbf::DbfError& error) {
        impl_->showError(QString::fromStdString(error.what()));
    }
    impl_->model.repaintAll();
    impl_->onSelectionChanged();
    emit selectionChanged();
}

void MeasurementGrid::keepViewWhile(const std::function<void()>& reopen) {
    dbf::DbfTable* table = impl_->model.table();
    measurement::RowSelection selection = impl_->selection;
    const auto anchor = impl_->anchorRecord;
    const QModelIndex current = impl_->view->currentIndex();
    const int vertical = impl_->view->verticalScrollBar()->value();
    const int horizontal = impl_->view->horizontalScrollBar()->value();
    setTable(nullptr);
    reopen();
    setTable(table);
    if (table == nullptr || !table->isOpen()) {
        return;
    }
    // The rows are the same: the snapshots still hold.
    impl_->selection = std::move(selection);
    impl_->anchorRecord = anchor;
    if (current.isValid() && current.row() < impl_->model.rowCount()) {
        impl_->view->setCurrentIndex(impl_->model.index(current.row(), current.column()));
    }
    impl_->view->verticalScrollBar()->setValue(vertical);
    impl_->view->horizontalScrollBar()->setValue(horizontal);
    impl_->model.repaintAll();
    impl_->onSelectionChanged();
}

const std::vector<measurement::RowSnapshot>& MeasurementGrid::selection() const {
    return impl_->selection.rows();
}

std::vector<std::uint32_t> MeasurementGrid::chartRecords() const {
    std::vector<std::uint32_t> records;
    const auto& rows = impl_->selection.rows();
    if (!rows.empty()) {
        records.reserve(rows.size());
        for (const auto& row : rows) {
            records.push_back(row.record);
        }
        return records;
    }
    if (!impl_->tableOpen()) {
        return records;
    }
    const dbf::DbfTable& table = *impl_->model.table();
    records.reserve(table.rowCount());
    for (std::size_t row = 0; row < table.rowCount(); ++row) {
        records.push_back(table.recordAt(row));
    }
    return records;
}

QString MeasurementGrid::footerText(Column column) const {
    return impl_->footer->text(column);
}

int MeasurementGrid::currentEnCh() const {
    const auto record = impl_->currentRecord();
    if (!record) {
        return 0;
    }
    const dbf::DbfTable& table = *impl_->model.table();
    const int field = table.fieldIndex(measurement::field::kEnCh);
    return field < 0 ? 0 : static_cast<int>(table.read(*record).asInteger(field));
}

std::vector<ColumnLayout> MeasurementGrid::columnLayouts() const {
    std::vector<ColumnLayout> layouts(impl_->columns.begin(), impl_->columns.end());
    for (std::size_t i = 0; i < layouts.size(); ++i) {
        layouts[i].position = impl_->header->visualIndex(static_cast<int>(i));
    }
    return layouts;
}

QTableView* MeasurementGrid::tableView() const {
    return impl_->view;
}

}  // namespace zond::app
