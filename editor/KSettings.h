#pragma once
// The editor's settings, kept per user under "Morvane" / "Morvane's QUAV!".

#include <QSettings>
#include <QStringList>

inline constexpr int kRecentFiles = 6;

QSettings KEditorSettings();
// "Notify"/"param": whether Run shows the save notification (default 1).
int KNotify();
void KSetNotify(int value);
QStringList KRecentFileList();
// "Font"/"Face": the script editor's font family (empty: the system's fixed font).
QString KScriptFontFace();
void KSetScriptFontFace(const QString& face);
// Puts path first in the recent list, keeping six entries.
void KAddRecentFile(const QString& path);
void KRemoveRecentFile(const QString& path);
