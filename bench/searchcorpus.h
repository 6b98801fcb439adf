#pragma once

// A generated catalogue for the search benchmark: archives of saved pages in
// English and Russian that look like pages saved from the web (about 100 KB
// each, most of it markup, inline scripts and styles; the visible text is
// about a quarter),
// some in Windows-1251 (declared or not), some in KOI8-R, a few as .mht web
// archives, each page with a companion folder of pictures. Everything follows
// from the seed, and any archive can be made again alone, so that one page of
// it can be changed.

#include "lang/cp1251.h"
#include "storage/listfile.h"
#include "zip/zipwriter.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace SearchCorpus {

struct Vocabulary {
    std::vector<std::string> words; // every form, most frequent first
    std::vector<double> cumulative; // Zipf weights, summed

    const std::string &pick(QRandomGenerator &rng) const
    {
        const double r = rng.generateDouble() * cumulative.back();
        const auto it = std::upper_bound(cumulative.begin(), cumulative.end(), r);
        return words[std::size_t(
            std::min<std::ptrdiff_t>(it - cumulative.begin(), std::ptrdiff_t(words.size()) - 1))];
    }
};

inline std::string syllables(QRandomGenerator &rng, const std::vector<std::string> &onsets,
                             const std::vector<std::string> &vowels,
                             const std::vector<std::string> &codas, int count)
{
    std::string word;
    for (int i = 0; i < count; ++i) {
        word += onsets[std::size_t(rng.bounded(int(onsets.size())))];
        word += vowels[std::size_t(rng.bounded(int(vowels.size())))];
        if (rng.bounded(3) == 0)
            word += codas[std::size_t(rng.bounded(int(codas.size())))];
    }
    return word;
}

// Made-up stems with real endings, so that the stemmers have word forms to
// fold, after the most common real words of the language.
inline Vocabulary vocabulary(bool russian, quint32 seed, int stems)
{
    QRandomGenerator rng(seed);
    Vocabulary v;
    std::vector<std::string> common;
    std::vector<std::string> onsets, vowels, codas, endings;
    if (russian) {
        common = {"и",   "в",   "не",  "на",  "что", "с",    "по",     "это",   "как", "а",
                  "к",   "из",  "у",   "за",  "о",   "от",   "для",    "же",    "так", "все",
                  "он",  "она", "они", "мы",  "вы",  "был",  "была",   "были",  "его", "ее",
                  "еще", "уже", "или", "при", "до",  "если", "только", "также", "был", "год"};
        onsets = {"б", "в", "г", "д", "ж", "з", "к",  "л",  "м",  "н",  "п",  "р",  "с",  "т",
                  "ф", "х", "ц", "ч", "ш", "щ", "бр", "пр", "тр", "ст", "кр", "гл", "св", "зв"};
        vowels = {"а", "о", "у", "е", "и", "ы", "я", "ю", "ё"};
        codas = {"н", "р", "л", "с", "т", "к", "м", "й"};
        endings = {"",   "а",  "ы",   "у",   "ой",   "ом",   "е",     "ами",   "ах",
                   "ов", "ий", "ая",  "ое",  "ые",   "ого",  "ому",   "ть",    "ет",
                   "ют", "ал", "ала", "али", "ение", "ения", "ением", "ность", "ности"};
    } else {
        common = {"the",  "of",  "and",  "to",   "in",   "a",     "is",    "that", "for",
                  "it",   "as",  "was",  "with", "be",   "by",    "on",    "not",  "he",
                  "this", "are", "or",   "his",  "from", "at",    "which", "but",  "have",
                  "an",   "had", "they", "you",  "were", "their", "one",   "all",  "we"};
        onsets = {"b", "c", "d", "f",  "g",  "h",  "j",  "k",  "l",  "m",  "n",  "p",  "r", "s",
                  "t", "v", "w", "br", "cr", "dr", "pl", "st", "tr", "sh", "ch", "th", "gr"};
        vowels = {"a", "e", "i", "o", "u", "ea", "ou", "ai"};
        codas = {"n", "r", "l", "s", "t", "ck", "m", "nd", "st"};
        endings = {"",     "s",    "ed",    "ing",  "er",    "ers",  "ly",
                   "ness", "tion", "tions", "ment", "ments", "able", "ity"};
    }
    for (const std::string &w : common)
        v.words.push_back(w);
    for (int i = 0; i < stems; ++i) {
        const std::string stem = syllables(rng, onsets, vowels, codas, 2 + rng.bounded(2));
        // Each stem comes in a few forms.
        const int forms = 1 + rng.bounded(4);
        for (int f = 0; f < forms; ++f)
            v.words.push_back(stem + endings[std::size_t(rng.bounded(int(endings.size())))]);
    }
    v.words.erase(std::unique(v.words.begin(), v.words.end()), v.words.end());
    double sum = 0;
    for (std::size_t i = 0; i < v.words.size(); ++i) {
        sum += 1.0 / double(i + 1); // Zipf: the n-th word is n times rarer than the first
        v.cumulative.push_back(sum);
    }
    return v;
}

