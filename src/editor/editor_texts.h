#pragma once

#include <QString>

// The editor subsystem's texts, exactly as the user sees them.
namespace kavrel::editor::texts {

// Pos_XY once an editor has closed: the two labels without numbers.
inline const QString kPosClosed = QStringLiteral("Ligne :  Colonne : ");

} // namespace kavrel::editor::texts
