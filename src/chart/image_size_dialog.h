// The small dialog that asks how large a saved chart picture is, in pixels.
#pragma once

#include <QDialog>
#include <QSize>
#include <optional>

class QSpinBox;

namespace zond::chart {

class ImageSizeDialog : public QDialog {
    Q_OBJECT

  public:
    // Sides a printer or a report can use without the picture taking hundreds of megabytes.
    static constexpr int kSmallestSide = 100;
    static constexpr int kLargestSide = 6000;

    explicit ImageSizeDialog(QSize initial, QWidget* parent = nullptr);

    QSize imageSize() const;
    QSpinBox* widthBox() const { return width_; }
    QSpinBox* heightBox() const { return height_; }

    // Shows the dialog; nothing when the user cancels.
    static std::optional<QSize> ask(QWidget* parent, QSize initial);

  private:
    QSpinBox* width_;
    QSpinBox* height_;
};

}  // namespace zond::chart