enum class Encoding { Utf8, Cp1251Declared, Cp1251Undeclared, Koi8r };

struct Page {
    QString fileName;
    QString title;
    QByteArray bytes;                 // as stored in the zip
    std::vector<std::string> phrases; // runs of words of the visible text, for queries
};

class Generator {
public:
    explicit Generator(quint32 seed)
        : m_seed(seed), m_english(vocabulary(false, seed, 12000)),
          m_russian(vocabulary(true, seed + 1, 12000))
    {
    }

    static bool isRussian(int archive) { return archive % 2 == 1; }

    // revision > 0 changes the text of page changedPage (the benchmark's edit).
    std::vector<Page> pages(int archive, int pageCount, int changedPage = -1,
                            int revision = 0) const
    {
        std::vector<Page> result;
        for (int i = 0; i < pageCount; ++i) {
            QRandomGenerator rng(m_seed * 7919u + quint32(archive) * 104729u + quint32(i) * 31u +
                                 (i == changedPage ? quint32(revision) * 1000003u : 0u));
            result.push_back(page(rng, archive, i));
        }
        return result;
    }

    // Writes the archive through the program's own zip writer, from files in
    // scratch (emptied afterwards). Returns the page bytes written, -1 on failure.
    qint64 writeArchive(const QString &zipPath, const QString &scratch, int archive, int pageCount,
                        int changedPage = -1, int revision = 0,
                        std::vector<std::string> *phrases = nullptr) const
    {
        QDir(scratch).removeRecursively();
        QDir().mkpath(scratch);
        const std::vector<Page> list = pages(archive, pageCount, changedPage, revision);
        QStringList titles;
        QStringList files;
        QStringList entries;
        qint64 pageBytes = 0;
        QRandomGenerator rng(m_seed ^ quint32(archive * 2654435761u));
        for (const Page &p : list) {
            if (!write(scratch + u'/' + p.fileName, p.bytes))
                return -1;
            entries << p.fileName;
            titles << p.title;
            files << p.fileName;
            pageBytes += p.bytes.size();
            if (phrases)
                phrases->insert(phrases->end(), p.phrases.begin(), p.phrases.end());
            if (p.fileName.endsWith(QLatin1String(".mht")))
                continue; // a web archive carries its pictures inside
            const QString base = p.fileName.left(p.fileName.lastIndexOf(u'.'));
            const QString companion = base + QStringLiteral("_files");
            QDir().mkpath(scratch + u'/' + companion);
            const QString css = companion + QStringLiteral("/style.css");
            if (!write(scratch + u'/' + css, styleSheet()))
                return -1;
            entries << css;
            for (int k = 0; k < 2; ++k) {
                const QString picture = companion + QStringLiteral("/img%1.jpg").arg(k);
                if (!write(scratch + u'/' + picture, noise(rng, 8000 + rng.bounded(24000))))
                    return -1;
                entries << picture;
            }
        }
        if (!write(ListFile::path(scratch), ListFile::compose(titles, files)))
            return -1;
        entries << QLatin1String(ListFile::FileName);

        const QString temporary = zipPath + QStringLiteral(".part");
        QFile::remove(temporary);
        ZipWriter zip;
        if (!zip.write(scratch, entries, temporary, nullptr))
            return -1;
        QDir(scratch).removeRecursively();
        QFile::remove(zipPath);
        if (!QFile::rename(temporary, zipPath))
            return -1;
        return pageBytes;
    }

private:
    static bool write(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }

