// The program's icon: 32 x 32 px, 16 colours, a height map seen from above.
#pragma once

#include <QIcon>

namespace pelmoro {

// The icon of the window and of the installed program. Needs a
// QGuiApplication.
QIcon ApplicationIcon();

}  // namespace pelmoro
