#pragma once

#include <QString>

// The program's names on the session bus: one owner per session, reached as desktops reach a program
// through org.freedesktop.Application.
namespace ApplicationBus {
inline const QString kService = QStringLiteral("io.github.kestrelle.Kestrelle");
inline const QString kPath = QStringLiteral("/io/github/kestrelle/Kestrelle");
inline const QString kInterface = QStringLiteral("org.freedesktop.Application");
} // namespace ApplicationBus
