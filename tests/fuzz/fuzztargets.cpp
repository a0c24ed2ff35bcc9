#include "fuzztargets.h"

#include "adblock/filtercache.h"
#include "adblock/filterset.h"
#include "core/inidocument.h"
#include "instance/instanceprotocol.h"
#include "core/listfile.h"
#include "core/textcodec.h"
#include "navigation/addressnormalizer.h"

#include <algorithm>

namespace {

// Read, write one key, read: the key reads back, and the bytes outside the one line the
// write touched are the old ones. (A file of mixed encodings may be guessed otherwise once
// the write took away its last byte of the other kind; the value is then still written in
// the file's own encoding.)
void ini(const QByteArray &input)
{
    IniDocument document(input);
    const auto before = document.section(u"RunData");
    const QString value = QStringLiteral("值 1");
    document.setValue(QStringLiteral("RunData"), QStringLiteral("FuzzKey"), value);
    const QByteArray &after = document.bytes();
    const IniDocument reread(after);
    if (reread.isUtf8() == document.isUtf8())
        FUZZ_REQUIRE(reread.value(u"RunData", u"FuzzKey") == value);
    else
        FUZZ_REQUIRE(after.contains("=" + (document.isUtf8() ? value.toUtf8() : TextCodec::encode(value))));
    qsizetype prefix = 0;
    while (prefix < input.size() && prefix < after.size() && input[prefix] == after[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < input.size() - prefix && suffix < after.size() - prefix &&
           input[input.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const QByteArray replaced = input.mid(prefix, input.size() - prefix - suffix);
    FUZZ_REQUIRE(!replaced.contains('\n'));
    // Every other key of the section keeps its value.
    if (reread.isUtf8() != document.isUtf8())
        return;
    const auto again = reread.section(u"RunData");
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        if (it.key() != QLatin1String("fuzzkey"))
            FUZZ_REQUIRE(again.value(it.key()) == it.value());
}

// Decoded lines have no line ends, and encoding them gives the same lines back.
void list(const QByteArray &input)
{
    const QStringList lines = ListFile::decode(input);
    for (const QString &line : lines)
        FUZZ_REQUIRE(!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')));
    const QByteArray encoded = ListFile::encode(lines);
    FUZZ_REQUIRE(encoded.isEmpty() || encoded.endsWith("\r\n"));
    FUZZ_REQUIRE(ListFile::decode(encoded) == lines);
    for (const QString &line : lines) {
        const ListFile::TitledAddress parts = ListFile::split(line);
        FUZZ_REQUIRE(!parts.title.contains(QLatin1Char('#')));
    }
}

// Whatever is typed becomes an address or a search, never nothing, and completing or
// dropping it never fails.
void address(const QByteArray &input)
{
    const QString text = QString::fromUtf8(input).trimmed();
    if (text.isEmpty())
        return;
    FUZZ_REQUIRE(!AddressNormalizer::normalize(text).isEmpty());
    for (Qt::KeyboardModifiers modifiers : {Qt::KeyboardModifiers(Qt::ControlModifier), Qt::KeyboardModifiers(Qt::AltModifier),
                                            Qt::KeyboardModifiers(Qt::ShiftModifier), Qt::KeyboardModifiers(Qt::NoModifier)}) {
        if (const std::optional<QString> completed = AddressNormalizer::complete(text, modifiers))
            FUZZ_REQUIRE(!completed->isEmpty());
    }
    if (const std::optional<QString> dropped = AddressNormalizer::droppedAddress(text))
        FUZZ_REQUIRE(!dropped->isEmpty());
}

// Any bytes on the socket: a message never reaches past what arrived and never holds more
// than the longest text; what a second start frames comes out whole, in either length
// form, or is refused as a whole.
void instance(const QByteArray &input)
{
    QByteArrayView rest(input);
    while (!rest.isEmpty()) {
        const InstanceProtocol::Unframed message = InstanceProtocol::unframe(rest);
        if (message.status != InstanceProtocol::Unframed::Message)
            break;
        FUZZ_REQUIRE(message.used >= 2 && message.used <= rest.size());
        FUZZ_REQUIRE(message.text.size() <= InstanceProtocol::kMaxChars);
        rest = rest.sliced(message.used);
    }
    const QString text = QString::fromUtf8(input);
    // Long enough for the four-byte length as well.
    const QString longer = text.repeated(text.isEmpty() ? 1 : InstanceProtocol::kShortLimit / int(text.size()) + 1);
    for (const QString &sent : {text, longer}) {
        const QByteArray framed = InstanceProtocol::frame(sent);
        if (sent.size() > InstanceProtocol::kMaxChars) {
            FUZZ_REQUIRE(framed.isEmpty());
            continue;
        }
        const InstanceProtocol::Unframed back = InstanceProtocol::unframe(framed);
        FUZZ_REQUIRE(back.status == InstanceProtocol::Unframed::Message && back.used == framed.size());
        FUZZ_REQUIRE(back.text == sent);
    }
}

// A filter list of any text: added, indexed and asked without fault, and the same after the
// compiled cache; the style sheet that hides holds only its own rules: no brace or comment
// of a selector opens or closes one.
void filters(const QByteArray &input)
{
    FilterSet set;
    set.addList(std::string_view(input.constData(), size_t(input.size())));
    set.finish();
    // Kept in the cache and read back, the set decides the same; the bytes themselves, read
    // as a cache, are refused or read without fault.
    const std::shared_ptr<FilterSet> back = FilterCache::decode(FilterCache::encode(set));
    FUZZ_REQUIRE(back);
    FilterCache::decode(input);
    for (const char *url : {"http://ads.example.com/banner.gif?x=1", "https://example.org/", "http://a.b/c/d.js"}) {
        const FilterSet::Decision a = set.decide(url, "https://example.org/page.html", RequestType::Script,
                                                 "https://example.org/");
        const FilterSet::Decision b = back->decide(url, "https://example.org/page.html", RequestType::Script,
                                                   "https://example.org/");
        FUZZ_REQUIRE(a.block == b.block && (a.rule ? a.rule->text : "") == (b.rule ? b.rule->text : ""));
        set.decide(url, "", RequestType::Document);
    }
    const std::string sheet = set.hidingStyleSheet("https://example.org/page.html");
    FUZZ_REQUIRE(back->hidingStyleSheet("https://example.org/page.html") == sheet);
    // As CSS reads it: outside quoted strings (and escapes), a brace only where a rule's own
    // body begins, each body ending its line, and every string closed on its line. (A
    // selector may quote braces, even a whole body: inside a string it is text.)
    const std::string body = "{display:none!important}\n";
    const size_t rules = size_t(std::count(sheet.begin(), sheet.end(), '\n'));
    size_t bodies = 0;
    char quote = 0;
    for (size_t i = 0; i < sheet.size(); ++i) {
        const char c = sheet[i];
        if (c == '\\') {
            ++i;
            continue;
        }
        if (quote) {
            FUZZ_REQUIRE(c != '\n');
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '{') {
            FUZZ_REQUIRE(sheet.compare(i, body.size(), body) == 0);
            ++bodies;
            i += body.size() - 1;
        } else {
            FUZZ_REQUIRE(c != '}' && !(c == '/' && i + 1 < sheet.size() && sheet[i + 1] == '*'));
        }
    }
    FUZZ_REQUIRE(quote == 0 && bodies == rules);
}

const FuzzTarget kTargets[] = {
    {"ini", ini, {"[RunData]", "[", "]", "=", "\r\n", "\n", "\r", "FuzzKey=", "\xEF\xBB\xBF", ";", "\xD6\xD0"}},
    {"list", list, {"\r\n", "\r", "\n", "#", "http://", "\xEF\xBB\xBF", "\xD6\xD0\xCE\xC4", "\x81\x30\x81\x30"}},
    {"address", address, {"http://", "www.", ".com", "file:", "/", "\\", "C:", "localhost", ".htm", "javascript:", " ", "%"}},
    {"instance", instance, {QByteArray("\x00\x05", 2), QByteArray("\x03\xfc", 2), QByteArray("\xff\xff", 2),
                              QByteArray("\x80\x00\x80\x00", 4), QByteArray("\x80\x03\x00\x01", 4), "0***0", "http://"}},
    {"filters", filters, {"||", "^", "$", "domain=", "third-party", "##", "#@#", "@@", "|", "*", "~", ",", "/", "\n",
                          "badfilter", "important", "script", "</style>"}},
};

} // namespace

namespace FuzzTargets {

const FuzzTarget *find(const QString &name)
{
    for (const FuzzTarget &target : kTargets)
        if (name == QLatin1String(target.name))
            return &target;
    return nullptr;
}

} // namespace FuzzTargets
