#include "pomvaneapp.h"

#include "pomvanedlg.h"
#include "singleinstance.h"
#include "windowplacement.h"

void CPomvaneApp::InitInstance(const std::vector<std::string> &files, bool walkFolders, SingleInstance *instance)
{
    CPomvaneDlg dlg;
    dlg.addFiles(files, walkFolders);
    if (instance) {
        QObject::connect(instance, &SingleInstance::filesReceived, &dlg,
                         [&dlg](const std::vector<std::string> &paths, bool walkFolders) {
                             if (paths.empty()) {
                                 if (dlg.isMinimized())
                                     dlg.showNormal();
                                 dlg.raise();
                                 dlg.activateWindow();
                             }
                             dlg.addFiles(paths, walkFolders);
                         });
    }
    restoreWindowPlacement(&dlg);
    dlg.exec();
    saveWindowPlacement(&dlg);
}
