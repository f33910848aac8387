#include "aboutdlg.h"

#include "appicon.h"
#include "dialogtemplate.h"
#include "resource.h"

#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                      | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    buildDialog(this, aboutDialogTemplate);

    setWindowIcon(applicationIcon());

    auto *okButton = qobject_cast<QPushButton *>(dialogItem(this, IDOK));
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
}
