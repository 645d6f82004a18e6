// Vantor, the world editor.

#include "CMainFrame.h"
#include "KEditorData.h"
#include "KEditorDoc.h"
#include "KSettings.h"
#include "KTrace.h"
#include "Kinterface.h"

#include <allegro.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

namespace {

// Reports and message boxes of the engine, shown as boxes of the window.
void ShowNotice(KNoticeKind, const std::string& caption, const std::string& body)
{
    QMessageBox::warning(QApplication::activeWindow(), QString::fromStdString(caption), QString::fromStdString(body));
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Morvane");
    QApplication::setApplicationName("Morvane's QUAV!");
    KTraceEnableFromEnvironment();
    // A world named on the command line is found from where the editor was
    // started, and the file dialogs start there too.
    const QString startFolder = QDir::currentPath();
    const QStringList args = QCoreApplication::arguments();
    const QString world = args.size() > 1 ? QFileInfo(args[1]).absoluteFilePath() : QString();
    // Relative paths (Library/...) are found beside the program.
    QDir::setCurrent(QCoreApplication::applicationDirPath());
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
    KFrameHooks hooks;
    hooks.documentsFolder = startFolder;
    CMainFrame frame(doc, std::move(hooks));
    frame.show();
    KTRACE("Break2 ...\n");
    return QApplication::exec();
}
