#include "link/settings_store.h"

namespace zond::link {

std::unique_ptr<QSettings> openProgramSettings() {
    auto settings =
        std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                    QStringLiteral("Orbelin"), QStringLiteral("ZOND05"));
    settings->beginGroup(QStringLiteral("1.0"));
    return settings;
}

}  // namespace zond::link