    static QByteArray noise(QRandomGenerator &rng, qsizetype size)
    {
        QByteArray bytes(size, Qt::Uninitialized);
        rng.fillRange(reinterpret_cast<quint32 *>(bytes.data()), size / 4);
        return bytes;
    }

    static QByteArray styleSheet()
    {
        return ".page{margin:0}.nav-item{display:inline-block}.footer{color:#888}\n";
    }

    std::string words(QRandomGenerator &rng, bool russian, int count) const
    {
        const Vocabulary &v = russian ? m_russian : m_english;
        std::string text;
        for (int i = 0; i < count; ++i) {
            if (i > 0)
                text += ' ';
            text += v.pick(rng);
        }
        return text;
    }

    // A sentence with now and then a word in bold or a link, as articles have.
    std::string sentence(QRandomGenerator &rng, bool russian, std::vector<std::string> &phrases,
                         bool keepPhrase) const
    {
        const Vocabulary &v = russian ? m_russian : m_english;
        const int count = 8 + rng.bounded(14);
        std::string html;
        std::string plain;
        for (int i = 0; i < count; ++i) {
            const std::string &w = v.pick(rng);
            if (i > 0) {
                html += ' ';
                plain += ' ';
            }
            std::string shown = w;
            if (i == 0 && !shown.empty() && static_cast<unsigned char>(shown[0]) < 0x80)
                shown[0] = char(std::toupper(static_cast<unsigned char>(shown[0])));
            const int style = rng.bounded(40);
            if (style == 0)
                html += "<b>" + shown + "</b>";
            else if (style == 1)
                html += "<a href=\"https://example.org/" + std::to_string(rng.bounded(100000)) +
                        "/article.html?ref=feed&amp;utm_source=site\" class=\"inline-link\">" +
                        shown + "</a>";
            else
                html += shown;
            plain += w;
        }
        html += '.';
        if (keepPhrase) {
            // Three words from the middle: a phrase that is on this page.
            std::vector<std::string> split;
            std::size_t start = 0;
            while (start < plain.size()) {
                const std::size_t end = std::min(plain.find(' ', start), plain.size());
                split.push_back(plain.substr(start, end - start));
                start = end + 1;
            }
            if (split.size() >= 5)
                phrases.push_back(split[2] + ' ' + split[3] + ' ' + split[4]);
        }
        return html;
    }

    static std::string script(QRandomGenerator &rng, int bytes)
    {
        std::string js = "(function(){var cfg={\"site\":\"example\",\"ids\":[";
        while (int(js.size()) < bytes) {
            js += std::to_string(rng.bounded(1000000)) + ",";
            if (rng.bounded(8) == 0)
                js += "0],\"handler\":function(e){if(e&&e.target){window.dataLayer=window."
                      "dataLayer||[];window.dataLayer.push({event:'click',id:e.target.id});}},"
                      "\"ids\":[";
        }
        js += "0]};window.__cfg=cfg;})();";
        return js;
    }

    static std::string css(QRandomGenerator &rng, int bytes)
    {
        std::string text;
        while (int(text.size()) < bytes)
            text += ".c" + std::to_string(rng.bounded(5000)) +
                    "{margin:0 auto;padding:4px 8px;font:13px/1.4 Arial,sans-serif;color:#" +
                    std::to_string(100 + rng.bounded(800)) + "}\n";
        return text;
    }

