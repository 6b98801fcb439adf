#include "browse/helpfiles.h"
#include "lang/messages.h"
#include "testfiles.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>
#include <QtEndian>

namespace {

const QString kAppId = QStringLiteral("org.tomekeeper.Tomekeeper");

// The width and height a PNG file declares in its header.
QSize pngSize(const QByteArray &png)
{
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    if (png.size() < 24 || !png.startsWith(signature) || png.mid(12, 4) != "IHDR")
        return {};
    return QSize(qFromBigEndian<quint32>(png.constData() + 16),
                 qFromBigEndian<quint32>(png.constData() + 20));
}

// The value of key in a desktop entry's main group.
QString desktopValue(const QString &entry, const QString &key)
{
    const QRegularExpression line(QStringLiteral("^%1=(.*)$").arg(QRegularExpression::escape(key)),
                                  QRegularExpression::MultilineOption);
    return line.match(entry).captured(1);
}

} // namespace

// Installs the program as a packager would, into a temporary prefix, and looks
// at the result the way a desktop does.
class TestInstall : public QObject {
    Q_OBJECT

    QTemporaryDir m_prefix;

    QString installed(const QString &path) const { return m_prefix.filePath(path); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_prefix.isValid());
        QByteArray output;
        const int code = TestFiles::run(
            QStringLiteral(CMAKE_COMMAND_PATH),
            {"--install", QStringLiteral(TOMEKEEPER_BUILD_DIR), "--prefix", m_prefix.path()},
            &output);
        QVERIFY2(code == 0, output.constData());
    }

    void cleanup() { Messages::useEnglish(); }

    void files_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("program") << "bin/tomekeeper";
        QTest::newRow("menu entry") << "share/applications/" + kAppId + ".desktop";
        QTest::newRow("metadata") << "share/metainfo/" + kAppId + ".metainfo.xml";
        QTest::newRow("scalable icon") << "share/icons/hicolor/scalable/apps/" + kAppId + ".svg";
        QTest::newRow("manual, English") << "share/tomekeeper/manual/en.html";
        QTest::newRow("manual, Russian") << "share/tomekeeper/manual/ru.html";
        QTest::newRow("manual page") << "share/man/man1/tomekeeper.1.gz";
    }
    void files()
    {
        QFETCH(QString, path);
        QVERIFY2(QFileInfo(installed(path)).isFile(), qPrintable(path));
        QVERIFY(QFileInfo(installed(path)).size() > 0);
    }

    // Every bitmap size is where the icon theme looks for it, and is that size.
    void icons_data()
    {
        QTest::addColumn<int>("size");
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
            QTest::newRow(qPrintable(QString::number(size))) << size;
    }
    void icons()
    {
        QFETCH(int, size);
        const QString path =
            QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(kAppId);
        QCOMPARE(pngSize(TestFiles::read(installed(path))), QSize(size, size));
    }

    void validatorsPass_data()
    {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("desktop-file-validate")
            << "desktop-file-validate"
            << QStringList{installed("share/applications/" + kAppId + ".desktop")};
        QTest::newRow("appstreamcli validate")
            << "appstreamcli"
            << QStringList{"validate", "--no-net",
                           installed("share/metainfo/" + kAppId + ".metainfo.xml")};
    }
    void validatorsPass()
    {
        QFETCH(QString, tool);
        QFETCH(QStringList, arguments);
        const QString program = QStandardPaths::findExecutable(tool);
        QVERIFY2(!program.isEmpty(), qPrintable(tool + " is missing: run scripts/install-deps.sh"));
        QByteArray output;
        const int code = TestFiles::run(program, arguments, &output);
        QVERIFY2(code == 0, output.constData());
        QVERIFY2(!output.contains("error") && !output.contains("warning"), output.constData());
    }

    // The menu entry starts the installed program, shows the installed icon, and
    // is the one the metadata launches; the window class is the one the
    // program's windows carry (its application name).
    void entriesFitTogether()
    {
        const QString entry = QString::fromUtf8(
            TestFiles::read(installed("share/applications/" + kAppId + ".desktop")));
        QVERIFY(QFileInfo(installed("bin/" + desktopValue(entry, "Exec"))).isExecutable());
        QCOMPARE(desktopValue(entry, "Icon"), kAppId);
        QCOMPARE(desktopValue(entry, "StartupWMClass"), QString("tomekeeper"));

        QXmlStreamReader meta(
            TestFiles::read(installed("share/metainfo/" + kAppId + ".metainfo.xml")));
        QString id;
        QString launchable;
        QString licence;
        while (!meta.atEnd()) {
            if (meta.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (meta.name() == QStringLiteral("id"))
                id = meta.readElementText();
            else if (meta.name() == QStringLiteral("launchable"))
                launchable = meta.readElementText();
            else if (meta.name() == QStringLiteral("project_license"))
                licence = meta.readElementText();
        }
        QVERIFY2(!meta.hasError(), qPrintable(meta.errorString()));
        QCOMPARE(id, kAppId);
        QCOMPARE(launchable, kAppId + ".desktop");
        QCOMPARE(licence, QString("GPL-3.0-or-later"));
    }

    // Help started from the installed program finds the installed manual of
    // the active language.
    void helpFindsTheInstalledManual_data()
    {
        QTest::addColumn<bool>("russian");
        QTest::addColumn<QString>("page");
        QTest::newRow("English") << false << "en.html";
        QTest::newRow("Russian") << true << "ru.html";
    }
    void helpFindsTheInstalledManual()
    {
        QFETCH(bool, russian);
        QFETCH(QString, page);
        russian ? Messages::useRussian() : Messages::useEnglish();
        QTemporaryDir startFolder;

        const HelpChoice choice = HelpFiles::locate(startFolder.path(), installed("bin"));

        QCOMPARE(choice.path, installed("share/tomekeeper/manual/" + page));
        QCOMPARE(TestFiles::read(choice.path),
                 TestFiles::read(QStringLiteral(TOMEKEEPER_SOURCE_DIR "/data/manual/") + page));
    }
};

QTEST_GUILESS_MAIN(TestInstall)
#include "tst_install.moc"
