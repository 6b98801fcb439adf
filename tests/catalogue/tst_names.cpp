#include "catalogue/names.h"
#include "lang/messages.h"

#include <QTest>

namespace {

enum Kind { SectionName, ArchiveName, PageTitle };

Names::Problem check(int kind, const QString &name)
{
    switch (kind) {
    case SectionName:
        return Names::checkSectionName(name);
    case ArchiveName:
        return Names::checkArchiveName(name);
    default:
        return Names::checkPageTitle(name);
    }
}

} // namespace

class TestNames : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { Messages::useEnglish(); }

    void rules_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("rule");
        QTest::addColumn<QString>("english");

        using R = Names::Rule;
        auto row = [](const char *tag, Kind kind, const QString &name, R rule,
                      const QString &english = {}) {
            QTest::newRow(tag) << int(kind) << name << int(rule) << english;
        };
        // What a tree row or the file cannot be: each is refused with its reason.
        row("archive Section", ArchiveName, "Section", R::Reserved,
            "The name \"Section\" is reserved, choose other name of the archive!");
        row("archive sEcTiOn", ArchiveName, "sEcTiOn", R::Reserved,
            "The name \"sEcTiOn\" is reserved, choose other name of the archive!");
        row("archive empty", ArchiveName, "", R::Empty, "Name can not be empty!");
        row("archive line break", ArchiveName, "a\nb", R::ControlCharacter,
            "Name can not hold line breaks and other control characters (U+000A)!");
        row("archive tab", ArchiveName, "a\tb", R::ControlCharacter);
        row("archive escape", ArchiveName, "a\x1b", R::ControlCharacter);
        // Everything the file escapes is a name as typed.
        row("archive Sections", ArchiveName, "Sections", R::None, "");
        row("archive inner marks", ArchiveName, "a;b [c] 100%", R::None, "");
        row("archive inner blank", ArchiveName, u"Романы и повести"_qs, R::None, "");
        row("archive x=y", ArchiveName, "x=y", R::None, "");
        row("archive ;semi", ArchiveName, ";semi", R::None, "");
        row("archive [bracket", ArchiveName, "[bracket", R::None, "");
        row("archive padded", ArchiveName, " padded ", R::None, "");
        row("archive no-break space", ArchiveName, QString(QChar(0xA0)) + "x", R::None, "");
        // Sections share every rule but the reserved name.
        row("section Section", SectionName, "Section", R::None, "");
        row("section x=y", SectionName, "x=y", R::None);
        row("section ;", SectionName, ";", R::None);
        row("section blank", SectionName, " ", R::None);
        row("section empty", SectionName, "", R::Empty);
        row("section CR", SectionName, "a\r", R::ControlCharacter,
            "Name can not hold line breaks and other control characters (U+000D)!");
        // Page titles: only what the list file cannot hold.
        row("title Q&A = answers", PageTitle, "Q&A = answers", R::CharacterNotAllowed,
            "The character \"=\" is not allowed in name!");
        row("title line break", PageTitle, "one\r\ntwo", R::ControlCharacter);
        row("title LF", PageTitle, "one\ntwo", R::ControlCharacter);
        row("title empty", PageTitle, "", R::None, "");
        row("title padded", PageTitle, " [x]; ", R::None, "");
        row("title Section", PageTitle, "Section", R::None, "");
    }
    void rules()
    {
        QFETCH(int, kind);
        QFETCH(QString, name);
        QFETCH(int, rule);
        QFETCH(QString, english);
        const Names::Problem p = check(kind, name);
        QCOMPARE(int(p.rule), rule);
        QCOMPARE(bool(p), rule != int(Names::Rule::None));
        if (!english.isNull())
            QCOMPARE(Names::message(p), english);
    }

    void messagesInRussian()
    {
        Messages::useRussian();
        QCOMPARE(Names::message(Names::checkPageTitle("x=y")),
                 u"Символ \"=\" в имени недопустим!"_qs);
        QCOMPARE(Names::message(Names::checkArchiveName("SECTION")),
                 u"Имя \"SECTION\" зарезервировано, выберите другое имя архива!"_qs);
        QCOMPARE(Names::message(Names::checkSectionName("")), u"Имя не может быть пустым!"_qs);
        QCOMPARE(
            Names::message(Names::checkPageTitle("a\nb")),
            u"Имя не может содержать переводы строк и другие управляющие символы (U+000A)!"_qs);
    }
};

QTEST_GUILESS_MAIN(TestNames)
#include "tst_names.moc"