    Page page(QRandomGenerator &rng, int archive, int index) const
    {
        const bool russian = isRussian(archive);
        Encoding encoding = Encoding::Utf8;
        if (russian) {
            const int r = rng.bounded(20);
            encoding = r < 4   ? Encoding::Cp1251Declared
                       : r < 6 ? Encoding::Cp1251Undeclared
                       : r < 7 ? Encoding::Koi8r
                               : Encoding::Utf8;
        }
        const bool mht = rng.bounded(100) == 0;
        Page p;
        const std::string title = words(rng, russian, 3 + rng.bounded(5));
        p.title = QString::fromStdString(title);
        const QString base = russian && archive % 4 == 1
                                 ? QStringLiteral("статья%1").arg(index, 4, 10, QLatin1Char('0'))
                                 : QStringLiteral("page%1").arg(index, 4, 10, QLatin1Char('0'));
        p.fileName = base + (mht ? QStringLiteral(".mht") : QStringLiteral(".htm"));
        const std::string companion = (base + QStringLiteral("_files")).toStdString();

        std::string html = "<!DOCTYPE html>\n<html lang=\"";
        html += russian ? "ru" : "en";
        html += "\"><head>\n";
        if (encoding == Encoding::Utf8 && !mht)
            html += "<meta charset=\"utf-8\">\n";
        else if (encoding == Encoding::Cp1251Declared)
            html +=
                "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">\n";
        else if (encoding == Encoding::Koi8r)
            html += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=koi8-r\">\n";
        html += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
        html += "<title>" + title + "</title>\n";
        html += "<link rel=\"stylesheet\" href=\"" + companion + "/style.css\">\n";
        html += "<style>\n" + css(rng, 8000 + rng.bounded(8000)) + "</style>\n";
        html += "<script>" + script(rng, 24000 + rng.bounded(28000)) + "</script>\n";
        html += "</head>\n<body class=\"page article-page\">\n";
        html += "<div id=\"header\" class=\"header\"><div class=\"container\"><a class=\"logo\" "
                "href=\"https://example.org/\"><img src=\"" +
                companion +
                "/img0.jpg\" alt=\"logo\" width=\"120\" height=\"40\"></a>\n<ul "
                "class=\"nav\">\n";
        for (int i = 0; i < 12; ++i)
            html += "<li class=\"nav-item\"><a class=\"nav-link\" href=\"https://example.org/"
                    "section/" +
                    std::to_string(i) + "/\">" + words(rng, russian, 1) + "</a></li>\n";
        html += "</ul></div></div>\n<div class=\"main\"><div class=\"container\"><div "
                "class=\"row\"><div class=\"col-md-8 col-sm-12\"><article class=\"post\">\n";
        html += "<h1 class=\"post-title\">" + title + "</h1>\n";
        html += "<div class=\"post-meta\"><span class=\"date\">" +
                std::to_string(1 + rng.bounded(28)) + "." + std::to_string(1 + rng.bounded(12)) +
                "." + std::to_string(2000 + rng.bounded(24)) + "</span> <span class=\"author\">" +
                words(rng, russian, 2) + "</span></div>\n";
        const int paragraphs = 14 + rng.bounded(16);
        for (int i = 0; i < paragraphs; ++i) {
            html += "<p class=\"post-text\">";
            const int sentences = 3 + rng.bounded(5);
            for (int s = 0; s < sentences; ++s) {
                if (s > 0)
                    html += ' ';
                html += sentence(rng, russian, p.phrases, i == 2 && s == 1);
            }
            html += "</p>\n";
            if (i % 5 == 4)
                html += "<div class=\"ad-slot\" data-slot=\"" + std::to_string(rng.bounded(9999)) +
                        "\"><script>window.ads=window.ads||[];ads.push(" +
                        std::to_string(rng.bounded(99999)) + ");</script></div>\n";
        }
        html +=
            "<div class=\"share\" style=\"display: none\">" + words(rng, russian, 6) + "</div>\n";
        html += "</article>\n<div class=\"comments\">\n";
        const int comments = 10 + rng.bounded(20);
        for (int i = 0; i < comments; ++i)
            html += "<div class=\"comment\" id=\"c" + std::to_string(rng.bounded(1000000)) +
                    "\"><div class=\"comment-head\"><span class=\"comment-author\">" +
                    words(rng, russian, 1) +
                    "</span><span class=\"comment-date\">12:30</span></div><div "
                    "class=\"comment-body\"><p>" +
                    words(rng, russian, 6 + rng.bounded(20)) +
                    "</p></div><div class=\"comment-actions\"><a href=\"#reply\" "
                    "class=\"reply\">&#8617;</a> <a href=\"#like\" class=\"like\">&#9829;</a>"
                    "</div></div>\n";
        html += "</div></div>\n<aside class=\"col-md-4 sidebar\"><ul class=\"related\">\n";
        for (int i = 0; i < 10; ++i)
            html += "<li><a href=\"https://example.org/" + std::to_string(rng.bounded(100000)) +
                    "/\" title=\"\">" + words(rng, russian, 4) + "</a></li>\n";
        html += "</ul></aside></div></div></div>\n";
        html += "<noscript><img src=\"https://example.org/pixel.gif\" alt=\"\"></noscript>\n";
        html += "<script>" + script(rng, 8000 + rng.bounded(8000)) + "</script>\n";
        html += "<div class=\"footer\">&copy; 2009 " + words(rng, russian, 3) + "</div>\n";
        html += "</body></html>\n";

        QByteArray bytes;
        const QString text = QString::fromStdString(html);
        switch (encoding) {
        case Encoding::Utf8:
            bytes = QByteArray::fromStdString(html);
            break;
        case Encoding::Cp1251Declared:
        case Encoding::Cp1251Undeclared:
            bytes = Cp1251::encode(text).value_or(QByteArray());
            break;
        case Encoding::Koi8r:
            bytes = QStringEncoder("koi8-r").encode(text);
            break;
        }
        if (mht)
            bytes = webArchive(rng, bytes, encoding);
        p.bytes = bytes;
        return p;
    }

