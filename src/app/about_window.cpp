#include "app/about_window.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#ifdef _WIN32
#include <windows.h>

#include <vector>
#endif

namespace {

QLabel* addText(QWidget* parent, const char* name, int x, int y, int pixelSize, bool bold,
                const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    label->move(x, y);
    label->adjustSize();
    return label;
}

}  // namespace

#ifdef _WIN32
QString programFileVersion() {
    const QString exe = QCoreApplication::applicationFilePath();
    const auto path = reinterpret_cast<const wchar_t*>(exe.utf16());
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &handle);
    if (size == 0) {
        return {};
    }
    std::vector<char> block(size);
    if (!GetFileVersionInfoW(path, 0, size, block.data())) {
        return {};
    }
    void* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", &translation, &length) ||
        length < 4) {
        return {};
    }
    const auto* ids = static_cast<const WORD*>(translation);
    // Language, then code page, four upper-case hex digits each ("041904E3").
    const QString translationKey = QStringLiteral("%1%2")
                                       .arg(ids[0], 4, 16, QLatin1Char('0'))
                                       .arg(ids[1], 4, 16, QLatin1Char('0'))
                                       .toUpper();
    const QString key =
        QStringLiteral("\\StringFileInfo\\") + translationKey + QStringLiteral("\\FileVersion");
    void* value = nullptr;
    if (!VerQueryValueW(block.data(), reinterpret_cast<const wchar_t*>(key.utf16()), &value,
                        &length) ||
        length == 0) {
        return {};
    }
    return QString::fromWCharArray(static_cast<const wchar_t*>(value));
}
#else
QString programFileVersion() {
    return QStringLiteral(ZOND_FILE_VERSION);
}
#endif

QString versionLine(const QString& fileVersion) {
    return QStringLiteral("Версия ") +
           (fileVersion.size() < 2 ? QStringLiteral("0.0.0.0") : fileVersion);
}

AboutWindow::AboutWindow(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint),
      titleLabel_(
          addText(this, "StaticText1", 12, 12, 16, true, QStringLiteral("ЗОНД-8Т.05 \"Тавис\""))),
      purposeLabel_(addText(this, "StaticText2", 12, 72, 13, false,
                            QStringLiteral("Программа для передачи данных с прибора ЗОНД-8Т.05 "
                                           "\"Тавис\""))),
      versionLabel_(addText(this, "StaticText3", 12, 44, 13, false, QStringLiteral("Версия 1.0"))) {
    setObjectName(QStringLiteral("form6"));
    setWindowTitle(QStringLiteral("О программе"));
    setFixedSize(515, 151);
    auto* button = new QPushButton(QStringLiteral("Ок"), this);
    button->setObjectName(QStringLiteral("Button1"));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    button->setFont(font);
    button->setGeometry(434, 116, 75, 25);
    button->setDefault(true);
    connect(button, &QPushButton::clicked, this, &QDialog::accept);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->geometry().center() - rect().center());
    }
}

void AboutWindow::showEvent(QShowEvent* event) {
    versionLabel_->setText(versionLine(programFileVersion()));
    versionLabel_->adjustSize();
    QDialog::showEvent(event);
}
