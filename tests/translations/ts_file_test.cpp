// The English translation file: it holds exactly the texts the sources mark, and each has its
// English, with the source's placeholders and as many mnemonics.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <set>
#include <vector>

namespace {

struct Message {
    QString context, source, comment, translation, type;
    QString key() const { return context + " | " + source + (comment.isEmpty() ? "" : " (" + comment + ")"); }
};

std::vector<Message> readTs(const QString& path) {
    std::vector<Message> out;
    QFile file(path);
    QXmlStreamReader xml(file.open(QIODevice::ReadOnly) ? &file : nullptr);  // unread: no messages
    QString context;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const auto name = xml.name();
        if (name == u"name") {
            context = xml.readElementText();
        } else if (name == u"message") {
            out.push_back({context});
        } else if (!out.empty() && (name == u"source" || name == u"comment" || name == u"translation")) {
            Message& m = out.back();
            if (name == u"translation") m.type = xml.attributes().value(QLatin1String("type")).toString();
            const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
            (name == u"source" ? m.source : name == u"comment" ? m.comment : m.translation) = text;
        }
    }
    EXPECT_FALSE(xml.hasError()) << path.toStdString() << ": " << xml.errorString().toStdString();
    return out;
}

// %1 .. %99 in order of number, so that a translation may move them.
QStringList placeholders(const QString& text) {
    static const QRegularExpression re(QStringLiteral("%\\d+"));
    QStringList found;
    for (auto it = re.globalMatch(text); it.hasNext();) found << it.next().captured();
    found.sort();
    return found;
}

// "&x" marks a mnemonic; "&&" is a plain "&".
int mnemonics(const QString& text) {
    int n = 0;
    for (qsizetype i = 0; i + 1 < text.size(); ++i)
        if (text[i] == '&') n += text[++i] != '&';
    return n;
}

bool hasJapanese(const QString& text) {
    // CJK punctuation, kana, ideographs, and full- and half-width forms (half-width katakana).
    static const QRegularExpression re(QStringLiteral("[\\x{3000}-\\x{30FF}\\x{4E00}-\\x{9FFF}\\x{FF00}-\\x{FFEF}]"));
    return re.match(text).hasMatch();
}

}  // namespace

TEST(EnglishTranslation, EveryTextHasItsEnglish) {
    const std::vector<Message> messages = readTs(QStringLiteral(KORVEL_TS));
    ASSERT_GT(messages.size(), 300u);  // a damaged file reads as a short one
    QStringList faults;
    for (const Message& m : messages) {
        QString fault;
        if (!m.type.isEmpty())
            fault = m.type;  // "unfinished", "vanished", "obsolete"
        else if (m.translation.trimmed().isEmpty())
            fault = "empty";
        else if (hasJapanese(m.translation))
            fault = "still Japanese";
        else if (placeholders(m.translation) != placeholders(m.source))
            fault = "placeholders " + placeholders(m.source).join(',') + " vs " + placeholders(m.translation).join(',');
        else if (mnemonics(m.translation) != mnemonics(m.source))
            fault = QString("%1 mnemonics, the source has %2").arg(mnemonics(m.translation)).arg(mnemonics(m.source));
        if (!fault.isEmpty()) faults << m.key() + " -> \"" + m.translation + "\": " + fault;
    }
    EXPECT_TRUE(faults.isEmpty()) << "translations/korvel_en.ts needs English for:\n"
                                  << faults.join('\n').toStdString();
}

// lupdate over the sources, as the update target runs it, into a new file: the same texts.
TEST(EnglishTranslation, HoldsExactlyTheTextsOfTheSources) {
    QTemporaryDir dir;
    const QString fresh = dir.filePath("fresh_en.ts");
    QStringList args = QStringLiteral(KORVEL_LUPDATE_ARGS).split('|');
    args << "-silent" << "-ts" << fresh;
    QProcess lupdate;
    lupdate.start(QStringLiteral(KORVEL_LUPDATE), args);
    ASSERT_TRUE(lupdate.waitForFinished(120000)) << lupdate.errorString().toStdString();
    ASSERT_EQ(lupdate.exitCode(), 0) << lupdate.readAllStandardError().toStdString();

    std::set<QString> inSources, inFile;
    for (const Message& m : readTs(fresh)) inSources.insert(m.key());
    for (const Message& m : readTs(QStringLiteral(KORVEL_TS)))
        if (m.type != "vanished" && m.type != "obsolete") inFile.insert(m.key());
    ASSERT_FALSE(inSources.empty());
    QStringList added, gone;
    for (const QString& k : inSources)
        if (!inFile.count(k)) added << "  new:  " + k;
    for (const QString& k : inFile)
        if (!inSources.count(k)) gone << "  gone: " + k;
    EXPECT_TRUE(added.isEmpty() && gone.isEmpty())
        << "translations/korvel_en.ts is out of date with the sources:\n"
        << (added + gone).join('\n').toStdString()
        << "\nRun the korvel_update_ts target, then give each new text its English (drop type=\"unfinished\").";
}
