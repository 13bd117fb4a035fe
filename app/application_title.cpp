#include "app/application_title.h"

#include <QCoreApplication>

namespace pelmoro {

QString TitleFromExecutable(const QString& executable_path) {
  QString name = executable_path.mid(executable_path.lastIndexOf(QLatin1Char('/')) + 1);
  const qsizetype dot = name.indexOf(QLatin1Char('.'));
  if (dot >= 0) name.truncate(dot);
  if (name.isEmpty()) return name;
  // A first character outside the basic plane spans two UTF-16 units.
  const qsizetype first = name.at(0).isHighSurrogate() && name.size() > 1 ? 2 : 1;
  return name.left(first) + name.mid(first).toLower();
}

QString ApplicationTitle() { return TitleFromExecutable(QCoreApplication::applicationFilePath()); }

}  // namespace pelmoro
