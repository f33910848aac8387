#include "pomvaneapp.h"

#include "pomvanedlg.h"

bool CPomvaneApp::InitInstance()
{
    CPomvaneDlg dlg;
    dlg.exec();
    return false;
}
