// The text the index takes from a page: in whatever charset the page was
// saved in, from .mht web archives, without what a reader never sees.

#include "lang/cp1251.h"
#include "search/htmltext.h"
#include "search/markuptrimmer.h"
#include "search/mhtreader.h"
#include "search/pagecharset.h"
#include "search/pageextractor.h"
#include "seedcorpus.h"

#include <QElapsedTimer>
#include <QStringEncoder>
#include <QTest>

namespace {

const QString kRussian = QStringLiteral(
    "Правление банка сообщило сегодня о новых условиях кредитования для малого бизнеса. "
    "По словам председателя, изменения вступят в силу с первого числа следующего месяца. "
    "Ранее эксперты ожидали, что ставки останутся прежними, однако рост цен заставил "
    "регулятора пересмотреть свою политику. Ещё одна новость: ёлки подешевели.");

QByteArray encoded(const QString &text, const char *charset)
{
    if (qstrcmp(charset, "windows-1251") == 0)
        return *Cp1251::encode(text);
    return QStringEncoder(charset).encode(text);
}

QByteArray page(const QString &head, const QString &body)
{
    return QStringLiteral("<!DOCTYPE html><html><head>%1<title>Новости банка</title></head>"
                          "<body><h1>Главное</h1><p>%2</p></body></html>")
        .arg(head, body)
        .toUtf8();
}

// A web archive as browsers save it, the page in one part and a picture in another.
QByteArray webArchive(const QByteArray &html, const QByteArray &charset, const QByteArray &encoding,
                      bool pageSecond = false)
{
    QByteArray encodedHtml = encoding == "base64" ? html.toBase64() : QByteArray();
    if (encoding == "quoted-printable") {
        for (const char c : html) {
            const auto u = static_cast<unsigned char>(c);
            if (u >= 0x80 || c == '=')
                encodedHtml += '=' + QByteArray::number(u, 16).toUpper().rightJustified(2, '0');
            else
                encodedHtml += c;
            if (encodedHtml.size() - encodedHtml.lastIndexOf('\n') > 70)
                encodedHtml += "=\r\n"; // a soft line break
        }
    }
    const QByteArray pagePart = "Content-Type: text/html; charset=\"" + charset +
                                "\"\r\nContent-Transfer-Encoding: " + encoding +
                                "\r\nContent-ID: <page@x>\r\n\r\n" + encodedHtml + "\r\n";
    const QByteArray picturePart =
        "Content-Type: image/png\r\nContent-Transfer-Encoding: base64\r\n"
        "\r\niVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk\r\n";
    QByteArray mht = "From: <Saved by the browser>\r\nMIME-Version: 1.0\r\n"
                     "Content-Type: multipart/related;\r\n\ttype=\"text/html\";\r\n"
                     "\tboundary=\"----=_Part_1\"";
    if (pageSecond)
        mht += ";\r\n\tstart=\"<page@x>\"";
    mht += "\r\n\r\n";
    const QList<QByteArray> parts = pageSecond ? QList<QByteArray>{picturePart, pagePart}
                                               : QList<QByteArray>{pagePart, picturePart};
    for (const QByteArray &part : parts)
        mht += "------=_Part_1\r\n" + part;
    return mht + "------=_Part_1--\r\n";
}

} // namespace

class TestPageText : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void charsets_data();
    void charsets();
    void webArchives_data();
    void webArchives();
    void onlyVisibleText_data();
    void onlyVisibleText();
    void trimmedForTheParser_data();
    void trimmedForTheParser();
    void deepNestingFlattened_data();
    void deepNestingFlattened();
    void hostilePagesEndWell();
};

void TestPageText::charsets_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QByteArray>("charset");

    const QString body = QStringLiteral("<html><head>%1<title>Новости</title></head><body><p>") +
                         kRussian + QStringLiteral("</p></body></html>");
    auto html = [&](const QString &head) { return body.arg(head); };
    QTest::newRow("utf-8 declared")
        << html(QStringLiteral("<meta charset=\"utf-8\">")).toUtf8() << QByteArray("utf-8");
    QTest::newRow("utf-8 undeclared") << html(QString()).toUtf8() << QByteArray("utf-8");
    QTest::newRow("windows-1251 by http-equiv")
        << encoded(html(QStringLiteral("<META HTTP-EQUIV=\"Content-Type\" "
                                       "CONTENT=\"text/html; charset=windows-1251\">")),
                   "windows-1251")
        << QByteArray("windows-1251");
    QTest::newRow("windows-1251 by meta charset, old label")
        << encoded(html(QStringLiteral("<meta charset=cp1251>")), "windows-1251")
        << QByteArray("windows-1251");
    QTest::newRow("windows-1251 undeclared")
        << encoded(html(QString()), "windows-1251") << QByteArray("windows-1251");
    QTest::newRow("koi8-r declared")
        << encoded(html(QStringLiteral("<meta http-equiv=Content-Type content='text/html; "
                                       "charset=koi8-r'>")),
                   "koi8-r")
        << QByteArray("koi8-r");
    QTest::newRow("koi8-r undeclared")
        << encoded(html(QString()), "koi8-r") << QByteArray("koi8-r");
    QTest::newRow("cp866 undeclared") << encoded(html(QString()), "ibm866") << QByteArray("ibm866");
    QTest::newRow("byte-order mark beats the meta tag")
        << QByteArray("\xEF\xBB\xBF") +
               html(QStringLiteral("<meta charset=\"windows-1251\">")).toUtf8()
        << QByteArray("utf-8");
    QTest::newRow("utf-16 with byte-order mark")
        << encoded(QChar(0xFEFF) + html(QString()), "utf-16le") << QByteArray("utf-16le");
    QTest::newRow("a declaration in a comment is not one")
        << encoded(html(QStringLiteral("<!-- <meta charset=\"koi8-r\"> -->")), "windows-1251")
        << QByteArray("windows-1251");
}

