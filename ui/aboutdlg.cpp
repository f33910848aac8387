#include "aboutdlg.h"

#include "appicon.h"
#include "dialogtemplate.h"
#include "resource.h"

#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                      | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    const QHash<int, QWidget *> items = buildDialog(this, aboutDialogTemplate);

    setWindowIcon(applicationIcon());

    auto *okButton = qobject_cast<QPushButton *>(items.value(IDOK));
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
}
