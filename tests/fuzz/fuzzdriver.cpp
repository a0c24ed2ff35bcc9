// A seeded random fuzz driver: mutates the inputs of a corpus (byte flips, inserts, cuts,
// repeats, splices and the target's own tokens) and hands each to a target, which checks
// what must hold and aborts when it does not. Deterministic for a seed, so a finding can be
// replayed; the input that crashed is written out first.
//   sablix-fuzz TARGET RUNS SEED CORPUS_DIR [REGRESSION_DIR]
// Every file in REGRESSION_DIR is run as it stands before the random inputs.
#include "fuzztargets.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <random>

#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr qsizetype kMaxInput = 4096;

// The input under test, for the crash handler: written out as it stands.
QByteArray g_current;
char g_crashPath[512];

void onCrash(int signal)
{
    const int fd = ::open(g_crashPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(fd, g_current.constData(), size_t(g_current.size()));
        ::close(fd);
    }
    const char text[] = "fuzz: crash; the input is in ";
    [[maybe_unused]] ssize_t n = ::write(2, text, sizeof text - 1);
    n = ::write(2, g_crashPath, std::strlen(g_crashPath));
    n = ::write(2, "\n", 1);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

class Mutator
{
public:
    Mutator(quint64 seed, QList<QByteArray> corpus, QList<QByteArray> tokens)
        : m_random(seed), m_corpus(std::move(corpus)), m_tokens(std::move(tokens))
    {
        if (m_corpus.isEmpty())
            m_corpus << QByteArray();
    }

    QByteArray next()
    {
        QByteArray data = m_corpus[pick(m_corpus.size())];
        const int steps = 1 + int(pick(8));
        for (int i = 0; i < steps; ++i)
            mutate(data);
        if (data.size() > kMaxInput)
            data.truncate(kMaxInput);
        return data;
    }

private:
    qsizetype pick(qsizetype n) { return n <= 0 ? 0 : qsizetype(m_random() % quint64(n)); }

    void mutate(QByteArray &data)
    {
        const qsizetype at = pick(data.size() + 1);
        switch (pick(8)) {
        case 0: // flip a bit
            if (!data.isEmpty())
                data[pick(data.size())] ^= char(1 << pick(8));
            break;
        case 1: // a random byte
            if (!data.isEmpty())
                data[pick(data.size())] = char(pick(256));
            break;
        case 2: { // insert random bytes
            QByteArray bytes(1 + pick(8), Qt::Uninitialized);
            for (char &c : bytes)
                c = char(pick(256));
            data.insert(at, bytes);
            break;
        }
        case 3: // cut a stretch
            data.remove(at, 1 + pick(16));
            break;
        case 4: { // repeat a stretch
            const QByteArray piece = data.mid(at, 1 + pick(64));
            data.insert(pick(data.size() + 1), piece.repeated(1 + int(pick(4))));
            break;
        }
        case 5: { // splice in another input
            const QByteArray &other = m_corpus[pick(m_corpus.size())];
            const qsizetype from = pick(other.size() + 1);
            data.insert(at, other.mid(from, 1 + pick(128)));
            break;
        }
        default: // a token of the target
            if (!m_tokens.isEmpty())
                data.insert(at, m_tokens[pick(m_tokens.size())]);
            break;
        }
    }

    std::mt19937_64 m_random;
    QList<QByteArray> m_corpus;
    QList<QByteArray> m_tokens;
};

QList<QByteArray> readFolder(const QString &path)
{
    QList<QByteArray> inputs;
    const QDir folder(path);
    for (const QString &name : folder.entryList(QDir::Files, QDir::Name)) {
        QFile file(folder.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            inputs << file.readAll();
    }
    return inputs;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 5) {
        std::fprintf(stderr, "usage: sablix-fuzz TARGET RUNS SEED CORPUS_DIR [REGRESSION_DIR]\n");
        return 2;
    }
    const FuzzTarget *target = FuzzTargets::find(args[1]);
    if (!target) {
        std::fprintf(stderr, "fuzz: no target %s\n", qPrintable(args[1]));
        return 2;
    }
    const qint64 runs = args[2].toLongLong();
    const quint64 seed = args[3].toULongLong();
    std::snprintf(g_crashPath, sizeof g_crashPath, "%s", qPrintable(QDir::current().filePath(
                                                           QStringLiteral("crash-%1-%2").arg(args[1]).arg(seed))));
    for (int signal : {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL})
        std::signal(signal, onCrash);

    qint64 done = 0;
    if (args.size() > 5) {
        for (const QByteArray &input : readFolder(args[5])) {
            g_current = input;
            target->check(input);
            ++done;
        }
    }
    const QList<QByteArray> corpus = readFolder(args[4]);
    for (const QByteArray &input : corpus) {
        g_current = input;
        target->check(input);
        ++done;
    }
    Mutator mutator(seed, corpus, target->tokens);
    for (qint64 i = 0; i < runs; ++i) {
        g_current = mutator.next();
        target->check(g_current);
        ++done;
    }
    std::printf("%-10s %10lld inputs  0 crashes\n", qPrintable(args[1]), done);
    return 0;
}
