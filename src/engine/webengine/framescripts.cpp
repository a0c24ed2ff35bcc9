#include "framescripts.h"

#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

namespace {

QStringList &sources()
{
    static QStringList list;
    return list;
}

const QString &secret()
{
    static const QString value = [] {
        QString text = QStringLiteral("sablix:");
        for (int i = 0; i < 4; ++i)
            text += QString::number(QRandomGenerator::system()->generate(), 16).rightJustified(8, QLatin1Char('0'));
        return text + QLatin1Char(':');
    }();
    return value;
}

} // namespace

namespace FrameScripts {

void add(const QString &source)
{
    sources().append(source);
}

void install(QWebEnginePage *page)
{
    const QStringList &list = sources();
    for (int i = 0; i < list.size(); ++i) {
        QWebEngineScript script;
        script.setName(QStringLiteral("sablix-frame-%1").arg(i));
        script.setInjectionPoint(QWebEngineScript::DocumentReady);
        script.setWorldId(QWebEngineScript::ApplicationWorld);
        script.setRunsOnSubFrames(true);
        // `console` and `JSON` are this world's own: the page cannot replace them here.
        script.setSourceCode(QStringLiteral("(function (post) {\n") + list.at(i) +
                             QStringLiteral("\n})(function (value) { console.info('%1' + JSON.stringify(value)); });")
                                 .arg(secret()));
        page->scripts().insert(script);
    }
}

bool take(const QString &consoleLine, QString *message)
{
    if (!consoleLine.startsWith(secret()))
        return false;
    *message = consoleLine.mid(secret().size());
    return true;
}

} // namespace FrameScripts
