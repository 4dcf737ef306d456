// The table part of the grid: cells, the cell cursor, row clicks for the selection, and the
// in-place editor of the comment.
#pragma once

#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QValidator>

namespace zond::text {
class CodePage;
}

namespace zond::app {

// Accepts only text the table's code page can hold, so what the user sees is what is stored.
class CodePageValidator : public QValidator {
    Q_OBJECT

  public:
    CodePageValidator(const text::CodePage& codePage, int width, QObject* parent);
    State validate(QString& input, int& position) const override;

  private:
    const text::CodePage& codePage_;
    int width_;
};

class GridDelegate : public QStyledItemDelegate {
    Q_OBJECT

  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    // The editor open now, if any.
    QWidget* openEditor() const { return editor_; }

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

  private:
    mutable QPointer<QWidget> editor_;
};

class GridView : public QTableView {
    Q_OBJECT

  public:
    explicit GridView(QWidget* parent);

    // Writes an edit in progress into its row and closes the editor.
    void commitOpenEditor();
    bool editorOpen() const;
    // Typing outside the comment would search every row's text; on a large table that reads the
    // whole file, so typing there does nothing.
    void keyboardSearch(const QString&) override {}

  signals:
    void rowClicked(int row, Qt::KeyboardModifiers modifiers);
    // The in-place editor has just opened.
    void editStarted();

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

  private:
    // The Ctrl key moves the cell cursor as Tab does.
    void moveToNextCell();

    GridDelegate* delegate_;
};

}  // namespace zond::app
