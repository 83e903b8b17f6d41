// The custom size dialog driven through its controls.
#include "dialogs/custom_size_dialog.h"
#include "dialogs/up_down.h"

#include "modal.h"
#include "window_checks.h"

#include <QLineEdit>
#include <QTest>

#include <memory>
#include <QToolButton>

namespace {

struct Controls {
    QLineEdit* edtW;
    QLineEdit* edtH;
    UpDown* udW;
    UpDown* udH;
    QPushButton* ok;
    QPushButton* cancel;
};

Controls Find(TAboutBox& box)
{
    return {box.findChild<QLineEdit*>("edtW"),    box.findChild<QLineEdit*>("edtH"),
            box.findChild<UpDown*>("udW"),         box.findChild<UpDown*>("udH"),
            box.findChild<QPushButton*>("BitBtn1"), box.findChild<QPushButton*>("BitBtn2")};
}

}  // namespace

class CustomSizeDialogTest : public QObject {
    Q_OBJECT
private slots:
    void windowAndControls()
    {
        TAboutBox box;
        CheckDialogWindow(box, "自定义尺寸", {298, 156}, 8);

        CheckControls(box, {
            {"GroupBox1", {11, 10, 277, 106}, "请输入图片的长和宽"},
            {"Label1", {48, 36, 60, 13}, "宽度：\u3000\u3000", nullptr, "GroupBox1"},
            {"Label2", {48, 68, 42, 13}, "高度：  ", nullptr, "GroupBox1"},
            {"Label3", {173, 36, 30, 13}, "像素  ", nullptr, "GroupBox1"},
            {"Label4", {174, 70, 30, 13}, "像素  ", nullptr, "GroupBox1"},
            {"edtW", {97, 32, 49, 21}, "16", nullptr, "GroupBox1"},
            {"udW", {146, 32, 15, 21}, nullptr, nullptr, "GroupBox1"},
            {"edtH", {97, 64, 49, 21}, "16", nullptr, "GroupBox1"},
            {"udH", {146, 64, 15, 21}, nullptr, nullptr, "GroupBox1"},
            {"BitBtn1", {72, 124, 75, 24}, "确定"},
            {"BitBtn2", {152, 124, 75, 24}, "取消"},
        });
        const Controls c = Find(box);
        QVERIFY(c.ok->isDefault());
        QVERIFY(!c.cancel->isDefault());
        QVERIFY(!c.ok->icon().isNull() && !c.cancel->icon().isNull());
        QCOMPARE(TabOrder(box, c.edtW), (QStringList{"edtW", "edtH", "BitBtn1", "BitBtn2"}));

        box.show();
        QVERIFY(QTest::qWaitForWindowActive(&box));
        QCOMPARE(QApplication::focusWidget(), c.edtW);
    }

    void acceptedSizes_data()
    {
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<QString>("result");
        QTest::newRow("800 by 600") << "800" << "600" << "800 * 600  （自定义尺寸）";
        QTest::newRow("below the arrows' range") << "10" << "1" << "10 * 1  （自定义尺寸）";
        QTest::newRow("above the arrows' range") << "20000" << "9999" << "20000 * 9999  （自定义尺寸）";
        QTest::newRow("texts kept as typed") << " 0800" << "+600" << " 0800 * +600  （自定义尺寸）";
    }

    void acceptedSizes()
    {
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(QString, result);
        TAboutBox box;
        const Controls c = Find(box);
        const int code = ExecWith(box, [&] {
            c.edtW->setText(width);
            c.edtH->setText(height);
            QTest::mouseClick(c.ok, Qt::LeftButton);
        });
        QCOMPARE(code, int(QDialog::Accepted));
        QCOMPARE(box.Result(), result);
    }

    void enterPressesOk()
    {
        TAboutBox box;
        const Controls c = Find(box);
        ExecWith(box, [&] {
            c.edtW->setText("1024");
            c.edtH->setText("768");
            QTest::keyClick(c.edtH, Qt::Key_Return);
        });
        QCOMPARE(box.Result(), QString("1024 * 768  （自定义尺寸）"));
    }

