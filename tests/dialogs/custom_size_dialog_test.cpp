// The custom size dialog driven through its controls.
#include "batch/size_check.h"
#include "batch/target_size.h"
#include "dialogs/control_names.h"
#include "dialogs/custom_size_dialog.h"
#include "dialogs/up_down.h"

#include "modal.h"
#include "window_checks.h"

#include <QLineEdit>
#include <QTest>

#include <memory>
#include <QToolButton>

namespace picbatch {

namespace {

struct Controls {
    QLineEdit* width;
    QLineEdit* height;
    UpDown* widthArrows;
    UpDown* heightArrows;
    QPushButton* ok;
    QPushButton* cancel;
};

Controls Find(CustomSizeDialog& box)
{
    return {box.findChild<QLineEdit*>(kWidthFieldName),   box.findChild<QLineEdit*>(kHeightFieldName),
            box.findChild<UpDown*>(kWidthArrowsName),     box.findChild<UpDown*>(kHeightArrowsName),
            box.findChild<QPushButton*>(kOkButtonName), box.findChild<QPushButton*>(kCancelButtonName)};
}

}  // namespace

class CustomSizeDialogTest : public QObject {
    Q_OBJECT
private slots:
    void windowAndControls()
    {
        CustomSizeDialog box;
        CheckDialogWindow(box, "自定义尺寸", {298, 156}, 8);

        CheckControls(box, {
            {kSizeGroupName, {11, 10, 277, 106}, "请输入图片的长和宽"},
            {kWidthLabelName, {48, 36, 60, 13}, "宽度：\u3000\u3000", nullptr, kSizeGroupName},
            {kHeightLabelName, {48, 68, 42, 13}, "高度：  ", nullptr, kSizeGroupName},
            {kWidthUnitLabelName, {173, 36, 30, 13}, "像素  ", nullptr, kSizeGroupName},
            {kHeightUnitLabelName, {174, 70, 30, 13}, "像素  ", nullptr, kSizeGroupName},
            {kWidthFieldName, {97, 32, 49, 21}, "16", nullptr, kSizeGroupName},
            {kWidthArrowsName, {146, 32, 15, 21}, nullptr, nullptr, kSizeGroupName},
            {kHeightFieldName, {97, 64, 49, 21}, "16", nullptr, kSizeGroupName},
            {kHeightArrowsName, {146, 64, 15, 21}, nullptr, nullptr, kSizeGroupName},
            {kOkButtonName, {72, 124, 75, 24}, "确定"},
            {kCancelButtonName, {152, 124, 75, 24}, "取消"},
        });
        // What scripts and accessibility tools find the controls by.
        QCOMPARE(ObjectNames(box), (QStringList{"BitBtn1", "BitBtn2", "GroupBox1", "Label1", "Label2",
                                                "Label3", "Label4", "Label5", "edtH", "edtW", "udH", "udW"}));
        const Controls c = Find(box);
        QVERIFY(c.ok->isDefault());
        QVERIFY(!c.cancel->isDefault());
        QVERIFY(!c.ok->icon().isNull() && !c.cancel->icon().isNull());
        QCOMPARE(TabOrder(box, c.width), (QStringList{"edtW", "edtH", "BitBtn1", "BitBtn2"}));

        box.show();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        QCOMPARE(QApplication::focusWidget(), c.width);
    }

    void focusIsVisibleOnEveryControl()
    {
        CustomSizeDialog box;
        box.show();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        QCOMPARE(CheckFocusShowsAllRound(box), (QStringList{"edtW", "edtH", "BitBtn1", "BitBtn2"}));
    }

    // The size text is built from the numbers, so a run that starts with it gets the same
    // size; every size within the picture limits is accepted.
    void acceptedSizes_data()
    {
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<QString>("result");
        QTest::newRow("800 by 600") << "800" << "600" << "800 * 600  （自定义尺寸）";
        QTest::newRow("below the arrows' range") << "10" << "1" << "10 * 1  （自定义尺寸）";
        QTest::newRow("above the arrows' range") << "20000" << "9999" << "20000 * 9999  （自定义尺寸）";
        QTest::newRow("blanks around the digits dropped") << "  800 " << "\t600\u3000" << "800 * 600  （自定义尺寸）";
        QTest::newRow("sign and leading zero dropped") << " 0800" << "+600" << "800 * 600  （自定义尺寸）";
        QTest::newRow("hexadecimal as decimal") << "$320" << "0x258" << "800 * 600  （自定义尺寸）";
        QTest::newRow("longest side") << "65535" << "4096" << "65535 * 4096  （自定义尺寸）";
        QTest::newRow("most pixels") << "16384" << "16384" << "16384 * 16384  （自定义尺寸）";
    }

