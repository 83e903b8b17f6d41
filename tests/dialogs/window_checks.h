// Checks of a window's controls against its layout table: names, parents, positions, sizes,
// texts and tooltips, the order in which Tab visits them, and the object names. Shared by the
// dialogs' and the main window's tests.
#pragma once

#include <QColor>
#include <QImage>
#include <QPalette>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QVariant>
#include <QWidget>

#include <initializer_list>

namespace picbatch {

struct ControlRow {
    const char* name;
    QRect geometry;                  // relative to the control's parent
    const char* text = nullptr;      // caption, title or field text; nullptr: not checked
    const char* tooltip = nullptr;   // nullptr: not checked
    const char* parent = nullptr;    // the parent's name; nullptr: the window itself
};

// Every row's control exists under window with that parent, geometry, text and tooltip.
inline void CheckControls(QWidget& window, std::initializer_list<ControlRow> rows)
{
    for (const ControlRow& row : rows) {
        const QString name = QString::fromLatin1(row.name);
        auto* control = window.findChild<QWidget*>(name);
        QVERIFY2(control, qPrintable("no control " + name));
        QWidget* expectedParent = row.parent ? window.findChild<QWidget*>(QString::fromLatin1(row.parent))
                                             : &window;
        QVERIFY2(control->parentWidget() == expectedParent, qPrintable(name + ": wrong parent"));
        QVERIFY2(control->geometry() == row.geometry,
                 qPrintable(QString("%1: at %2,%3 %4x%5")
                                .arg(name)
                                .arg(control->x())
                                .arg(control->y())
                                .arg(control->width())
                                .arg(control->height())));
        if (row.text) {
            const char* property = control->inherits("QGroupBox") ? "title" : "text";
            QCOMPARE(control->property(property).toString(), QString::fromUtf8(row.text));
        }
        if (row.tooltip)
            QCOMPARE(control->toolTip(), QString::fromUtf8(row.tooltip));
    }
}

// A dialog's caption, fixed client size, title bar without minimise and maximise boxes,
// light blue background and font size.
inline void CheckDialogWindow(QWidget& dialog, const char* caption, QSize size, int pointSize)
{
    QCOMPARE(dialog.windowTitle(), QString::fromUtf8(caption));
    QCOMPARE(dialog.size(), size);
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QVERIFY(!(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    QCOMPARE(dialog.palette().color(QPalette::Window), QColor(233, 240, 248));
    QCOMPARE(dialog.font().pointSize(), pointSize);
}

// The names of the controls that Tab visits, starting at first and going round once.
inline QStringList TabOrder(QWidget& window, QWidget* first)
{
    QStringList names;
    QWidget* widget = first;
    do {
        if ((widget->focusPolicy() & Qt::TabFocus) && widget->isVisibleTo(&window) && widget->isEnabled()
            && widget->window() == &window)
            names << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget && widget != first && names.size() < 100);
    return names;
}

// Checks that control, which has the focus, looks different with it than once the Tab key
// has moved the focus on.
inline void CheckFocusShows(QWidget& control)
{
    QVERIFY2(control.hasFocus(), qPrintable(control.objectName() + " has no focus"));
    const QImage withFocus = control.grab().toImage();
    QTest::keyClick(&control, Qt::Key_Tab);
    QVERIFY2(!control.hasFocus(), qPrintable(control.objectName() + " kept the focus"));
    QVERIFY2(control.grab().toImage() != withFocus, qPrintable(control.objectName() + " shows no focus"));
}

// Goes once round the window's focus chain with the Tab key, from the control that has the
// focus, checking each control it reaches with CheckFocusShows. Gives their names in the
// order reached. The window must be shown and active.
inline QStringList CheckFocusShowsAllRound(QWidget& window)
{
    QStringList reached;
    QWidget* first = window.focusWidget();
    if (!first)
        return reached;
    do {
        QWidget* focused = window.focusWidget();
        reached << focused->objectName();
        CheckFocusShows(*focused);
    } while (window.focusWidget() != first && reached.size() < 100);
    return reached;
}

// The object names under window, sorted, without Qt's own ("qt_..."): what scripts and
// accessibility tools find the controls by. The code names controls by their role and takes
// these from a table; comparing with the names as published keeps that table honest.
inline QStringList ObjectNames(const QObject& window)
{
    QStringList names;
    for (const QObject* child : window.findChildren<QObject*>()) {
        const QString name = child->objectName();
        if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_")))
            names << name;
    }
    names.sort();
    return names;
}

}  // namespace picbatch
