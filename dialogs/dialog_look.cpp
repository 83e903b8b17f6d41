// The window settings both dialogs share.
#include "dialogs/dialog_look.h"

#include "dialogs/resource_picture.h"

#include <QDialog>
#include <QPalette>
#include <QPushButton>
#include <QScreen>

// Outside any namespace: Q_INIT_RESOURCE declares the resource's registration function.
static void RegisterDialogResources()
{
    Q_INIT_RESOURCE(dialogs);
}

namespace picbatch {

void InitDialogResources()
{
    RegisterDialogResources();
}

QFont DialogFont(int pointSize)
{
    QFont font(QString::fromLatin1(kUiFontFamily), pointSize);
    font.setStyleHint(QFont::SansSerif);  // any sans-serif when that font is missing
    return font;
}

void SetUpDialogWindow(QDialog& dialog, const QString& caption, int width, int height, int pointSize)
{
    dialog.setWindowTitle(caption);
    dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    dialog.setFixedSize(width, height);
    dialog.setFont(DialogFont(pointSize));
    QPalette palette = dialog.palette();
    palette.setColor(QPalette::Window, QColor(233, 240, 248));
    dialog.setPalette(palette);
    dialog.setAutoFillBackground(true);
    dialog.setModal(true);
}

void CentreOnScreen(QDialog& dialog)
{
    if (const QScreen* screen = dialog.screen()) {
        QRect frame = dialog.frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        dialog.move(frame.topLeft());
    }
}

QPushButton* MakeGlyphButton(QWidget* parent, const char* name, const QString& glyph,
                             const QString& caption, const QRect& geometry)
{
    auto* button = new QPushButton(ButtonGlyph(glyph), caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(geometry);
    button->setIconSize(QSize(18, 18));  // one of the glyph's two square pictures
    return button;
}

}  // namespace picbatch
