// ImageList1: the seven 16 x 16 command images of the menus and the tool bar.
#pragma once

#include <QIcon>

namespace zond::app {

enum class CommandImage { Create, Open, Save, Preview, Print, Help, DeleteRows };

// The desktop theme's picture where the theme has one, otherwise our own drawing.
QIcon commandImage(CommandImage image);

}  // namespace zond::app
