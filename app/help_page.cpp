#include "app/help_page.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include "imaging/error.h"

namespace picbatch {

namespace {

// Where `cmake --install` puts the page, relative to the program's folder.
constexpr const char* kInstalledPage = "/../share/picbatch/help/index.html";
constexpr const char* kBundledPage = ":/app/help/index.html";

}  // namespace

QString HelpPage::LocalFile()
{
    const QString installed = QCoreApplication::applicationDirPath() + kInstalledPage;
    if (QFileInfo(installed).isFile())
        return QFileInfo(installed).canonicalFilePath();

    if (m_copyDir) {
        QString copy = m_copyDir->filePath("index.html");
        if (QFileInfo(copy).isFile())
            return copy;
    }
    auto dir = std::make_unique<QTemporaryDir>();
    QString copy = dir->filePath("index.html");
    QFile source(kBundledPage);
    QFile target(copy);
    if (!dir->isValid() || !source.open(QIODevice::ReadOnly)
        || !target.open(QIODevice::WriteOnly)
        || target.write(source.readAll()) != source.size() || !target.flush())
        throw Error("无法准备帮助页面");
    target.close();
    m_copyDir = std::move(dir);
    return copy;
}

void HelpPage::Open()
{
    const QString file = LocalFile();
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
        throw Error(QStringLiteral("无法用默认浏览器打开帮助页面 %1").arg(file).toStdString());
}

}  // namespace picbatch
