// The options dialog driven through its controls: every choice shown as given and returned
// after OK, the background colour from the colour dialog, unusable name templates refused.
#include "dialogs/control_names.h"
#include "dialogs/options_dialog.h"

#include "modal.h"
#include "window_checks.h"

#include <QAction>
#include <QCheckBox>
#include <QColorDialog>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

#include <memory>

namespace picbatch {

namespace {

// Every choice away from its default.
ConversionOptions EveryChoiceChanged()
{
    ConversionOptions options;
    options.orientation = OrientationChoice::Keep;
    options.metadata = MetadataChoice::KeepWithoutGps;
    options.fit = FitMode::Pad;
    options.background = {Background::Kind::Colour, 0x12, 0x34, 0x56};
    options.shrinkOnly = true;
    options.boxFollowsOrientation = true;
    options.quality = 42;
    options.progressive = true;
    options.recursive = true;
    options.nameTemplate = "{name}_{w}x{h}";
    options.skipUpToDate = true;
    return options;
}

// Runs actions inside the dialog's event loop once a modal window other than it is up.
void WhenOtherModal(QWidget* than, std::function<void(QWidget*)> act)
{
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, than, act = std::move(act)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != than) {
            poll->stop();
            poll->deleteLater();
            act(modal);
        }
    });
    poll->start(5);
}

}  // namespace

class OptionsDialogTest : public QObject {
    Q_OBJECT
private slots:
    void controlsAndTabOrder()
    {
        OptionsDialog box({});
        CheckDialogWindow(box, "选项", {610, 338}, 8);
        QCOMPARE(ObjectNames(box),
                 (QStringList{"BitBtn1", "BitBtn2", "GroupBox1", "GroupBox2", "GroupBox3", "GroupBox4", "GroupBox5",
                              "Label1", "Label2", "actBackgroundColour", "actBackgroundDefault",
                              "actBackgroundTransparent", "btnBackground", "chkBoxFollowsOrientation",
                              "chkProgressive", "chkRecursive", "chkShrinkOnly", "chkSkipUpToDate", "chkUpright",
                              "edtNameTemplate", "rbExifDrop", "rbExifKeep", "rbExifKeepNoGps", "rbFitContain",
                              "rbFitCover", "rbFitPad", "rbFitStretch", "spnQuality"}));
        // Groups side by side never overlap, nor do the controls inside a group.
        const QList<QWidget*> widgets = box.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (QWidget* a : widgets)
            for (QWidget* b : widgets)
                QVERIFY2(a == b || !a->geometry().intersects(b->geometry()),
                         qPrintable(a->objectName() + " overlaps " + b->objectName()));

        box.show();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        // The background button counts only with the padding way, so Tab passes it by.
        QCOMPARE(CheckFocusShowsAllRound(box),
                 (QStringList{"chkUpright", "rbExifDrop", "chkRecursive", "edtNameTemplate", "chkSkipUpToDate",
                              "rbFitStretch", "chkShrinkOnly", "chkBoxFollowsOrientation", "spnQuality",
                              "chkProgressive", "BitBtn1", "BitBtn2"}));
    }

    // Every choice as the options give it, and back unchanged from Result() after OK; the
    // defaults as the dialog's first look.
    void showsAndReturnsTheOptions_data()
    {
        QTest::addColumn<int>("row");
        QTest::newRow("defaults") << 0;
        QTest::newRow("every choice changed") << 1;
        QTest::newRow("transparent padding") << 2;
    }

    void showsAndReturnsTheOptions()
    {
        QFETCH(int, row);
        ConversionOptions options;
        if (row == 1)
            options = EveryChoiceChanged();
        if (row == 2) {
            options.fit = FitMode::Pad;
            options.background.kind = Background::Kind::Transparent;
        }
        OptionsDialog box(options);
        QCOMPARE(box.findChild<QPushButton*>(kBackgroundButtonName)->isEnabled(), options.fit == FitMode::Pad);
        const int code = ExecWith(box, [&] { QTest::mouseClick(box.findChild<QPushButton*>(kOkButtonName), Qt::LeftButton); });
        QCOMPARE(code, int(QDialog::Accepted));
        QVERIFY(box.Result() == options);
    }