    void acceptedSizes()
    {
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(QString, result);
        CustomSizeDialog box;
        const Controls c = Find(box);
        const int code = ExecWith(box, [&] {
            c.width->setText(width);
            c.height->setText(height);
            QTest::mouseClick(c.ok, Qt::LeftButton);
        });
        QCOMPARE(code, int(QDialog::Accepted));
        QCOMPARE(box.Result(), result);
        const TargetSize size = CheckedTargetSize(SplitSizeText(box.Result().toStdString()));
        QCOMPARE(QString("%1 * %2  （自定义尺寸）").arg(size.width).arg(size.height), result);
    }

    void enterPressesOk()
    {
        CustomSizeDialog box;
        const Controls c = Find(box);
        ExecWith(box, [&] {
            c.width->setText("1024");
            c.height->setText("768");
            QTest::keyClick(c.height, Qt::Key_Return);
        });
        QCOMPARE(box.Result(), QString("1024 * 768  （自定义尺寸）"));
    }

    void refusedSizesKeepTheDialogOpen_data()
    {
        const QString notANumber = QStringLiteral(" 格式不正确，请输入数字！ ");
        const QString tooLarge = QStringLiteral("图片尺寸过大：宽度和高度最多 65535 像素，总数最多 268435456 像素");
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<bool>("widthFaulty");
        QTest::addColumn<QString>("message");
        QTest::newRow("letter in the width") << "8o0" << "600" << true << notANumber;
        QTest::newRow("letter in the height") << "800" << "abc" << false << notANumber;
        QTest::newRow("width -1") << "-1" << "600" << true << notANumber;
        QTest::newRow("height -1") << "800" << "-1" << false << notANumber;
        QTest::newRow("width 0") << "0" << "600" << true << QString::fromUtf8(kWidthBelowOne);
        QTest::newRow("height negative") << "800" << "-20" << false << notANumber;
        QTest::newRow("thousands separator") << "1,000" << "600" << true << notANumber;
        QTest::newRow("blank inside the digits") << "8 00" << "600" << true << notANumber;
        QTest::newRow("beyond 32 bits") << "4294967296" << "600" << true << notANumber;
        QTest::newRow("width over the side limit") << "65536" << "1" << true << tooLarge;
        QTest::newRow("height over the side limit") << "1" << "65536" << false << tooLarge;
        QTest::newRow("too many pixels") << "16385" << "16384" << true << tooLarge;
    }

    void refusedSizesKeepTheDialogOpen()
    {
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(bool, widthFaulty);
        QFETCH(QString, message);
        CustomSizeDialog box;
        const Controls c = Find(box);
        SeenMessageBox seen;
        bool stayedOpen = false;
        QWidget* focused = nullptr;
        ExecWith(box, [&] {
            c.width->setText(width);
            c.height->setText(height);
            AnswerNextMessageBox(seen);
            QTest::mouseClick(c.ok, Qt::LeftButton);
            stayedOpen = box.isVisible();
            focused = box.focusWidget();
            // The user mends the value and confirms.
            (widthFaulty ? c.width : c.height)->setText("50");
            QTest::mouseClick(c.ok, Qt::LeftButton);
        });
        QVERIFY(seen.shown);
        QCOMPARE(seen.title, QString("提示"));
        QCOMPARE(seen.text, message);
        QCOMPARE(seen.buttons, 1);
        QVERIFY(stayedOpen);
        QCOMPARE(focused, widthFaulty ? c.width : c.height);
        QCOMPARE(box.Result(), widthFaulty ? "50 * " + height + "  （自定义尺寸）"
                                           : width + " * 50  （自定义尺寸）");
    }

    // One side (the other field empty) or a percentage in either field: the size list's words,
    // which a run reads back as the same size.
    void singleSideAndPercentSizes_data()
    {
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<QString>("result");
        QTest::newRow("width only") << "1600" << "" << "宽 1600，高按比例";
        QTest::newRow("height only, blanks") << " \t" << " 1200 " << "高 1200，宽按比例";
        QTest::newRow("percent in the width, height not used") << "50%" << "16" << "50%";
        QTest::newRow("percent in the height, blank before %") << "" << " 250 %" << "250%";
        QTest::newRow("the same percent in both") << "10%" << "10%" << "10%";
        QTest::newRow("largest percent") << "1000%" << "" << "1000%";
        QTest::newRow("longest side alone") << "65535" << "" << "宽 65535，高按比例";
    }

    void singleSideAndPercentSizes()
    {
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(QString, result);
        CustomSizeDialog box;
        const Controls c = Find(box);
        const int code = ExecWith(box, [&] {
            c.width->setText(width);
            c.height->setText(height);
            QTest::mouseClick(c.ok, Qt::LeftButton);
        });
        QCOMPARE(code, int(QDialog::Accepted));
        QCOMPARE(box.Result(), result);
        QCOMPARE(QString::fromStdString(CheckedSizeText(result.toStdString()).text), result);
    }

