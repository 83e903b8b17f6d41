// Reading picbatch's command line.
#include "app/start_command.h"

#include <QDir>

namespace picbatch {

StartCommand ParseStartCommand(const QStringList& arguments)
{
    StartCommand command;
    QStringList folders;
    bool options = true;
    for (const QString& argument : arguments) {
        if (options && argument == QLatin1String("--")) {
            options = false;
        } else if (options && (argument == QLatin1String("--help") || argument == QLatin1String("-h"))) {
            command.help = true;
        } else if (options && argument.startsWith(u'-') && argument != QLatin1String("-")) {
            command.problem = QStringLiteral("未知选项 / unknown option: ") + argument;
            return command;
        } else {
            folders << argument;
        }
    }
    if (folders.size() > 2) {
        command.problem = QStringLiteral("最多两个文件夹 / at most two folders: ") + folders.join(u' ');
        return command;
    }
    // An empty argument names no folder, as an empty field does.
    const auto absolute = [](const QString& path) { return path.isEmpty() ? path : QDir::current().absoluteFilePath(path); };
    if (!folders.isEmpty())
        command.source = absolute(folders[0]);
    if (folders.size() > 1)
        command.destination = absolute(folders[1]);
    return command;
}

QString StartUsageText()
{
    return QStringLiteral(
        "用法: picbatch [源文件夹 [目标文件夹]]\n"
        "Usage: picbatch [SOURCE [DESTINATION]]\n"
        "\n"
        "打开图片批处理窗口；给出的文件夹填入“源文件夹”和“保存到”。给出一张图片时使用它所在的文件夹。\n"
        "Opens the batch resizer window with the folders given as its source and destination.\n"
        "A picture given instead of a folder stands for the folder it is in.\n"
        "\n"
        "  -h, --help   显示本说明 / show this help\n"
        "另见 / see also: picbatch-cli --help, man picbatch\n");
}

}  // namespace picbatch
