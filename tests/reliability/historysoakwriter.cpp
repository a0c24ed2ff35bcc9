// Writes visits into a history file as the program does, batch after batch, and says on
// stdout each batch the writer reported committed: "committed BATCH FIRST LAST" (visit
// numbers). The kill -9 soak kills it at random moments and checks the file.
//   history-soak-writer FILE RUN
#include "history/history.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QRandomGenerator>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: history-soak-writer FILE RUN\n");
        return 2;
    }
    const QString run = QString::fromLocal8Bit(argv[2]);
    History history(QString::fromLocal8Bit(argv[1]), 90);
    QHash<quint64, QPair<int, int>> batches;
    quint64 nextBatch = 1;
    int nextVisit = 0;
    auto writeBatch = [&] {
        const int size = 1 + int(QRandomGenerator::global()->bounded(40));
        const int first = nextVisit;
        for (int i = 0; i < size; ++i, ++nextVisit) {
            const QString address = QStringLiteral("http://soak.test/%1/%2").arg(run).arg(nextVisit);
            history.record(address, QStringLiteral("第 %1 页 %2").arg(nextVisit).arg(QString(200, QChar(0x4e2d))),
                           QDateTime::currentMSecsSinceEpoch());
            // Titles that change while the batch is gathered, and after.
            if (i % 7 == 3)
                history.updateTitle(address, QStringLiteral("新标题 %1").arg(nextVisit));
        }
        if (first > 0)
            history.updateTitle(QStringLiteral("http://soak.test/%1/%2").arg(run).arg(first - 1), QStringLiteral("改"));
        batches.insert(nextBatch++, {first, nextVisit - 1});
        history.flush();
    };
    QObject::connect(&history, &History::notice, [](const QString &text) {
        std::printf("notice %s\n", qPrintable(text));
        std::fflush(stdout);
    });
    QObject::connect(&history, &History::ready, [&] {
        std::printf("ready\n");
        std::fflush(stdout);
        // Two batches in flight at a time: one being written while the next is gathered.
        writeBatch();
        writeBatch();
    });
    QObject::connect(&history, &History::batchCommitted, [&](quint64 batch, int) {
        const auto range = batches.take(batch);
        std::printf("committed %llu %d %d\n", static_cast<unsigned long long>(batch), range.first, range.second);
        std::fflush(stdout);
        writeBatch();
    });
    return app.exec();
}
