// Full-text search over a generated catalogue: indexing from scratch, the
// index's size, query latency, the same queries answered by scanning the
// archives without an index, and what re-indexing costs after one page of
// one archive changed.
//
//   searchbench [--pages N] [--archives N] [--seed N] [--scan-queries N] [--dir PATH] [--keep]
//               [--corpus PATH] [--check-only]
//
// The catalogue (see searchcorpus.h) is generated into a temporary folder
// under /tmp (or --dir) and deleted afterwards unless --keep is given;
// --corpus runs on a folder kept before (with the same --pages, --archives
// and --seed) instead of generating one; --check-only stops after the check
// of all archives.
// Indexing runs at normal priority here (the program runs it at idle
// priority, where a busy machine would make the time meaningless); wall and
// CPU times are both printed, since other work on the machine slows the
// first but not the second.

#include "check/collectioncheck.h"
#include "search/archiveindexer.h"
#include "search/mhtreader.h"
#include "search/pagecharset.h"
#include "search/pageextractor.h"
#include "search/searchindex.h"
#include "searchcorpus.h"
#include "zip/zipreader.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtConcurrent/QtConcurrentMap>
#include <cstdarg>
#include <cstdio>
#include <sys/resource.h>

namespace {

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double percentile(QList<double> values, double p)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const double rank = p * double(values.size() - 1);
    const auto low = qsizetype(std::floor(rank));
    const auto high = qsizetype(std::ceil(rank));
    return values[low] + (values[high] - values[low]) * (rank - double(low));
}

QString mb(qint64 bytes)
{
    return QString::number(double(bytes) / 1e6, 'f', 1) + QStringLiteral(" MB");
}

qint64 folderBytes(const QString &folder, const QString &suffix = QString())
{
    qint64 total = 0;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (suffix.isEmpty() || it.fileName().endsWith(suffix))
            total += it.fileInfo().size();
    }
    return total;
}

void line(const char *format, ...) __attribute__((format(printf, 1, 2)));
void line(const char *format, ...)
{
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::printf("\n");
    std::fflush(stdout);
}

// Lower case for the scan: ASCII and the Cyrillic capitals (UTF-8 D0 90..D0 AF,
// and Ё), in place.
void lowerUtf8(QByteArray &text)
{
    char *p = text.data();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(p[i]);
        if (c >= 'A' && c <= 'Z') {
            p[i] = char(c + 32);
        } else if (c == 0xD0 && i + 1 < n) {
            const auto d = static_cast<unsigned char>(p[i + 1]);
            if (d >= 0x90 && d <= 0x9F) {
                p[i + 1] = char(d + 0x20); // А..П -> а..п
            } else if (d >= 0xA0 && d <= 0xAF) {
                p[i] = char(0xD1);
                p[i + 1] = char(d - 0x20); // Р..Я -> р..я
            } else if (d == 0x81) {
                p[i] = char(0xD1);
                p[i + 1] = char(0x91); // Ё -> ё
            }
            ++i;
        }
    }
}

struct Query {
    QString text;              // as typed into the search field
    QList<QByteArray> needles; // for the scan: lower-case words or the phrase
};

// The ripgrep way: every page of every archive unpacked in memory (decoded
// from its charset, web archives from their MIME part) and searched for the
// query's words, in lower case. Returns the pages that hold all of them.
int scan(const QStringList &zips, const Query &query)
{
    int found = 0;
    ZipReader reader;
    for (const QString &zip : zips) {
        if (!reader.open(zip))
            continue;
        for (qsizetype i = 0; i < reader.entries().size(); ++i) {
            const ZipReader::Entry &entry = reader.entries()[i];
            if (!PageExtractor::isPageFileName(entry.name))
                continue;
            auto read = reader.read(i, ArchiveIndexer::kMaxEntryBytes);
            if (!read)
                continue;
            QByteArray bytes = std::move(*read);
            QByteArray declared;
            if (PageExtractor::isWebArchiveName(entry.name)) {
                MhtReader::Document document;
                if (MhtReader::rootDocument(bytes, document)) {
                    bytes = document.body;
                    declared = document.charset;
                }
            }
            QByteArray text = PageCharset::toUtf8(bytes, declared).utf8;
            lowerUtf8(text);
            bool all = true;
            for (const QByteArray &needle : query.needles)
                all = all && text.contains(needle);
            found += all ? 1 : 0;
        }
    }
    return found;
}

