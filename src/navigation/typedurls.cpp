#include "typedurls.h"

#include "../core/listfile.h"
#include "../core/storageproblems.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringListModel>
#include <QTimer>

namespace {
// A crash loses at most this much of the newest typed addresses.
constexpr int kSaveDelayMs = 500;
}

TypedUrls::TypedUrls(QObject *parent)
    : QObject(parent), m_model(new QStringListModel(this)), m_saveSoon(new QTimer(this))
{
    m_saveSoon->setSingleShot(true);
    m_saveSoon->setInterval(kSaveDelayMs);
    connect(m_saveSoon, &QTimer::timeout, this, &TypedUrls::save);
    if (const auto stored = ListFile::load(filePath())) {
        QStringList list;
        for (const QString &line : *stored)
            if (!line.trimmed().isEmpty() && !list.contains(line) && list.size() < kLimit)
                list << line;
        m_model->setStringList(list);
    }
}

TypedUrls::~TypedUrls()
{
    save();
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
    m_unsaved = true;
    if (!m_saveSoon->isActive())
        m_saveSoon->start();
}

void TypedUrls::save()
{
    m_saveSoon->stop();
    if (!m_unsaved)
        return;
    m_unsaved = false;
    QDir().mkpath(QFileInfo(filePath()).absolutePath());
    saveList(m_problems, filePath(), m_model->stringList());
}

void TypedUrls::clear()
{
    m_saveSoon->stop();
    m_unsaved = false;
    m_model->setStringList({});
    QFile::remove(filePath());
}
