// window_shot WORLD OUT.png — opens WORLD in the editor's real window (run
// on a private X server), takes a screenshot of the window as the display
// shows it and checks that the tree and the board were drawn into it.

#include "CMainFrame.h"
#include "KEditorDoc.h"
#include "Kinterface.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QSet>
#include <QSettings>
#include <QTest>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: window_shot WORLD OUT.png\n");
        return 2;
    }
    QApplication app(argc, argv);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QDir::tempPath() + "/quav-window-shot");
    const QString world = QFileInfo(argv[1]).absoluteFilePath();
    const QString out = QFileInfo(argv[2]).absoluteFilePath();
    if (!KStartLibraryHeadless() || !QDir::setCurrent(QUAV_OUTPUT_DIR)) return 1;
    Kinterface engine(KParts{KFlavour::Editor});
    KEditorDoc doc(engine);
    if (!doc.Open(world.toStdString())) return 1;
    CMainFrame frame(doc);
    frame.resize(900, 600);
    frame.show();
    if (!QTest::qWaitForWindowExposed(&frame)) return 1;
    QTest::qWait(300);
    const QImage shot = frame.screen()->grabWindow(frame.winId()).toImage();
    if (!shot.save(out)) return 1;
    // The tree's rows and the board's walls bring colours of their own.
    QSet<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 2) {
        for (int x = 0; x < shot.width(); x += 2) colours.insert(shot.pixel(x, y));
    }
    std::printf("%dx%d, %lld colours\n", shot.width(), shot.height(), static_cast<long long>(colours.size()));
    return shot.width() >= 900 && colours.size() >= 4 ? 0 : 1;
}
