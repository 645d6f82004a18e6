// Vantor, the world editor.

#include "CMainFrame.h"
#include "KEditorData.h"
#include "KEditorDoc.h"
#include "KPaths.h"
#include "KSettings.h"
#include "KTrace.h"
#include "KVersion.h"
#include "Kinterface.h"

#include <allegro.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

#include <cstdio>
#include <cstring>

namespace {

// Reports and message boxes of the engine, shown as boxes of the window.
void ShowNotice(KNoticeKind, const std::string& caption, const std::string& body)
{
    QMessageBox::warning(QApplication::activeWindow(), QString::fromStdString(caption), QString::fromStdString(body));
}

constexpr const char* kHelp =
    "Usage: vantor [WORLD]\n"
    "\n"
    "Vantor edits QUAV! worlds: opens the world file WORLD (.zqav), or a new\n"
    "world made from the template Library/default.zqav, in a window (Qt; the\n"
    "standard Qt options such as -platform are taken too).\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help and exit\n"
    "  --version      show the program's name and version and exit\n"
    "\n"
    "Files: Library/ is found beside the program (a build) or in ../share/quav\n"
    "from it (an installed tree). Save on a world whose folder cannot be written\n"
    "asks for another place, starting in $XDG_DATA_HOME/quav/Worlds\n"
    "(~/.local/share/quav/Worlds). Run plays the saved world in quav-runner from\n"
    "the editor's folder. Settings are kept per user under \"Morvane\".\n";

// --help and --version answer before Qt starts, so that they work without a
// display.
bool AnsweredAlone(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("vantor (QUAV!) " QUAV_VERSION "\n", stdout);
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    if (AnsweredAlone(argc, argv)) return 0;
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Morvane");
    QApplication::setApplicationName("Morvane's QUAV!");
    // A world named on the command line is found from where the editor was
    // started.
    const QStringList args = QCoreApplication::arguments();
    const QString world = args.size() > 1 ? QFileInfo(args[1]).absoluteFilePath() : QString();
    // Relative paths (Library/...) are found in the data folder.
    QDir::setCurrent(QString::fromStdString(KDataDir()));
    KTraceEnableFromEnvironment();
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
    set_color_depth(8);

    Kinterface engine(KParts{KFlavour::Editor});
    engine.SetNoticeSink(ShowNotice);
    // Held until exit, as the editor always has; the engine reads its own copy.
    const KDatafilePtr data = KLoadEditorDatafile(engine);
    KEditorDoc doc(engine);
    const bool opened = !world.isEmpty() && doc.Open(world.toStdString());
    // Opened from the command line, it is a recent file like any other.
    if (opened) KAddRecentFile(world);
    if (!opened) doc.NewFromTemplate();

    KTRACE("Break ...\n");
    CMainFrame frame(doc);
    frame.show();
    KTRACE("Break2 ...\n");
    return QApplication::exec();
}
