// What the user types into the search field: split into words and phrases,
// folded and stemmed, turned into the index's query and run against the index
// of a small catalogue built at start, with snippets and marks for every page
// found. The same bytes also go through the tokenizer as a page's text would.

#include "lang/cp1251.h"
#include "pagechecks.h"
#include "search/searchindex.h"
#include "storage/folderzip.h"
#include "storage/listfile.h"
#include "zip/zipwriter.h"

#include <QCoreApplication>
#include <QDir>
#include <memory>

namespace {

struct Page {
    const char *file;
    const char *title;
    QByteArray html;
};

QByteArray html(const char *title, const char *body)
{
    return QByteArray("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>") + title +
           "</title></head><body><p>" + body + "</p></body></html>";
}

QByteArray windows1251(const QString &text)
{
    return *Cp1251::encode(text);
}

// Writes the zip with the program's own writer, a list file naming the pages.
void writeArchive(const QString &zipPath, const QList<Page> &pages)
{
    const QString folder = zipPath + QStringLiteral(".files");
    QDir().mkpath(folder);
    QStringList titles;
    QStringList files;
    auto add = [&](const QString &name, const QByteArray &bytes) {
        QFile file(folder + u'/' + name);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(), name);
        file.close();
    };
    for (const Page &page : pages) {
        add(QString::fromUtf8(page.file), page.html);
        titles << QString::fromUtf8(page.title);
        files << QString::fromUtf8(page.file);
    }
    add(QLatin1String(ListFile::FileName), ListFile::compose(titles, files));
    ZipWriter writer;
    const auto written = FolderZip::write(folder, zipPath, writer);
    FUZZ_CHECK(written, written ? QString() : written.failure().detail);
}

SearchIndex *g_index = nullptr;

void buildIndex()
{
    const QDir scratch(FuzzSupport::scratch().path());
    const QString news = scratch.filePath(QStringLiteral("news.zip"));
    const QString sport = scratch.filePath(QStringLiteral("sport.zip"));
    writeArchive(news,
                 {{"bank.htm", "Отчёт правления",
                   html("Отчёт правления", "Правление банка сообщило о новых условиях "
                                           "кредитования. Ёлки в лесу подешевели ещё сильнее.")},
                  {"old.htm", "Старая страница",
                   "<html><head><title>" + windows1251(QStringLiteral("Архив")) +
                       "</title></head><body>" +
                       windows1251(QStringLiteral("Правильный выбор банковских услуг, "
                                                  "прав ли банк?")) +
                       "</body></html>"},
                  {"saved.mht", "Сохранённая",
                   "MIME-Version: 1.0\r\nContent-Type: multipart/related; "
                   "boundary=\"b\"\r\n\r\n--b\r\nContent-Type: text/html; charset=utf-8\r\n"
                   "Content-Transfer-Encoding: quoted-printable\r\n\r\n<p>=D0=91=D0=B0=D0=BD=D0=BA "
                   "and the river bank</p>\r\n--b--\r\n"}});
    writeArchive(sport,
                 {{"run.htm", "Sports",
                   html("Sports", "The runners were running along the river. Happiness! Café "
                                  "au lait. 2024 results: 10 km in 35:12.")},
                  {"страница.html", "Погода",
                   html("Погода", "Сегодня в Москве &laquo;солнечно&raquo;, ветер северный. "
                                  "中文 текст и English words.")}});

    g_index = new SearchIndex(scratch.filePath(QStringLiteral("index")));
    g_index->setIndexingPriority(QThread::NormalPriority);
    g_index->catalogueChanged({{news, QStringLiteral("Новости"), QStringLiteral("Пресса")},
                               {sport, QStringLiteral("Спорт"), QStringLiteral("Разное")}});
    FUZZ_CHECK(g_index->waitUntilIdle(120000), QStringLiteral("indexing did not finish"));
    FUZZ_CHECK(!g_index->search(QStringLiteral("банк")).isEmpty(),
               QStringLiteral("the catalogue was not indexed"));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    new QCoreApplication(*argc, *argv); // for the index's thread and its database
    buildIndex();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const FuzzSupport::CpuBudget budget;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<SearchHit> hits = g_index->search(QString::fromUtf8(bytes));
    for (const SearchHit &hit : hits) {
        PageChecks::checkMarks(hit.snippetMarks, hit.snippet, "snippet");
        PageChecks::checkMarks(hit.titleMarks, hit.pageTitle, "title");
    }

    static WordTokenizer words;
    words.reset(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    qsizetype previousEnd = 0;
    while (words.next()) {
        FUZZ_CHECK(words.start() >= previousEnd && words.start() < words.end() &&
                       words.end() <= bytes.size(),
                   QStringLiteral("a word at %1-%2").arg(words.start()).arg(words.end()));
        FUZZ_CHECK(!words.folded().empty() &&
                       words.folded().size() <= std::size_t(WordTokenizer::kMaxWordBytes),
                   QStringLiteral("a word of %1 bytes").arg(words.folded().size()));
        FUZZ_CHECK(!words.stem().empty(), QStringLiteral("a word without a stem"));
        previousEnd = words.end();
    }
    return 0;
}
