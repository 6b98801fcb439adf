// Zips written here are read by Info-ZIP and Python's zipfile, and zips they
// write are unpacked here: the two peers users are most likely to meet.

#include "zip/zipreader.h"
#include "zip/zipwriter.h"
#include "ziptestkit.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace ZipTestKit;

namespace {

enum class Stored { Ascii, Cp866, Utf8 };

struct Sample {
    QString name;
    Stored stored;
};

const QList<Sample> &samples()
{
    static const QList<Sample> list{
        {u"index.htm"_qs, Stored::Ascii},
        {u"index_files/style.css"_qs, Stored::Ascii},
        {u"index_files/deeper/empty.gif"_qs, Stored::Ascii},
        {u"Страница.htm"_qs, Stored::Cp866},
        {u"Страница_files/рисунок.gif"_qs, Stored::Cp866},
        {u"сап.htm"_qs, Stored::Cp866}, // its code page 866 bytes are valid UTF-8
        {u"Ёлка.htm"_qs, Stored::Utf8},
        {u"Ελληνικά.htm"_qs, Stored::Utf8},
        {u"中文/页面.htm"_qs, Stored::Utf8},
    };
    return list;
}

// Lists a zip as Python sees it, with the code page 866 names decoded as such.
const char *kListScript = R"(
import json, struct, sys, zipfile
z = zipfile.ZipFile(sys.argv[1], metadata_encoding='cp866')
out = {'bad': z.testzip(), 'entries': []}
with open(sys.argv[1], 'rb') as f:
    for i in z.infolist():
        f.seek(i.header_offset)
        h = f.read(30)
        n, m = struct.unpack('<HH', h[26:30])
        f.read(n)
        out['entries'].append({'name': i.filename, 'flags': i.flag_bits,
                               'method': i.compress_type, 'date': list(i.date_time),
                               'central': i.extra.hex(), 'local': f.read(m).hex()})
print(json.dumps(out))
)";

const char *kPythonZipScript = R"(
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], 'w') as z:
    z.writestr('folder/', b'')
    z.writestr('folder/empty/', b'')
    z.writestr(zipfile.ZipInfo('folder/stored.txt', (2020, 1, 2, 3, 4, 6)), b'stored ' * 50)
    z.writestr('folder/deflated.txt', b'deflated ' * 500, compress_type=zipfile.ZIP_DEFLATED)
    z.writestr('Страница.htm', 'страница'.encode(), compress_type=zipfile.ZIP_DEFLATED)
    z.writestr('中文/页面.htm', b'chinese')
    z.writestr('zero.txt', b'')
)";

} // namespace

class TestZipInterop : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void ourZipReadByPeers();
    void zipFromInfoZipUnpacks();
    void zipFromPythonUnpacks();

private:
    std::unique_ptr<QTemporaryDir> m_tmp;
    QString path(const QString &rel) const { return m_tmp->filePath(rel); }
    void makeSamples(const QString &root);
};

void TestZipInterop::initTestCase()
{
    QCOMPARE(run(u"unzip"_qs, {u"-v"_qs}), 0);
    QCOMPARE(run(u"zip"_qs, {u"-v"_qs}), 0);
    QCOMPARE(python(u"import zipfile"_qs, {}), 0);
}

void TestZipInterop::init()
{
    m_tmp = std::make_unique<QTemporaryDir>();
    QVERIFY(m_tmp->isValid());
}

void TestZipInterop::makeSamples(const QString &root)
{
    const QDateTime when(QDate(2022, 2, 22), QTime(22, 22, 22));
    for (const Sample &s : samples()) {
        const QString file = root + u'/' + s.name;
        QVERIFY(writeFile(file, s.name.endsWith(u".gif"_qs) ? QByteArray()
                                                            : s.name.toUtf8().repeated(40)));
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
    }
}

