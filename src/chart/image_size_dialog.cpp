#include "chart/image_size_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace zond::chart {

namespace {

QSpinBox* sideBox(QWidget* parent, int value) {
    auto* box = new QSpinBox(parent);
    box->setRange(ImageSizeDialog::kSmallestSide, ImageSizeDialog::kLargestSide);
    box->setSingleStep(100);
    box->setValue(value);
    return box;
}

}  // namespace

ImageSizeDialog::ImageSizeDialog(QSize initial, QWidget* parent)
    : QDialog(parent),
      width_(sideBox(this, initial.width())),
      height_(sideBox(this, initial.height())) {
    setWindowTitle(QStringLiteral("Размер изображения"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Ширина, точек:"), width_);
    form->addRow(QStringLiteral("Высота, точек:"), height_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("ОК"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

QSize ImageSizeDialog::imageSize() const {
    return {width_->value(), height_->value()};
}

std::optional<QSize> ImageSizeDialog::ask(QWidget* parent, QSize initial) {
    ImageSizeDialog dialog(initial, parent);
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return dialog.imageSize();
}

}  // namespace zond::chart
