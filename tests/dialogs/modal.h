// Driving modal dialogs from a test: actions run inside the dialog's own event loop.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

namespace picbatch {

// Shows dialog modally and runs actions inside its event loop. When actions leave the
// dialog open (a failed check returns early), it is rejected so the test cannot hang.
inline int ExecWith(QDialog& dialog, const std::function<void()>& actions)
{
    QTimer::singleShot(0, &dialog, [&dialog, actions] {
        // Lists lay their items out once the window is on screen.
        if (QTest::qWaitForWindowExposed(&dialog))
            actions();
        if (dialog.isVisible())
            dialog.reject();
    });
    return dialog.exec();
}

// What the message box that appeared looked like.
struct SeenMessageBox {
    bool shown = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
};

// Arranges for the next modal message box to be read and closed with its first button.
inline void AnswerNextMessageBox(SeenMessageBox& seen)
{
    QTimer::singleShot(0, [&seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen.shown = true;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        seen.buttons = static_cast<int>(box->buttons().size());
        box->buttons().front()->click();
    });
}

// The three ways to leave a dialog without OK, as rows of a data-driven test.
enum class CloseWithoutOk { CancelButton, EscKey, CloseBox };

inline void AddCloseWithoutOkRows()
{
    QTest::addColumn<CloseWithoutOk>("how");
    QTest::newRow("Cancel") << CloseWithoutOk::CancelButton;
    QTest::newRow("Esc") << CloseWithoutOk::EscKey;
    QTest::newRow("close box") << CloseWithoutOk::CloseBox;
}

// Leaves dialog the way how says: a click on cancel, Esc in focused, or the close box.
inline void Leave(QDialog& dialog, CloseWithoutOk how, QPushButton* cancel, QWidget* focused)
{
    switch (how) {
    case CloseWithoutOk::CancelButton:
        QTest::mouseClick(cancel, Qt::LeftButton);
        break;
    case CloseWithoutOk::EscKey:
        QTest::keyClick(focused, Qt::Key_Escape);
        break;
    case CloseWithoutOk::CloseBox:
        dialog.close();
        break;
    }
}

}  // namespace picbatch
