#pragma once

#include <QString>
#include <string>

#include "support/tr.h"

namespace vigilo {

// The project's texts in Qt's widgets: UTF-8 throughout.
inline QString qtext(const std::string& text) { return QString::fromStdString(text); }
// An English text through the project's catalogue, written out at the call
// so the extraction finds it (inside a QObject's members a bare tr() is
// QObject::tr, which knows none of the project's texts).
inline QString translated(const char* english) { return QString::fromStdString(tr(english)); }

}  // namespace vigilo
