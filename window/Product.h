#pragma once

#include <QString>

// How the program names itself to the desktop.
inline const QString kApplicationName = QStringLiteral("MoraImport");
inline const QString kApplicationVersion = QStringLiteral("1.00.0001");
inline const QString kProductName = QStringLiteral("Dorvik Ver1.0.0");
// The name of the desktop entry, the icon and the AppStream component.
inline const QString kDesktopId = QStringLiteral("jp.orvanta.MoraImport");