    // A .mht as browsers save it: the page quoted-printable, a picture in base64.
    static QByteArray webArchive(QRandomGenerator &rng, const QByteArray &html, Encoding encoding)
    {
        const QByteArray charset = encoding == Encoding::Utf8    ? "utf-8"
                                   : encoding == Encoding::Koi8r ? "koi8-r"
                                                                 : "windows-1251";
        QByteArray out = "From: <Saved by the browser>\r\nSubject: page\r\nMIME-Version: 1.0\r\n"
                         "Content-Type: multipart/related;\r\n\ttype=\"text/html\";\r\n"
                         "\tboundary=\"----=_NextPart_000_0000_01D\"\r\n\r\n"
                         "This is a multi-part message in MIME format.\r\n\r\n"
                         "------=_NextPart_000_0000_01D\r\n"
                         "Content-Type: text/html; charset=\"" +
                         charset +
                         "\"\r\nContent-Transfer-Encoding: quoted-printable\r\n"
                         "Content-Location: https://example.org/page.html\r\n\r\n";
        int column = 0;
        for (const char ch : html) {
            const auto c = static_cast<unsigned char>(ch);
            QByteArray piece;
            if (c == '\n') {
                out += "\r\n";
                column = 0;
                continue;
            }
            if (c == '=' || c >= 0x80 || c < 0x20)
                piece = "=" + QByteArray::number(c, 16).toUpper().rightJustified(2, '0');
            else
                piece = QByteArray(1, char(c));
            if (column + piece.size() > 75) {
                out += "=\r\n";
                column = 0;
            }
            out += piece;
            column += int(piece.size());
        }
        out += "\r\n\r\n------=_NextPart_000_0000_01D\r\nContent-Type: image/jpeg\r\n"
               "Content-Transfer-Encoding: base64\r\n"
               "Content-Location: https://example.org/img0.jpg\r\n\r\n";
        const QByteArray picture = noise(rng, 6000).toBase64();
        for (qsizetype i = 0; i < picture.size(); i += 76)
            out += picture.mid(i, 76) + "\r\n";
        out += "\r\n------=_NextPart_000_0000_01D--\r\n";
        return out;
    }

    quint32 m_seed;
    Vocabulary m_english;
    Vocabulary m_russian;
};

} // namespace SearchCorpus