void TestPageText::charsets()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QByteArray, charset);
    SeedCorpus::keep("pagetext", bytes);
    const PageExtractor::PageText text = PageExtractor::extract(bytes, QStringLiteral("p.htm"));
    QCOMPARE(text.charset, charset);
    QCOMPARE(QString::fromUtf8(text.title), QStringLiteral("Новости"));
    QCOMPARE(QString::fromUtf8(text.text), kRussian);
}

void TestPageText::webArchives_data()
{
    QTest::addColumn<QByteArray>("mht");
    const QByteArray html = page(QString(), kRussian);
    QTest::newRow("quoted-printable, utf-8") << webArchive(html, "utf-8", "quoted-printable");
    QTest::newRow("quoted-printable, windows-1251") << webArchive(
        encoded(QString::fromUtf8(html), "windows-1251"), "windows-1251", "quoted-printable");
    QTest::newRow("base64, koi8-r")
        << webArchive(encoded(QString::fromUtf8(html), "koi8-r"), "koi8-r", "base64");
    QTest::newRow("page named as the start part") << webArchive(html, "utf-8", "base64", true);
    // Saved by some programs as a single part with no multipart wrapper.
    QTest::newRow("single part")
        << "MIME-Version: 1.0\r\nContent-Type: text/html; charset=utf-8\r\n"
           "Content-Transfer-Encoding: quoted-printable\r\n\r\n" +
               MhtReader::decodeQuotedPrintable(html).replace("=", "=3D");
}

void TestPageText::webArchives()
{
    QFETCH(QByteArray, mht);
    SeedCorpus::keep("mht", mht);
    const PageExtractor::PageText text = PageExtractor::extract(mht, QStringLiteral("page.MHT"));
    QCOMPARE(QString::fromUtf8(text.title), QStringLiteral("Новости банка"));
    QCOMPARE(QString::fromUtf8(text.text), QStringLiteral("Главное ") + kRussian);
}

void TestPageText::onlyVisibleText_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("text");
    QTest::newRow("script, style, noscript, template")
        << QStringLiteral("<script>var hidden = 'скрипт';</script><style>p{color:red}</style>"
                          "<noscript>включите</noscript><template><p>шаблон</p></template>"
                          "<p>видно</p>")
        << QStringLiteral("видно");
    QTest::newRow("hidden by attribute and inline style")
        << QStringLiteral("<div hidden>нет</div><span style=\"DISPLAY : None\">нет</span>"
                          "<p style='color:red; visibility: hidden'>нет</p><p "
                          "style=\"display:block\">да</p>")
        << QStringLiteral("да");
    QTest::newRow("entities") << QStringLiteral(
                                     "<p>a&nbsp;&lt;b&gt; &amp; &#1055;&#x440;и&copy;</p>")
                              << QStringLiteral("a <b> & При©");
    QTest::newRow("inline elements join a word, blocks part words")
        << QStringLiteral("<p><b>Пра</b>вле<i>ние</i></p><p>банка</p><div>один<br>два</div>"
                          "<table><tr><td>три</td><td>четыре</td></tr></table>")
        << QStringLiteral("Правление банка один два три четыре");
    QTest::newRow("comments, frames' fallback, picture titles in svg")
        << QStringLiteral("<!-- комментарий --><iframe>запасной</iframe>"
                          "<svg><title>значок</title><text>подпись</text></svg>")
        << QStringLiteral("подпись");
    QTest::newRow("white space collapsed")
        << QStringLiteral("\n  <p>  много \t\r\n пробелов  </p>\n\n  ")
        << QStringLiteral("много пробелов");
}

void TestPageText::onlyVisibleText()
{
    QFETCH(QString, body);
    QFETCH(QString, text);
    const QByteArray html = (QStringLiteral("<html><head><meta name=description content=\"мета\">"
                                            "<title>T</title><style>b{}</style></head><body>") +
                             body + QStringLiteral("</body></html>"))
                                .toUtf8();
    SeedCorpus::keep("pagetext", html);
    const HtmlText::Result result = HtmlText::extract(html);
    QCOMPARE(QString::fromUtf8(result.text), text);
    QCOMPARE(QString::fromUtf8(result.title), QStringLiteral("T"));
}

