// How words are cut, folded and stemmed, and how a typed query becomes one
// the index can answer.

#include "search/searchquery.h"
#include "search/wordtokenizer.h"

#include <QTest>

namespace {

QStringList foldedWords(WordTokenizer &words, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    words.reset(std::string_view(utf8.constData(), std::size_t(utf8.size())));
    QStringList out;
    while (words.next())
        out << QString::fromStdString(std::string(words.folded()));
    return out;
}

} // namespace

class TestWords : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void folding_data();
    void folding();
    void stems_data();
    void stems();
    void wordPlaces();
    void queries_data();
    void queries();
};

void TestWords::folding_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("words");
    auto row = [](const char *name, const char16_t *text, QStringList words) {
        QTest::newRow(name) << QString::fromUtf16(text) << words;
    };
    row("case", u"Правление БАНКА Bank", {"правление", "банка", "bank"});
    row("yo is ye", u"Ёлка ёЖИК ещё", {"елка", "ежик", "еще"});
    row("short i stays", u"Йод йогурт", {"йод", "йогурт"});
    row("short i typed as two characters", u"и\u0306од", {"йод"});
    row("stress marks", u"пра\u0301вление", {"правление"});
    row("soft hyphens and joiners", u"пра\u00ADвле\u00ADние", {"правление"});
    row("accents on Latin letters", u"Café NAÏVE façade", {"cafe", "naive", "facade"});
    row("letters of their own stay", u"Straße Øre", {"straße", "øre"});
    row("punctuation splits", u"don't e-mail «цитата»; a.b",
        {"don", "t", "e", "mail", "цитата", "a", "b"});
    row("digits belong to words", u"mp3 2024 Ту-154", {"mp3", "2024", "ту", "154"});
    row("ideographs one at a time", u"東京 タワー", {"東", "京", "タ", "ワ", "ー"});
    row("no-break space and tabs split", u"один\u00A0два\tтри", {"один", "два", "три"});
    QTest::newRow("encoded data is no word")
        << QStringLiteral("x %1 y").arg(QString(200, u'a')) << QStringList{"x", "y"};
    row("broken bytes split", u"a\uFFFDb", {"a", "b"});
}

void TestWords::folding()
{
    QFETCH(QString, text);
    QFETCH(QStringList, words);
    WordTokenizer tokenizer;
    QCOMPARE(foldedWords(tokenizer, text), words);
}

void TestWords::stems_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("stem");
    QTest::newRow("russian noun") << QStringLiteral("правлением") << QStringLiteral("правлен");
    QTest::newRow("russian noun, other form")
        << QStringLiteral("Правления") << QStringLiteral("правлен");
    QTest::newRow("russian with yo") << QStringLiteral("ёлками") << QStringLiteral("елк");
    QTest::newRow("russian verb") << QStringLiteral("сообщили") << QStringLiteral("сообщ");
    QTest::newRow("english verb") << QStringLiteral("running") << QStringLiteral("run");
    QTest::newRow("english, not a prefix")
        << QStringLiteral("happiness") << QStringLiteral("happi");
    QTest::newRow("english, same stem") << QStringLiteral("happy") << QStringLiteral("happi");
    QTest::newRow("digits are not stemmed") << QStringLiteral("runs2") << QStringLiteral("runs2");
    QTest::newRow("mixed scripts are not stemmed")
        << QStringLiteral("xбанками") << QStringLiteral("xбанками");
}

void TestWords::stems()
{
    QFETCH(QString, word);
    QFETCH(QString, stem);
    WordTokenizer tokenizer;
    const std::string folded = tokenizer.foldWord(word.toStdString());
    QCOMPARE(QString::fromStdString(tokenizer.stemOf(folded)), stem);
}

void TestWords::wordPlaces()
{
    // Where each word lies, in bytes of the UTF-8 text: snippets and the
    // full-text index both rely on it.
    const QByteArray text = QStringLiteral("  «Пра\u00ADвление» bank—ёлка ").toUtf8();
    WordTokenizer words;
    words.reset(std::string_view(text.constData(), std::size_t(text.size())));
    QStringList found;
    while (words.next())
        found << QString::fromUtf8(text.mid(words.start(), words.end() - words.start()));
    QCOMPARE(found, (QStringList{QStringLiteral("Пра\u00ADвление"), QStringLiteral("bank"),
                                 QStringLiteral("ёлка")}));
    // The rules are fixed for an index once it is built.
    QCOMPARE(WordTokenizer().fingerprint(), words.fingerprint());
}

void TestWords::queries_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expression");
    QTest::newRow("one word") << QStringLiteral("Правление")
                              << QStringLiteral("(\"правление\"* OR \"правление\")");
    QTest::newRow("short words are not beginnings")
        << QStringLiteral("и в") << QStringLiteral("\"и\" AND \"в\"");
    QTest::newRow("phrase") << QStringLiteral("\"Банк России\" ставка")
                            << QStringLiteral("\"банк россии\" AND (\"ставка\"* OR \"ставка\")");
    QTest::newRow("russian quotes, unclosed quote")
        << QStringLiteral("«правление банка» \"ещё раз")
        << QStringLiteral("\"правление банка\" AND \"еще раз\"");
    QTest::newRow("query syntax typed is only words")
        << QStringLiteral("a* OR NEAR(xyz) title:yes -z \"\"")
        << QStringLiteral("\"a\" AND \"or\" AND (\"near xyz\"* OR \"near xyz\") AND "
                          "(\"title yes\"* OR \"title yes\") AND \"z\"");
    QTest::newRow("nothing to look for") << QStringLiteral("  ... — !") << QString();
}

void TestWords::queries()
{
    QFETCH(QString, typed);
    QFETCH(QString, expression);
    WordTokenizer words;
    const SearchQuery query = SearchQuery::parse(typed, words);
    QCOMPARE(query.expression(), expression);
    QCOMPARE(query.isEmpty(), expression.isEmpty());
}

QTEST_GUILESS_MAIN(TestWords)
#include "tst_words.moc"
