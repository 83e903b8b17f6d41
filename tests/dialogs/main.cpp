// Runs the dialogs' test classes in one program on one QApplication (offscreen unless the
// environment says otherwise).
#include <QApplication>
#include <QTest>

#include <functional>
#include <memory>

namespace picbatch {

// Each test file offers its class through one of these.
std::unique_ptr<QObject> MakeMountTableTest();
std::unique_ptr<QObject> MakeDirectoryEntriesTest();
std::unique_ptr<QObject> MakeErrorBoxTest();
std::unique_ptr<QObject> MakeCustomSizeDialogTest();
std::unique_ptr<QObject> MakeFolderChooserTest();
std::unique_ptr<QObject> MakeOptionsDialogTest();

}  // namespace picbatch

using namespace picbatch;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // "dialogs_tests FolderChooserTest [QtTest options]" runs one class only.
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    int failed = 0;
    for (const auto& make : {MakeMountTableTest, MakeDirectoryEntriesTest, MakeErrorBoxTest,
                             MakeCustomSizeDialogTest, MakeFolderChooserTest, MakeOptionsDialogTest}) {
        const std::unique_ptr<QObject> test = make();
        if (only.isEmpty() || only.startsWith(u'-')) {
            failed += QTest::qExec(test.get(), argc, argv) != 0;
        } else if (only == QString::fromLatin1(test->metaObject()->className()).section(QStringLiteral("::"), -1)) {
            argv[1] = argv[0];
            failed += QTest::qExec(test.get(), argc - 1, argv + 1) != 0;
        }
    }
    return failed == 0 ? 0 : 1;
}
