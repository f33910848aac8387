#pragma once

#include <QDialog>

// The About box: version, notice and icon.
class CAboutDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget *parent = nullptr);
};
