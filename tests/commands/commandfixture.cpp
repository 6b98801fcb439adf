#include "commandfixture.h"

#include "commands/openstate.h"

#include "catalogue/settingsfile.h"
#include "lang/messages.h"
#include "storage/folderzip.h"
#include "storage/listfile.h"
#include "testfiles.h"
#include "zip/zipwriter.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <algorithm>

void CommandFixture::setUp(const QString &dataFolder)
{
    makeFolder();
    makeSession(WorkFolders::under(dataFolder.isEmpty() ? m_dir->path() : path(dataFolder)));
}

void CommandFixture::makeFolder()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void CommandFixture::makeSession(const WorkFolders &folders, const QString &executableFolder)
{
    m_ui = std::make_unique<ScriptedInteraction>();
    m_view = std::make_unique<RecordingPageView>();
    m_session = std::make_unique<Session>(folders);
    m_pagesTester = std::make_unique<QAbstractItemModelTester>(
        &m_session->pages(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    m_ctx = std::make_unique<CommandContext>(
        CommandContext{*m_session, m_session->archive(), *m_ui, *m_view, executableFolder});
    // As the window does: damage the unpacking finds alone ends the opening.
    m_session->archive().setFailedLateHook([this] { Commands::leaveFailedOpening(*m_ctx); });
    Messages::useEnglish();
}

void CommandFixture::tearDown()
{
    m_ctx.reset();
    m_pagesTester.reset();
    m_session.reset();
    m_view.reset();
    m_ui.reset();
    m_dir.reset();
    Messages::useEnglish();
}

void CommandFixture::select(int node)
{
    m_session->catalogueSelection().setCurrentIndex(catalogue().modelIndex(node),
                                                    QItemSelectionModel::ClearAndSelect);
}

int CommandFixture::nodeNamed(const QString &name) const
{
    return int(m_session->catalogue().nodeNames().indexOf(name));
}

QList<int> CommandFixture::selectedRows() const
{
    QList<int> rows;
    for (const QModelIndex &index : m_session->pageSelection().selectedIndexes())
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

QString CommandFixture::writtenCatalogue()
{
    const QString ini = path("tomekeeper.ini");
    QString error;
    if (!SettingsFile::write(ini, m_session->settings(), WindowGeometry{}, catalogue(), &error))
        return "not written: " + error;
    Settings settings;
    CatalogueModel back;
    SettingsFile::read(ini, m_dir->path(), settings, back);
    const auto describe = [](const CatalogueModel &model) {
        QStringList nodes;
        for (int i = 0; i < model.nodeCount(); ++i)
            nodes << model.node(i).name + (model.isSection(i) ? "" : " @" + model.node(i).path);
        return nodes.join(", ");
    };
    if (describe(back) != describe(catalogue()))
        return "read back as " + describe(back);
    const QString text = QString::fromUtf8(TestFiles::read(ini));
    const qsizetype first = text.indexOf("[Archive files");
    return first < 0 ? QString() : text.mid(first);
}

namespace CommandFiles {

bool lockFolder(const QString &path, bool lock)
{
    if (TestFiles::runningAsRoot())
        return TestFiles::run("chattr", {lock ? "+i" : "-i", path}) == 0;
    return QFile::setPermissions(path,
                                 lock ? QFile::ReadOwner | QFile::ExeOwner
                                      : QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool writeZip(const QString &zipPath, const TestZips::Files &files, const QStringList *pages,
              const QString &stage)
{
    QDir(stage).removeRecursively();
    if (!QDir().mkpath(stage))
        return false;
    for (auto it = files.begin(); it != files.end(); ++it) {
        if (!TestFiles::write(stage + u'/' + it.key(), it.value()))
            return false;
    }
    if (!QDir().mkpath(QFileInfo(zipPath).absolutePath()))
        return false;
    if (pages) {
        QStringList titles;
        QStringList fileNames;
        for (const QString &page : *pages) {
            titles << page.section(u'=', 0, 0);
            fileNames << page.section(u'=', 1);
        }
        if (!saveWholeFile(ListFile::path(stage), ListFile::compose(titles, fileNames)))
            return false;
    }
    ZipWriter writer;
    const bool written = FolderZip::write(stage, zipPath, writer).hasValue();
    QDir(stage).removeRecursively();
    return written;
}

namespace {

QStringList readListOf(const QString &zipPath, const QString &peek, TestZips::Files *files)
{
    TestZips::unpack(zipPath, peek);
    PageListModel model;
    const ListFileRead read = readListFileChecked(ListFile::path(peek), model);
    if (!read.ok())
        return {"unreadable"};
    QStringList entries;
    for (int i = 0; i < model.count(); ++i)
        entries << model.title(i) + u'=' + model.fileName(i);
    if (files)
        *files = TestZips::filesBelow(peek);
    QDir(peek).removeRecursively();
    return entries;
}

} // namespace

QStringList listOf(const QString &zipPath, const QString &peek)
{
    return readListOf(zipPath, peek, nullptr);
}

QStringList checkedListOf(const QString &zipPath, const QString &peek, TestZips::Files *files)
{
    if (!TestZips::passesTest(zipPath))
        return {"damaged"};
    return readListOf(zipPath, peek, files);
}

} // namespace CommandFiles
