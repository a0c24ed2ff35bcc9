#include "defaultbrowser.h"

#include <QProcess>

void setAsDefaultBrowser(QObject *owner, std::function<void(const QString &)> report)
{
    auto *process = new QProcess(owner);
    QObject::connect(process, &QProcess::finished, owner, [report, process](int code, QProcess::ExitStatus status) {
        process->deleteLater();
        report(status == QProcess::NormalExit && code == 0 ? QStringLiteral("已将 sablix 设为默认浏览器。")
                                                           : QStringLiteral("无法设置默认浏览器。"));
    });
    QObject::connect(process, &QProcess::errorOccurred, owner, [report, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            report(QStringLiteral("无法设置默认浏览器: 找不到 xdg-settings。"));
            process->deleteLater();
        }
    });
    process->start(QStringLiteral("xdg-settings"),
                   {QStringLiteral("set"), QStringLiteral("default-web-browser"), QStringLiteral("sablix.desktop")});
}