void TestPageText::trimmedForTheParser_data()
{
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<QByteArray>("cut");
    QTest::newRow("markup inside a script is script")
        << QByteArray("<script>var a = '<p>x</p>';</script><p>y</p>")
        << QByteArray("<script></script><p>y</p>");
    QTest::newRow("end tag in any case and with blanks")
        << QByteArray("<SCRIPT type=\"a>b\">x</SCRIPT ><Style media=all>p{}</sTyle>")
        << QByteArray("<script></SCRIPT ><style></sTyle>");
    QTest::newRow("a script that opens a comment is left to the parser")
        << QByteArray("<script><!-- document.write('<script>x</script>') --></script>")
        << QByteArray("<script><!-- document.write('<script>x</script>') --></script>");
    QTest::newRow("no script inside a title, a comment or an attribute")
        << QByteArray(
               "<title><script>t</script></title><!-- <script> --><a title=\"<script>\">a</a>")
        << QByteArray(
               "<title><script>t</script></title><!-- <script> --><a>a</a>");
    QTest::newRow("a script never closed runs to the end")
        << QByteArray("<p>a</p><script>var x = 1;") << QByteArray("<p>a</p><script>");
    QTest::newRow("names that only begin like script")
        << QByteArray("<scripts>x</scripts><stylesheet>y</stylesheet>")
        << QByteArray("<scripts>x</scripts><stylesheet>y</stylesheet>");
}

void TestPageText::trimmedForTheParser()
{
    QFETCH(QByteArray, html);
    QFETCH(QByteArray, cut);
    SeedCorpus::keep("pagetext", html);
    QCOMPARE(MarkupTrimmer::forParser(html), cut);
    // Cutting them out changes nothing a reader sees.
    QCOMPARE(HtmlText::extract(cut).text, HtmlText::extract(html).text);
}

void TestPageText::deepNestingFlattened_data()
{
    QTest::addColumn<QByteArray>("html");
    QTest::addColumn<bool>("flattened");
    const QByteArray deep = QByteArray("<div>").repeated(MarkupTrimmer::kMaxDepth + 10);
    QTest::newRow("nested divs") << deep + "глубоко" << true;
    QTest::newRow("slash means nothing in html")
        << QByteArray("<div/>").repeated(5000) + "глубоко" << true;
    // What old pages leave open is closed by the next of its kind or by its parent.
    QTest::newRow("cells left open with fonts in them")
        << "<table>" + QByteArray("<tr><td><font size=2>глубоко</td><td><b>x").repeated(3000) +
               "</table>"
        << false;
    QTest::newRow("paragraphs and items left open")
        << QByteArray("<p>глубоко<ul><li>a<li>b</ul>").repeated(3000) << false;
    QTest::newRow("icons in svg close themselves")
        << "<svg>" + QByteArray("<path d=\"M0 0\"/>").repeated(3000) + "</svg>глубоко" << false;
}

void TestPageText::deepNestingFlattened()
{
    QFETCH(QByteArray, html);
    QFETCH(bool, flattened);
    SeedCorpus::keep("pagetext", html);
    bool wasFlattened = false;
    const QByteArray trimmed = MarkupTrimmer::forParser(html, &wasFlattened);
    QCOMPARE(wasFlattened, flattened);
    // Flattened or not, the text is all there.
    QVERIFY(QString::fromUtf8(HtmlText::extract(html).text).contains(QStringLiteral("глубоко")));
    QCOMPARE(HtmlText::extract(trimmed).text, HtmlText::extract(html).text);
}

void TestPageText::hostilePagesEndWell()
{
    // Nesting that would take the parser minutes and the stack down.
    QElapsedTimer timer;
    timer.start();
    const QByteArray deep = QByteArray("<div>").repeated(200000) + "глубоко";
    QCOMPARE(QString::fromUtf8(HtmlText::extract(deep).text), QStringLiteral("глубоко"));
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));

    // Bytes that are no page at all, and broken MIME.
    QByteArray noise(100000, Qt::Uninitialized);
    for (qsizetype i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919) % 251);
    PageExtractor::extract(noise, QStringLiteral("noise.htm"));
    PageExtractor::extract(noise, QStringLiteral("noise.mht"));
    PageExtractor::extract("Content-Type: multipart/related; boundary=\"x\"\r\n\r\n--x\r\n",
                           QStringLiteral("cut.mht"));
    const PageExtractor::PageText text =
        PageExtractor::extract("<p>not a web archive</p>", QStringLiteral("page.mht"));
    QCOMPARE(text.text, QByteArray("not a web archive"));
}

QTEST_GUILESS_MAIN(TestPageText)
#include "tst_pagetext.moc"
