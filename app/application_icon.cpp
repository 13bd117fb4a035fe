#include "app/application_icon.h"

#include <QPixmap>

namespace pelmoro {
namespace {
#include "app/icon/pelmoro.xpm"
}  // namespace

QIcon ApplicationIcon() { return QIcon(QPixmap(pelmoro_xpm)); }

}  // namespace pelmoro