// The check of all archives against Info-ZIP testing the same zips
// (unzip -tq, one process a zip, one after the other): both inflate every
// entry and check its CRC. Best of two runs each, alternating, on the zips
// the generation left in the page cache.
void checkRow(const QList<CatalogueArchive> &catalogue)
{
    CheckInput input;
    for (const CatalogueArchive &a : catalogue)
        input.archives.append({a.section, a.name, a.zipPath});
    double unzipBest = 1e30;
    double checkBest = 1e30;
    double checkCpu = 0;
    CheckReport report;
    bool unzipOk = true;
    QElapsedTimer timer;
    for (int run = 0; run < 2; ++run) {
        timer.start();
        for (const CatalogueArchive &a : catalogue) {
            QProcess unzip;
            unzip.start(QStringLiteral("unzip"), {QStringLiteral("-tq"), a.zipPath});
            unzipOk = unzip.waitForFinished(-1) && unzip.exitStatus() == QProcess::NormalExit &&
                      unzip.exitCode() == 0 && unzipOk;
        }
        unzipBest = std::min(unzipBest, double(timer.nsecsElapsed()) / 1e9);
        const double cpu0 = cpuSeconds();
        timer.restart();
        report = CollectionCheck::run(input);
        const double seconds = double(timer.nsecsElapsed()) / 1e9;
        if (seconds < checkBest) {
            checkBest = seconds;
            checkCpu = cpuSeconds() - cpu0;
        }
    }
    line("check of all archives               %8.2f s wall  %8.2f s CPU   (%d archives, %lld "
         "pages listed, %lld problems)",
         checkBest, checkCpu, report.archivesChecked, report.pagesListed,
         qlonglong(report.problems.size()));
    line("  unzip -tq over the same zips      %8.2f s wall%s", unzipBest,
         unzipOk ? "" : "   (unzip FOUND ERRORS)");
    line("  ratio (check / unzip -tq)         %8.2f x  (target <= 1.2)", checkBest / unzipBest);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    auto option = [&](const char *name, int fallback) {
        const qsizetype i = args.indexOf(QLatin1String(name));
        return i >= 0 && i + 1 < args.size() ? args[i + 1].toInt() : fallback;
    };
    const int pages = option("--pages", 10000);
    const int archives = option("--archives", qMax(1, pages / 50));
    const auto seed = quint32(option("--seed", 1));
    const int scanQueries = option("--scan-queries", 20);
    const bool keep = args.contains(QLatin1String("--keep"));
    const bool checkOnly = args.contains(QLatin1String("--check-only"));
    const qsizetype dirAt = args.indexOf(QLatin1String("--dir"));
    const QString base =
        dirAt >= 0 && dirAt + 1 < args.size() ? args[dirAt + 1] : QStringLiteral("/tmp");

    const qsizetype corpusAt = args.indexOf(QLatin1String("--corpus"));
    const QString corpus =
        corpusAt >= 0 && corpusAt + 1 < args.size() ? args[corpusAt + 1] : QString();
    QTemporaryDir temporary(base + QStringLiteral("/searchbench-XXXXXX"));
    temporary.setAutoRemove(!keep && corpus.isEmpty());
    if (corpus.isEmpty() && !temporary.isValid()) {
        line("searchbench: cannot make a folder under %s", qPrintable(base));
        return 1;
    }
    const QDir work(corpus.isEmpty() ? temporary.path() : corpus);
    const QString zipFolder = work.filePath(QStringLiteral("archives"));
    const QString indexFolder = work.filePath(QStringLiteral("index"));
    QDir(indexFolder).removeRecursively();
    QDir().mkpath(zipFolder);

    // --- The catalogue -------------------------------------------------------
    const SearchCorpus::Generator generator(seed);
    QList<int> numbers;
    for (int a = 0; a < archives; ++a)
        numbers << a;
    auto pagesOf = [&](int archive) {
        return pages / archives + (archive < pages % archives ? 1 : 0);
    };
    auto zipOf = [&](int archive) {
        return QStringLiteral("%1/archive%2.zip")
            .arg(zipFolder)
            .arg(archive, 4, 10, QLatin1Char('0'));
    };
    std::vector<std::vector<std::string>> phrases{std::size_t(archives)};
    std::atomic<qint64> pageBytes{0};
    std::atomic<bool> generated{true};
    QElapsedTimer timer;
    timer.start();
    QThreadPool generatorPool;
    generatorPool.setMaxThreadCount(QThread::idealThreadCount());
    QtConcurrent::blockingMap(&generatorPool, numbers, [&](int archive) {
        if (!corpus.isEmpty()) {
            for (const auto &page : generator.pages(archive, pagesOf(archive))) {
                auto &list = phrases[std::size_t(archive)];
                list.insert(list.end(), page.phrases.begin(), page.phrases.end());
                pageBytes += page.bytes.size();
            }
            return;
        }
        const QString scratch = work.filePath(QStringLiteral("scratch%1").arg(archive));
        const qint64 bytes =
            generator.writeArchive(zipOf(archive), scratch, archive, pagesOf(archive), -1, 0,
                                   &phrases[std::size_t(archive)]);
        if (bytes < 0)
            generated = false;
        else
            pageBytes += bytes;
    });
    if (!generated) {
        line("searchbench: the catalogue could not be written under %s", qPrintable(base));
        return 1;
    }
    const qint64 zipBytes = folderBytes(zipFolder, QStringLiteral(".zip"));
    QList<CatalogueArchive> catalogue;
    QStringList zips;
    for (int a = 0; a < archives; ++a) {
        catalogue.append({zipOf(a), QStringLiteral("Archive %1").arg(a),
                          SearchCorpus::Generator::isRussian(a) ? QStringLiteral("Русский")
                                                                : QStringLiteral("English")});
        zips << zipOf(a);
    }
    line("searchbench: %d archives, %d pages, %s of page HTML, %s of zips (seed %u); "
         "generated in %.1f s",
         archives, pages, qPrintable(mb(pageBytes)), qPrintable(mb(zipBytes)), seed,
         double(timer.elapsed()) / 1000);
    line("machine: %d cores; load average at start: %s", QThread::idealThreadCount(),
         qPrintable(QString::fromLatin1([] {
                        QFile f(QStringLiteral("/proc/loadavg"));
                        return f.open(QIODevice::ReadOnly) ? f.readAll().left(14) : QByteArray("?");
                    }())
                        .trimmed()));
    std::printf("\n");

    // --- The check of all archives ---------------------------------------------
    checkRow(catalogue);
    std::printf("\n");
    if (checkOnly) {
        if (keep)
            line("kept: %s", qPrintable(work.path()));
        return 0;
    }

    // --- Indexing from scratch -----------------------------------------------
    IndexingStats built;
    double indexSeconds = 0;
    double indexCpu = 0;
    {
        SearchIndex index(indexFolder);
        index.setIndexingPriority(QThread::NormalPriority);
        QObject::connect(&index, &SearchIndex::indexingFailed, [](const QString &why) {
            line("searchbench: indexing failed: %s", qPrintable(why));
        });
        QObject::connect(&index, &SearchIndex::archiveNotIndexed,
                         [](const QString &zip, const QString &why) {
                             line("searchbench: %s: %s", qPrintable(zip), qPrintable(why));
                         });
        const double cpu0 = cpuSeconds();
        timer.restart();
        index.catalogueChanged(catalogue);
        index.waitUntilIdle(24 * 3600 * 1000);
        indexSeconds = double(timer.nsecsElapsed()) / 1e9;
        indexCpu = cpuSeconds() - cpu0;
        built = index.stats();
    }
    const qint64 indexBytes = folderBytes(indexFolder);
    line("indexing from scratch               %8.1f s wall  %8.1f s CPU", indexSeconds, indexCpu);
    line("  page HTML read                    %10s   %6.1f MB/s wall (target >= 20)",
         qPrintable(mb(built.htmlBytes)), double(built.htmlBytes) / 1e6 / indexSeconds);
    line("  extracted text                    %10s   (%.0f %% of the HTML)",
         qPrintable(mb(built.textBytes)),
         100.0 * double(built.textBytes) / double(built.htmlBytes));
    line("  pages indexed                     %10lld", built.pagesRead);
    line("index size                          %10s", qPrintable(mb(indexBytes)));
    line("  of the extracted text             %10.2f x  (target <= 1.5)",
         double(indexBytes) / double(built.textBytes));
    line("  of the archives                   %10.2f x", double(indexBytes) / double(zipBytes));
    std::printf("\n");

    // --- Queries -------------------------------------------------------------
    QRandomGenerator rng(seed * 31u + 7u);
    QList<Query> queries;
    auto randomPhrase = [&]() -> QStringList {
        for (;;) {
            const auto &list = phrases[std::size_t(rng.bounded(archives))];
            if (!list.empty())
                return QString::fromStdString(list[std::size_t(rng.bounded(int(list.size())))])
                    .split(u' ');
        }
    };
    auto needle = [](const QString &text) {
        QByteArray bytes = text.toUtf8();
        lowerUtf8(bytes);
        return bytes;
    };
    for (int i = 0; i < 100; ++i) {
        const QStringList words = randomPhrase();
        Query q;
        if (i % 3 == 0) {
            q.text = words[1];
            q.needles << needle(words[1]);
        } else if (i % 3 == 1) {
            q.text = words[0] + u' ' + words[2];
            q.needles << needle(words[0]) << needle(words[2]);
        } else {
            q.text = u'"' + words.join(u' ') + u'"';
            q.needles << needle(words.join(u' '));
        }
        queries << q;
    }
    QList<double> latencies[3];
    QList<double> all;
    qint64 hitsTotal = 0;
    int empty = 0;
    {
        SearchIndex index(indexFolder);
        index.search(QStringLiteral("warm"), 50); // opens the connection
        for (int i = 0; i < queries.size(); ++i) {
            timer.restart();
            const QList<SearchHit> hits = index.search(queries[i].text, 50);
            const double ms = double(timer.nsecsElapsed()) / 1e6;
            latencies[i % 3] << ms;
            all << ms;
            hitsTotal += hits.size();
            empty += hits.isEmpty() ? 1 : 0;
        }
    }
    line("queries (50 results each, with snippets), ms    median     p95     max");
    const char *kinds[] = {"one word", "two words", "phrase"};
    for (int k = 0; k < 3; ++k)
        line("  %-28s %15.2f %7.2f %7.2f", kinds[k], percentile(latencies[k], 0.5),
             percentile(latencies[k], 0.95), percentile(latencies[k], 1.0));
    line("  %-28s %15.2f %7.2f %7.2f   (target p95 < 50)", "all 100", percentile(all, 0.5),
         percentile(all, 0.95), percentile(all, 1.0));
    line("  results per query: %.1f on average; queries without results: %d",
         double(hitsTotal) / double(queries.size()), empty);
    std::printf("\n");

    // --- The same queries without an index -------------------------------------
    QList<double> scanned;
    QList<double> indexedSame;
    const int step = qMax(1, int(queries.size()) / qMax(1, scanQueries));
    for (int i = 0; i < queries.size() && scanned.size() < scanQueries; i += step) {
        timer.restart();
        scan(zips, queries[i]);
        scanned << double(timer.nsecsElapsed()) / 1e6;
        indexedSame << all[i];
    }
    const double scanMedian = percentile(scanned, 0.5);
    line("without an index (unzip every page to memory, decode, search; %lld of the queries)",
         qlonglong(scanned.size()));
    line("  per query, ms                     %10.0f median  %8.0f p95", scanMedian,
         percentile(scanned, 0.95));
    line("  the same queries with the index   %10.2f median", percentile(indexedSame, 0.5));
    line("  ratio (scan / index, medians)     %10.0f x", scanMedian / percentile(indexedSame, 0.5));
    std::printf("\n");

    // --- Start-up check and one changed page -----------------------------------
    {
        SearchIndex index(indexFolder);
        index.setIndexingPriority(QThread::NormalPriority);
        timer.restart();
        index.catalogueChanged(catalogue);
        index.waitUntilIdle(3600 * 1000);
        const double checkMs = double(timer.nsecsElapsed()) / 1e6;
        const IndexingStats before = index.stats();
        line("start-up check, nothing changed      %8.1f ms   (%lld archives checked, %lld "
             "pages read)",
             checkMs, before.archivesChecked, before.pagesRead);

        const int archive = archives / 2;
        const int changed = pagesOf(archive) / 2;
        const QString scratch = work.filePath(QStringLiteral("scratch-edit"));
        generator.writeArchive(zipOf(archive), scratch, archive, pagesOf(archive), changed, 1);
        timer.restart();
        index.archiveChanged(zipOf(archive));
        index.waitUntilIdle(3600 * 1000);
        const double editMs = double(timer.nsecsElapsed()) / 1e6;
        const IndexingStats after = index.stats();
        const auto newPage =
            generator.pages(archive, pagesOf(archive), changed, 1)[std::size_t(changed)];
        bool foundNew = false;
        if (!newPage.phrases.empty()) {
            const QString phrase = u'"' + QString::fromStdString(newPage.phrases.front()) + u'"';
            for (const SearchHit &hit : index.search(phrase, 50))
                foundNew =
                    foundNew || (hit.zipPath == zipOf(archive) && hit.pageFile == newPage.fileName);
        }
        line("one page of a %d-page archive changed %8.1f ms   (pages read %lld, pages whose "
             "words changed %lld; the new text is %s)",
             pagesOf(archive), editMs, after.pagesRead - before.pagesRead,
             after.pagesChanged - before.pagesChanged, foundNew ? "found" : "NOT found");
    }
    if (keep)
        line("kept: %s", qPrintable(work.path()));
    else if (!corpus.isEmpty()) // the changed archive goes back to what the seed makes
        generator.writeArchive(zipOf(archives / 2), work.filePath(QStringLiteral("scratch-edit")),
                               archives / 2, pagesOf(archives / 2));
    return 0;
}