    // Each choice made with its control, the colour in the colour dialog from the button's
    // menu: the result holds them all; the default in the menu undoes the colour.
    void everyControlMakesItsChoice()
    {
        OptionsDialog box({});
        ExecWith(box, [&] {
            box.findChild<QCheckBox*>(kUprightBoxName)->setChecked(false);
            box.findChild<QRadioButton*>(kKeepMetadataWithoutGpsRadioName)->setChecked(true);
            QTest::mouseClick(box.findChild<QRadioButton*>(kPadRadioName), Qt::LeftButton, {}, QPoint(5, 8));
            auto* background = box.findChild<QPushButton*>(kBackgroundButtonName);
            QVERIFY(background->isEnabled());
            WhenOtherModal(&box, [](QWidget* modal) {
                auto* colours = qobject_cast<QColorDialog*>(modal);
                QVERIFY(colours);
                colours->setCurrentColor(QColor(0x12, 0x34, 0x56));
                colours->accept();
            });
            box.findChild<QAction*>(kBackgroundColourActionName)->trigger();
            QCOMPARE(background->text(), QStringLiteral("#123456"));
            for (const char* name : {kShrinkOnlyBoxName, kTurnBoxBoxName, kProgressiveBoxName, kRecursiveBoxName,
                                     kSkipUpToDateBoxName})
                QTest::mouseClick(box.findChild<QCheckBox*>(name), Qt::LeftButton, {}, QPoint(5, 8));
            auto* quality = box.findChild<QSpinBox*>(kQualityBoxName);
            quality->selectAll();
            QTest::keyClicks(quality, "42");
            QTest::keyClick(quality, Qt::Key_Tab);
            box.findChild<QLineEdit*>(kNameTemplateFieldName)->setText("{name}_{w}x{h}");
            QTest::mouseClick(box.findChild<QPushButton*>(kOkButtonName), Qt::LeftButton);
        });
        QVERIFY(box.Result() == EveryChoiceChanged());

        OptionsDialog again(box.Result());
        again.findChild<QAction*>(kBackgroundDefaultActionName)->trigger();
        QVERIFY(again.Result().background == Background{});
        again.findChild<QAction*>(kBackgroundTransparentActionName)->trigger();
        QCOMPARE(again.Result().background.kind, Background::Kind::Transparent);
        QCOMPARE(again.findChild<QPushButton*>(kBackgroundButtonName)->text(), QStringLiteral("透明"));
    }

    void unusableNameTemplatesAreRefused_data()
    {
        QTest::addColumn<QString>("nameTemplate");
        QTest::newRow("empty") << "";
        QTest::newRow("unknown token") << "{size}";
        QTest::newRow("unbalanced brace") << "{NAME";
        QTest::newRow("a folder") << "a/{NAME}";
        QTest::newRow("dot dot") << "..";
    }

    void unusableNameTemplatesAreRefused()
    {
        QFETCH(QString, nameTemplate);
        OptionsDialog box({});
        auto* field = box.findChild<QLineEdit*>(kNameTemplateFieldName);
        SeenMessageBox seen;
        bool stayedOpen = false;
        QWidget* focused = nullptr;
        const int code = ExecWith(box, [&] {
            field->setText(nameTemplate);
            AnswerNextMessageBox(seen);
            QTest::mouseClick(box.findChild<QPushButton*>(kOkButtonName), Qt::LeftButton);
            stayedOpen = box.isVisible();
            focused = box.focusWidget();
            field->setText("{{{n}}}");  // mended: braces written twice
            QTest::mouseClick(box.findChild<QPushButton*>(kOkButtonName), Qt::LeftButton);
        });
        QVERIFY(seen.shown);
        QCOMPARE(seen.title, QStringLiteral("提示"));
        QVERIFY2(seen.text.startsWith(QStringLiteral("输出文件名不可用")), qPrintable(seen.text));
        QVERIFY(stayedOpen);
        QCOMPARE(focused, field);
        QCOMPARE(code, int(QDialog::Accepted));
        QCOMPARE(box.Result().nameTemplate, std::string("{{{n}}}"));
    }
};

std::unique_ptr<QObject> MakeOptionsDialogTest()
{
    return std::make_unique<OptionsDialogTest>();
}

}  // namespace picbatch

#include "options_dialog_test.moc"
