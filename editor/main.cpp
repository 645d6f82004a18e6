// Vantor, the world editor.

#include "CMainFrame.h"
#include "KEditorDoc.h"
#include "KTrace.h"
#include "Kinterface.h"

#include <allegro.h>

#include <QApplication>
#include <QDir>
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
    // Relative paths (Library/...) are found beside the program.
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
    set_color_depth(8);

    Kinterface engine(KParts{KFlavour::Editor});
    engine.SetNoticeSink(ShowNotice);
    KEditorDoc doc(engine);
    const QStringList args = QCoreApplication::arguments();
    const bool opened = args.size() > 1 && doc.Open(args[1].toStdString());
    if (!opened) doc.NewFromTemplate();

    KTRACE("Break ...\n");
    CMainFrame frame(doc);
    frame.show();
    KTRACE("Break2 ...\n");
    return QApplication::exec();
}