void TestZipInterop::ourZipReadByPeers()
{
    const QString src = path(u"src"_qs);
    makeSamples(src);
    const QString zipPath = path(u"ours.zip"_qs);
    QStringList files;
    for (const Sample &s : samples())
        files << s.name;
    ZipWriter writer;
    QVERIFY2(writer.write(src, files, zipPath, nullptr), qPrintable(writer.error()));

    QByteArray out;
    QCOMPARE(run(u"unzip"_qs, {u"-t"_qs, zipPath}, &out), 0);
    QCOMPARE(run(u"unzip"_qs, {u"-l"_qs, zipPath}, &out), 0);
    const QString listing = QString::fromUtf8(out);
    for (const Sample &s : samples())
        QVERIFY2(listing.contains(s.name), qPrintable(listing));

    // Info-ZIP unpacks into the very names (it reads the Unicode Path field).
    QCOMPARE(run(u"unzip"_qs, {u"-q"_qs, zipPath, u"-d"_qs, path(u"byunzip"_qs)}, &out), 0);
    QCOMPARE(tree(path(u"byunzip"_qs)), tree(src));

    QCOMPARE(python(QString::fromUtf8(kListScript), {zipPath}, &out), 0);
    const QJsonObject listed = QJsonDocument::fromJson(out).object();
    QVERIFY2(listed.value(u"bad"_qs).isNull(), out.constData());
    const QJsonArray entries = listed.value(u"entries"_qs).toArray();
    QCOMPARE(entries.size(), samples().size());
    for (const Sample &s : samples()) {
        QJsonObject e;
        for (const QJsonValue &v : entries) {
            if (v.toObject().value(u"name"_qs).toString() == s.name)
                e = v.toObject();
        }
        QVERIFY2(!e.isEmpty(), qPrintable(s.name + u" missing from "_qs + QString::fromUtf8(out)));
        const int flags = e.value(u"flags"_qs).toInt();
        QCOMPARE(e.value(u"method"_qs).toInt(), 8);
        QCOMPARE(bool(flags & 0x800), s.stored == Stored::Utf8); // never on code page 866
        const QString central = e.value(u"central"_qs).toString();
        QCOMPARE(e.value(u"local"_qs).toString(), central);
        QCOMPARE(central.startsWith(u"7570"_qs), s.stored != Stored::Ascii);
        QCOMPARE(e.value(u"date"_qs).toArray(), (QJsonArray{2022, 2, 22, 22, 22, 22}));
    }
}

void TestZipInterop::zipFromInfoZipUnpacks()
{
    const QString src = path(u"src"_qs);
    makeSamples(src);
    QVERIFY(QDir().mkpath(src + u"/empty folder"_qs));
    QCOMPARE(run(u"zip"_qs, {u"-r"_qs, u"-q"_qs, path(u"peer.zip"_qs), u"."_qs}, nullptr, src), 0);

    const auto extracted = ZipReader::extract(path(u"peer.zip"_qs), path(u"out"_qs));
    QVERIFY2(extracted, qPrintable(extracted ? QString() : extracted.failure().detail));
    QCOMPARE(tree(path(u"out"_qs)), tree(src));
    for (const Sample &s : samples())
        QCOMPARE(readFile(path(u"out/"_qs) + s.name), readFile(src + u'/' + s.name));
}

void TestZipInterop::zipFromPythonUnpacks()
{
    QCOMPARE(python(QString::fromUtf8(kPythonZipScript), {path(u"peer.zip"_qs)}), 0);
    const auto extracted = ZipReader::extract(path(u"peer.zip"_qs), path(u"out"_qs));
    QVERIFY2(extracted, qPrintable(extracted ? QString() : extracted.failure().detail));
    QCOMPARE(tree(path(u"out"_qs)),
             (QStringList{u"folder/"_qs, u"folder/deflated.txt"_qs, u"folder/empty/"_qs,
                          u"folder/stored.txt"_qs, u"zero.txt"_qs, u"Страница.htm"_qs, u"中文/"_qs,
                          u"中文/页面.htm"_qs}));
    QCOMPARE(readFile(path(u"out/folder/stored.txt"_qs)), QByteArray("stored ").repeated(50));
    QCOMPARE(readFile(path(u"out/folder/deflated.txt"_qs)), QByteArray("deflated ").repeated(500));
    QCOMPARE(readFile(path(u"out/Страница.htm"_qs)), u"страница"_qs.toUtf8());
    QCOMPARE(QFileInfo(path(u"out/folder/stored.txt"_qs)).lastModified(),
             QDateTime(QDate(2020, 1, 2), QTime(3, 4, 6)));
}

QTEST_GUILESS_MAIN(TestZipInterop)
#include "tst_zipinterop.moc"
