#include "app/grid/grid_view.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

#include "app/grid/measurement_model.h"
#include "text/codepage.h"

namespace zond::app {

CodePageValidator::CodePageValidator(const text::CodePage& codePage, int width, QObject* parent)
    : QValidator(parent), codePage_(codePage), width_(width) {}

QValidator::State CodePageValidator::validate(QString& input, int&) const {
    const auto characters = input.toUcs4();
    if (characters.size() > width_) {
        return Invalid;
    }
    for (const char32_t ch : characters) {
        if (!codePage_.canEncode(ch)) {
            return Invalid;
        }
    }
    return Acceptable;
}

QWidget* GridDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                    const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    const auto* model = qobject_cast<const MeasurementModel*>(index.model());
    if (auto* line = qobject_cast<QLineEdit*>(editor); line && model && model->tableOpen()) {
        const int width = model->commentWidth();
        line->setMaxLength(width);
        line->setValidator(new CodePageValidator(model->table()->codePage(), width, line));
    }
    editor_ = editor;
    return editor;
}

void GridDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.data(MeasurementModel::kSelectedRole).toBool()) {
        option->state |= QStyle::State_Selected;
    }
}

GridView::GridView(QWidget* parent) : QTableView(parent), delegate_(new GridDelegate(this)) {
    setItemDelegate(delegate_);
    // The grid keeps its own selection of records; Qt's would follow display positions.
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setStyleSheet(QStringLiteral("QTableView { gridline-color: silver; }"));
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
}

bool GridView::editorOpen() const {
    // An editor being closed lives on until deleted later; the state tells.
    return state() == EditingState && delegate_->openEditor() != nullptr;
}

void GridView::commitOpenEditor() {
    if (editorOpen()) {
        QWidget* editor = delegate_->openEditor();
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void GridView::mousePressEvent(QMouseEvent* event) {
    const QModelIndex index = indexAt(event->position().toPoint());
    const bool onCurrentCell = index.isValid() && index == currentIndex() && !editorOpen();
    QTableView::mousePressEvent(event);
    if (!index.isValid() || event->button() != Qt::LeftButton) {
        return;
    }
    emit rowClicked(index.row(), event->modifiers());
    if (onCurrentCell && !(event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier))) {
        edit(index, EditKeyPressed, nullptr);
    }
}

void GridView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Control:
            moveToNextCell();
            event->accept();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (currentIndex().isValid() && !editorOpen()) {
                edit(currentIndex(), EditKeyPressed, nullptr);
                event->accept();
                return;
            }
            break;
        default:
            break;
    }
    QTableView::keyPressEvent(event);
}

bool GridView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    const bool wasOpen = editorOpen();
    const bool result = QTableView::edit(index, trigger, event);
    if (result && !wasOpen && editorOpen()) {
        emit editStarted();
    }
    return result;
}

void GridView::moveToNextCell() {
    const QModelIndex next = moveCursor(MoveNext, Qt::NoModifier);
    if (next.isValid()) {
        setCurrentIndex(next);
    }
}

}  // namespace zond::app
