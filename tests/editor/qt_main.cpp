// The editor's Qt tests: Qt's offscreen platform unless a display is asked
// for, settings kept in a scratch folder, and the output folder as current
// directory so the engine finds Library/.

#include "Kinterface.h"

#include <QApplication>
#include <QSettings>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    char settings[] = "/tmp/quav-test-settings-XXXXXX";
    if (mkdtemp(settings) == nullptr || !KStartLibraryHeadless() || chdir(QUAV_OUTPUT_DIR) != 0) {
        std::perror("editor tests");
        return 1;
    }
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings);
    QApplication app(argc, argv);
    const int status = RUN_ALL_TESTS();
    const std::string remove = std::string("rm -rf '") + settings + "'";
    if (std::system(remove.c_str()) != 0) std::fprintf(stderr, "could not remove %s\n", settings);
    return status;
}
