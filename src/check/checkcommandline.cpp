#include "check/checkcommandline.h"

#include "catalogue/cataloguemodel.h"
#include "catalogue/settingsfile.h"
#include "check/collectioncheck.h"
#include "storage/instancelock.h"
#include "version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cstdio>

namespace {

const QString kCheck = QStringLiteral("--check");
const QString kCatalogue = QStringLiteral("--catalogue");
const QString kHelp = QStringLiteral("--help");
const QString kVersion = QStringLiteral("--version");

QString usage()
{
    return QStringLiteral(
        "Usage: tomekeeper [Qt option...]\n"
        "       tomekeeper --check [--catalogue FILE]\n"
        "       tomekeeper --help | --version\n"
        "\n"
        "Without options of its own the program opens its window.\n"
        "\n"
        "  --check           check every archive of the catalogue, and the working\n"
        "                    copies in the data folder, without a window: one line\n"
        "                    per problem (section, archive, zip path, problem code,\n"
        "                    detail, separated by tabs), then a summary line that\n"
        "                    starts with \"#\"\n"
        "  --catalogue FILE  check the catalogue in FILE instead of the one the\n"
        "                    program uses (tomekeeper.ini in the current folder,\n"
        "                    else in ~/.config/tomekeeper)\n"
        "  --help            show this help and exit\n"
        "  --version         show the version and exit\n"
        "\n"
        "Problem codes: zip-missing, zip-shared, zip-damaged, list-missing,\n"
        "list-unreadable, list-refused-line, page-missing, page-unlisted,\n"
        "folder-without-page, past-limits, recovered-copy, leftover-copy.\n"
        "\n"
        "Exit status of --check: 0 nothing is wrong, 1 problems were found,\n"
        "2 the check could not run.\n");
}

// A field of an output line: a tab or a line break in a name or a path
// would split the line, so they are written as \t, \n and \r, and "\" as "\\".
QString field(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            escaped += QLatin1String("\\\\");
            break;
        case u'\t':
            escaped += QLatin1String("\\t");
            break;
        case u'\n':
            escaped += QLatin1String("\\n");
            break;
        case u'\r':
            escaped += QLatin1String("\\r");
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

// The archives of the catalogue at path, in tree order. Archives the settings
// reader leaves out because their zip is gone are checked too.
bool readCatalogue(const QString &path, const QString &programFolder,
                   QList<CheckedArchive> &archives, QString &error)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        error = QStringLiteral("there is no catalogue %1").arg(path);
        return false;
    }
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("the catalogue %1 cannot be read: %2")
                    .arg(path, info.isFile() ? file.errorString() : QStringLiteral("not a file"));
        return false;
    }
    file.close();
    Settings settings;
    CatalogueModel catalogue;
    const SettingsFile::ReadResult read =
        SettingsFile::read(path, programFolder, settings, catalogue);
    if (!read.found || !read.unreadable.isEmpty()) {
        error = QStringLiteral("the catalogue %1 cannot be read: %2").arg(path, read.unreadable);
        return false;
    }
    QSet<QString> listed;
    for (int i = 0; i < catalogue.nodeCount(); ++i) {
        if (catalogue.isSection(i))
            continue;
        const CatalogueNode &node = catalogue.node(i);
        archives.append({catalogue.node(catalogue.sectionOf(i)).name, node.name, node.path});
        listed.insert(node.path);
    }
    for (const QString &zip : read.missingArchives) {
        if (!listed.contains(zip))
            archives.append({{}, {}, zip});
    }
    return true;
}

int fail(QTextStream &err, const QString &why)
{
    err << "tomekeeper: " << why << "\nTry 'tomekeeper --help'.\n";
    return CheckCommandLine::kCouldNotRun;
}

int check(const QString &catalogueFile, const ProgramPaths &paths, QTextStream &out,
          QTextStream &err)
{
    CheckInput input;
    QString error;
    const QString catalogue = QDir::current().absoluteFilePath(catalogueFile);
    if (!readCatalogue(catalogue, paths.programFolder, input.archives, error)) {
        err << "tomekeeper: " << error << '\n';
        return CheckCommandLine::kCouldNotRun;
    }
    input.dataFolder = paths.work.base();
    // The working folders of a running program are its own, not leftovers.
    if (!instanceLockHeld(input.dataFolder))
        input.idleWorkFolders = {paths.work.archive, paths.work.moveTarget};

    const CheckReport report = CollectionCheck::run(input);
    for (const CheckProblem &problem : report.problems) {
        out << field(problem.section) << '\t' << field(problem.archive) << '\t'
            << field(problem.zipPath) << '\t' << CheckProblem::code(problem.kind) << '\t'
            << field(problem.detail) << '\n';
    }
    const qsizetype count = report.problems.size();
    out << "# " << report.archivesChecked
        << (report.archivesChecked == 1 ? " archive" : " archives") << " checked, "
        << report.pagesListed << " pages listed: "
        << (count == 0
                ? QStringLiteral("nothing is wrong")
                : QStringLiteral("%1 %2 found")
                      .arg(count)
                      .arg(count == 1 ? QLatin1String("problem") : QLatin1String("problems")))
        << '\n';
    return count == 0 ? CheckCommandLine::kNothingWrong : CheckCommandLine::kProblemsFound;
}

} // namespace

namespace CheckCommandLine {

bool isAsked(const QStringList &arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == kCheck || a == kHelp || a == QLatin1String("-h") || a == kVersion ||
            a == kCatalogue || a.startsWith(kCatalogue + u'='))
            return true;
    }
    return false;
}

int run(const QStringList &arguments, const ProgramPaths &paths, QTextStream &out, QTextStream &err)
{
    bool checking = false;
    bool help = false;
    bool version = false;
    std::optional<QString> catalogue;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &a = arguments.at(i);
        if (a == kCheck) {
            checking = true;
        } else if (a == kHelp || a == QLatin1String("-h")) {
            help = true;
        } else if (a == kVersion) {
            version = true;
        } else if (a == kCatalogue) {
            if (i + 1 >= arguments.size())
                return fail(err, QStringLiteral("--catalogue needs a file"));
            catalogue = arguments.at(++i);
        } else if (a.startsWith(kCatalogue + u'=')) {
            catalogue = a.mid(kCatalogue.size() + 1);
        } else {
            return fail(err, QStringLiteral("unknown option %1").arg(a));
        }
    }
    if (help) {
        out << usage();
        return kNothingWrong;
    }
    if (version) {
        out << "tomekeeper " << kProgramVersion << '\n';
        return kNothingWrong;
    }
    if (!checking)
        return fail(err, QStringLiteral("--catalogue goes with --check"));
    return check(catalogue.value_or(paths.settingsFile), paths, out, err);
}

std::optional<int> runIfAsked(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (!isAsked(arguments))
        return std::nullopt;
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tomekeeper"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kProgramVersion));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return run(QCoreApplication::arguments(), ProgramPaths::standard(QDir::currentPath()), out,
               err);
}

} // namespace CheckCommandLine
