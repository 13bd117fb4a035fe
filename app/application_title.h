// The application title: the caption of every message box and error box.
#pragma once

#include <QString>

namespace pelmoro {

// The executable's file name without its folder, cut before its first ".",
// with every character after the first in lower case and the first as it
// is: "/opt/bin/CONVERT.EXE" gives "Convert", "pelmoro" stays "pelmoro".
QString TitleFromExecutable(const QString& executable_path);

// The title of the running program, from the executable file that runs.
// Needs a QCoreApplication.
QString ApplicationTitle();

}  // namespace pelmoro