    void refusedSingleSidesAndPercents_data()
    {
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<bool>("widthFaulty");
        QTest::addColumn<QString>("message");
        const QString notANumber = QStringLiteral(" 格式不正确，请输入数字！ ");
        QTest::newRow("both empty") << "" << "  " << true << notANumber;
        QTest::newRow("height 0, width empty") << "" << "0" << false << QString::fromUtf8(kHeightBelowOne);
        QTest::newRow("height 0") << "800" << "0" << false << QString::fromUtf8(kHeightBelowOne);
        QTest::newRow("width alone above the limit") << "65536" << "" << true << QString::fromUtf8(kWidthAboveLimit);
        QTest::newRow("0%") << "0%" << "" << true << QString::fromUtf8(kPercentBelowOne);
        QTest::newRow("1001% in the height") << "16" << "1001%" << false << QString::fromUtf8(kPercentAboveLimit);
        QTest::newRow("percent not a number") << "5o%" << "" << true << notANumber;
        QTest::newRow("two percents") << "50%" << "60%" << false
                                      << QStringLiteral("宽度和高度的百分比不同：请只在一个框中填写百分比");
    }

    void refusedSingleSidesAndPercents()
    {
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(bool, widthFaulty);
        QFETCH(QString, message);
        CustomSizeDialog box;
        const Controls c = Find(box);
        SeenMessageBox seen;
        bool stayedOpen = false;
        QWidget* focused = nullptr;
        ExecWith(box, [&] {
            c.width->setText(width);
            c.height->setText(height);
            AnswerNextMessageBox(seen);
            QTest::mouseClick(c.ok, Qt::LeftButton);
            stayedOpen = box.isVisible();
            focused = box.focusWidget();
        });
        QCOMPARE(seen.text, message);
        QVERIFY(stayedOpen);
        QCOMPARE(focused, widthFaulty ? c.width : c.height);
        QCOMPARE(box.Result(), QString());
    }

    void closingWithoutOkGivesNothing_data() { AddCloseWithoutOkRows(); }

    void closingWithoutOkGivesNothing()
    {
        QFETCH(CloseWithoutOk, how);
        CustomSizeDialog box;
        const Controls c = Find(box);
        const int code = ExecWith(box, [&] {
            c.width->setText("800");
            Leave(box, how, c.cancel, c.width);
        });
        QCOMPARE(code, int(QDialog::Rejected));
        QCOMPARE(box.Result(), QString());
    }

    void arrowsStepAndStopAtTheEnds_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("steps");  // positive: up, negative: down
        QTest::addColumn<QString>("expected");
        QTest::newRow("up from the start") << "16" << 2 << "18";
        QTest::newRow("down stops at 16") << "17" << -3 << "16";
        QTest::newRow("up stops at 9999") << "9998" << 3 << "9999";
        QTest::newRow("thousands without separator") << "999" << 1 << "1000";
        QTest::newRow("typed value is the starting point") << "500" << -1 << "499";
        QTest::newRow("typed below the range comes into it") << "3" << 1 << "16";
        QTest::newRow("typed above the range comes into it") << "20000" << -1 << "9999";
        QTest::newRow("no number steps from the last position") << "abc" << 1 << "17";
    }

    void arrowsStepAndStopAtTheEnds()
    {
        QFETCH(QString, start);
        QFETCH(int, steps);
        QFETCH(QString, expected);
        CustomSizeDialog box;
        const Controls c = Find(box);
        c.width->setText(start);
        QToolButton* arrow = steps > 0 ? c.widthArrows->UpButton() : c.widthArrows->DownButton();
        for (int i = 0; i < std::abs(steps); ++i)
            QTest::mouseClick(arrow, Qt::LeftButton);
        QCOMPARE(c.width->text(), expected);
        QCOMPARE(c.height->text(), QString("16"));
    }

    void arrowKeysStepTheFocusedField()
    {
        CustomSizeDialog box;
        const Controls c = Find(box);
        c.height->setText("998");
        QTest::keyClick(c.height, Qt::Key_Up);
        QTest::keyClick(c.height, Qt::Key_Up);
        QTest::keyClick(c.width, Qt::Key_Down);
        QCOMPARE(c.height->text(), QString("1000"));
        QCOMPARE(c.width->text(), QString("16"));
        const int code = ExecWith(box, [&] { QTest::mouseClick(c.ok, Qt::LeftButton); });
        QCOMPARE(code, int(QDialog::Accepted));
        QCOMPARE(box.Result(), QString("16 * 1000  （自定义尺寸）"));
    }
};

std::unique_ptr<QObject> MakeCustomSizeDialogTest()
{
    return std::make_unique<CustomSizeDialogTest>();
}

}  // namespace picbatch

#include "custom_size_dialog_test.moc"
