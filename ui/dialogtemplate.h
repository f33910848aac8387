#pragma once

#include <QHash>
#include <QRect>
#include <QSize>

#include <span>

class QDialog;
class QFontMetrics;
class QWidget;

// One control of a dialog template; its rectangle is in dialog units. Its text is the English
// original, marked for translation in its template's context.
struct DialogItem
{
    enum Kind { Label, Field, ProgressBar, Button, Icon };

    Kind kind;
    int id;
    const char *text;
    QRect rect;
};

// A dialog laid out in dialog units, so that it grows with its font: a horizontal unit is a
// quarter of the font's average character width, a vertical unit an eighth of its height.
struct DialogTemplate
{
    // The translation context of the texts: the class of the dialog that shows them.
    const char *context;
    const char *title;
    QSize size;
    std::span<const DialogItem> items;
};

extern const DialogTemplate mainDialogTemplate;
extern const DialogTemplate aboutDialogTemplate;

// Average character width and character height of the font, in pixels.
QSize dialogBaseUnits(const QFontMetrics &metrics);
QRect mapDialogRect(const QRect &units, const QSize &baseUnits);
QSize mapDialogSize(const QSize &units, const QSize &baseUnits);

// Creates the template's items as children of dialog, in item order, which is also their tab
// order, places them and fixes the dialog's size. A label followed by a field becomes that
// field's buddy, so that the field carries the label's name. Returns the items that have an
// id, by id, for the dialog to keep.
QHash<int, QWidget *> buildDialog(QDialog *dialog, const DialogTemplate &dialogTemplate);

// The item of dialog with the given id, or null, for code that did not build the dialog;
// items with IDC_STATIC are not found.
QWidget *dialogItem(const QWidget *dialog, int id);
