#include "typedurls.h"

#include "../core/listfile.h"
#include "../core/storageproblems.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringListModel>

TypedUrls::TypedUrls(QObject *parent) : QObject(parent), m_model(new QStringListModel(this))
{
    if (const auto stored = ListFile::load(filePath())) {
        QStringList list;
        for (const QString &line : *stored)
            if (!line.trimmed().isEmpty() && !list.contains(line) && list.size() < kLimit)
                list << line;
        m_model->setStringList(list);
    }
}

QString TypedUrls::filePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/sablix/TypedURLs.lst");
}

QStringList TypedUrls::addresses() const
{
    return m_model->stringList();
}

void TypedUrls::add(const QString &address)
{
    if (address.trimmed().isEmpty())
        return;
    QStringList list = m_model->stringList();
    list.removeAll(address);
    list.prepend(address);
    while (list.size() > kLimit)
        list.removeLast();
    m_model->setStringList(list);
    QDir().mkpath(QFileInfo(filePath()).absolutePath());
    saveList(m_problems, filePath(), list);
}

void TypedUrls::clear()
{
    m_model->setStringList({});
    QFile::remove(filePath());
}