    void refusedSizesKeepTheDialogOpen_data()
    {
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<bool>("widthFaulty");
        QTest::newRow("letter in the width") << "8o0" << "600" << true;
        QTest::newRow("letter in the height") << "800" << "abc" << false;
        QTest::newRow("width -1") << "-1" << "600" << true;
        QTest::newRow("height -1") << "800" << "-1" << false;
        QTest::newRow("width 0") << "0" << "600" << true;
        QTest::newRow("height negative") << "800" << "-20" << false;
        QTest::newRow("thousands separator") << "1,000" << "600" << true;
        QTest::newRow("empty height") << "800" << "" << false;
        QTest::newRow("beyond 32 bits") << "4294967296" << "600" << true;
    }

    void refusedSizesKeepTheDialogOpen()
    {
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(bool, widthFaulty);
        TAboutBox box;
        const Controls c = Find(box);
        SeenMessageBox seen;
        bool stayedOpen = false;
        QWidget* focused = nullptr;
        ExecWith(box, [&] {
            c.edtW->setText(width);
            c.edtH->setText(height);
            AnswerNextMessageBox(seen);
            QTest::mouseClick(c.ok, Qt::LeftButton);
            stayedOpen = box.isVisible();
            focused = box.focusWidget();
            // The user mends the value and confirms.
            (widthFaulty ? c.edtW : c.edtH)->setText("50");
            QTest::mouseClick(c.ok, Qt::LeftButton);
        });
        QVERIFY(seen.shown);
        QCOMPARE(seen.title, QString("提示"));
        QCOMPARE(seen.text, QString(" 格式不正确，请输入数字！ "));
        QCOMPARE(seen.buttons, 1);
        QVERIFY(stayedOpen);
        QCOMPARE(focused, widthFaulty ? c.edtW : c.edtH);
        QCOMPARE(box.Result(), widthFaulty ? "50 * " + height + "  （自定义尺寸）"
                                           : width + " * 50  （自定义尺寸）");
    }

    void closingWithoutOkGivesNothing_data() { AddCloseWithoutOkRows(); }

    void closingWithoutOkGivesNothing()
    {
        QFETCH(CloseWithoutOk, how);
        TAboutBox box;
        const Controls c = Find(box);
        const int code = ExecWith(box, [&] {
            c.edtW->setText("800");
            Leave(box, how, c.cancel, c.edtW);
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
        TAboutBox box;
        const Controls c = Find(box);
        c.edtW->setText(start);
        QToolButton* arrow = steps > 0 ? c.udW->UpButton() : c.udW->DownButton();
        for (int i = 0; i < std::abs(steps); ++i)
            QTest::mouseClick(arrow, Qt::LeftButton);
        QCOMPARE(c.edtW->text(), expected);
        QCOMPARE(c.edtH->text(), QString("16"));
    }

    void arrowKeysStepTheFocusedField()
    {
        TAboutBox box;
        const Controls c = Find(box);
        c.edtH->setText("998");
        QTest::keyClick(c.edtH, Qt::Key_Up);
        QTest::keyClick(c.edtH, Qt::Key_Up);
        QTest::keyClick(c.edtW, Qt::Key_Down);
        QCOMPARE(c.edtH->text(), QString("1000"));
        QCOMPARE(c.edtW->text(), QString("16"));
        const int code = ExecWith(box, [&] { QTest::mouseClick(c.ok, Qt::LeftButton); });
        QCOMPARE(code, int(QDialog::Accepted));
        QCOMPARE(box.Result(), QString("16 * 1000  （自定义尺寸）"));
    }
};

std::unique_ptr<QObject> MakeCustomSizeDialogTest()
{
    return std::make_unique<CustomSizeDialogTest>();
}

#include "custom_size_dialog_test.moc"
