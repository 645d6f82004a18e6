#include "KSettings.h"

QSettings KEditorSettings() { return QSettings("Morvane", "Morvane's QUAV!"); }

int KNotify() { return KEditorSettings().value("Notify/param", 1).toInt(); }

void KSetNotify(int value) { KEditorSettings().setValue("Notify/param", value); }

QStringList KRecentFileList() { return KEditorSettings().value("Recent File List").toStringList(); }

void KAddRecentFile(const QString& path)
{
    QStringList files = KRecentFileList();
    files.removeAll(path);
    files.prepend(path);
    while (files.size() > kRecentFiles) files.removeLast();
    KEditorSettings().setValue("Recent File List", files);
}

void KRemoveRecentFile(const QString& path)
{
    QStringList files = KRecentFileList();
    files.removeAll(path);
    KEditorSettings().setValue("Recent File List", files);
}

QString KScriptFontFace() { return KEditorSettings().value("Font/Face").toString(); }

void KSetScriptFontFace(const QString& face) { KEditorSettings().setValue("Font/Face", face); }
