#include "pagecaption.h"

#include "../core/textcodec.h"

#include <QList>
#include <QTextBoundaryFinder>

namespace PageCaption {

QString leftChars(const QString &text, qsizetype count)
{
    if (text.size() <= count)
        return text;
    if (count > 0 && text.at(count - 1).isHighSurrogate())
        --count;
    return text.left(count);
}

QString pinnedCaption(const QString &title)
{
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, title);
    for (qsizetype at = 0, next = graphemes.toNextBoundary(); next > 0; at = next, next = graphemes.toNextBoundary()) {
        const QString grapheme = title.mid(at, next - at);
        const QChar::Category kind = QChar::category(grapheme.toUcs4().value(0));
        // Blanks, direction marks and other invisible characters show nothing.
        if (grapheme.trimmed().isEmpty() || kind == QChar::Other_Format || kind == QChar::Other_Control ||
            kind == QChar::Separator_Space)
            continue;
        return grapheme;
    }
    return QStringLiteral("空");
}

namespace {

bool turnsDirection(const QString &text)
{
    for (const char32_t c : text.toUcs4()) {
        switch (QChar::direction(c)) {
        case QChar::DirR:
        case QChar::DirAL:
        case QChar::DirAN:
        case QChar::DirLRE:
        case QChar::DirLRO:
        case QChar::DirRLE:
        case QChar::DirRLO:
        case QChar::DirPDF:
        case QChar::DirLRI:
        case QChar::DirRLI:
        case QChar::DirFSI:
        case QChar::DirPDI:
            return true;
        default:
            break;
        }
    }
    return false;
}

} // namespace

QString isolated(const QString &text)
{
    if (!turnsDirection(text))
        return text;
    constexpr char16_t kFirstIsolate = 0x2066; // LRI, RLI, FSI
    constexpr char16_t kLastIsolate = 0x2068;
    constexpr char16_t kPopIsolate = 0x2069;
    QString shown;
    shown.reserve(text.size() + 2);
    shown += QChar(kLastIsolate);
    int open = 0;
    for (const QChar c : text) {
        if (c.unicode() >= kFirstIsolate && c.unicode() <= kLastIsolate) {
            ++open;
        } else if (c.unicode() == kPopIsolate) {
            if (open == 0)
                continue;
            --open;
        }
        shown += c;
    }
    // Embeddings and overrides the text leaves open end with the isolate that holds them.
    shown += QString(open + 1, QChar(kPopIsolate));
    return shown;
}

QString fullTitle(const QString &title)
{
    if (title.size() > 52)
        return leftChars(title, 52) + QStringLiteral("...");
    return title;
}

QString shortTitle(const QString &title)
{
    QString caption;
    if (title.size() <= 10 || title.trimmed().toLower() == QLatin1String("about:blank"))
        caption = title;
    else
        caption = leftChars(title, 8) + QStringLiteral("..");

    const int bytes = TextCodec::byteLength(caption);
    if (bytes < 10) {
        const int blanks = 10 - bytes;
        const int before = (blanks + 1) / 2;
        caption = QString(before, QLatin1Char(' ')) + caption + QString(blanks - before, QLatin1Char(' '));
    }
    if (caption.toLower() == QLatin1String("about:blank"))
        caption = kBlankCaption;
    return caption;
}

QString tabText(const QString &caption)
{
    QString text = caption;
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace PageCaption
