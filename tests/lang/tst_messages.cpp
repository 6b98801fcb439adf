#include "lang/messages.h"
#include "lang/messagetable.h"

#include <QSet>
#include <QTest>

class TestMessages : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init() { Messages::useEnglish(); }

    void everyIdHasBothTexts()
    {
        QSet<QString> names;
        for (int i = 0; i < MessageIdCount; ++i) {
            const auto id = static_cast<MessageId>(i);
            QCOMPARE(kMessageTable[i].id, id); // the table is in enum order
            QVERIFY2(!Messages::english(id).isEmpty(), qPrintable(Messages::idName(id)));
            QVERIFY2(!Messages::russian(id).isEmpty(), qPrintable(Messages::idName(id)));
            names.insert(Messages::idName(id));
        }
        QCOMPARE(names.size(), MessageIdCount);
        QCOMPARE(MessageIdCount, 251);
    }

    // Texts whose blanks, quotes and backslashes are easy to lose on the way.
    void exactTexts_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("russian");
        auto row = [](MessageId id, const char16_t *en, const char16_t *ru) {
            QTest::newRow(qPrintable(Messages::idName(id)))
                << static_cast<int>(id) << QString::fromUtf16(en) << QString::fromUtf16(ru);
        };
        row(MessageId::ArchiveMenu, u" Archive ", u"Архив");
        row(MessageId::PageMenu, u" Page ", u"Страница");
        row(MessageId::PrintMenu, u" Print ", u"Печать");
        row(MessageId::InfoMenu, u" About ", u"О программе");
        row(MessageId::StatusOpenArchive, u"Open Archive: ", u"Открыт архив: ");
        row(MessageId::StatusNoArchive, u" not open Archives.", u" нет открытого архива.");
        row(MessageId::HelpFileMissingEnd, u" is absent!", u" отсутствует!");
        row(MessageId::SaveFailedCount, u"impossible save ", u"невозможным сохранить ");
        row(MessageId::NewPageListNoPages, u"HTML-files in directory C:\\TEMP_ARCH not exists!",
            u"HTML-файлов в папке C:\\TEMP_ARCH не обнаружено!");
        row(MessageId::ConfirmDeleteSection, u"You really want to delete section \"",
            u"Вы действительно хотите удалить раздел \"");
        row(MessageId::ListFileMissing,
            u"File \"listfile.txt\" is absent In archive with list of the files!",
            u"В архиве отсутствует файл \"listfile.txt\" со списком файлов!");
        row(MessageId::SettingsFolderGroup,
            u"Choose or create directory for keeping archive \"by default\":",
            u"Выберите или создайте папку для хранения архивов \"по умолчанию\":");
        row(MessageId::NextPageHint, u"Go to next page on list",
            u"Перейти на следущую страницу списка");
        row(MessageId::DeleteSectionPopup, u"Delete Section", u"Удалить раздел");
        row(MessageId::DeleteSectionMenuItem, u"Delete Section", u"Удалить");
        row(MessageId::RenameNodePrompt, u"Pleas, input new Name:", u"Введите новое имя:");
    }
    void exactTexts()
    {
        QFETCH(int, id);
        QFETCH(QString, english);
        QFETCH(QString, russian);
        const auto mid = static_cast<MessageId>(id);
        QCOMPARE(Messages::english(mid), english);
        QCOMPARE(Messages::russian(mid), russian);
    }

    void switchingChangesEveryCurrentText()
    {
        Messages::useRussian();
        QVERIFY(Messages::russianActive());
        for (int i = 0; i < MessageIdCount; ++i) {
            const auto id = static_cast<MessageId>(i);
            QCOMPARE(msg(id), Messages::russian(id));
        }
        Messages::useEnglish();
        QVERIFY(!Messages::russianActive());
        for (int i = 0; i < MessageIdCount; ++i) {
            const auto id = static_cast<MessageId>(i);
            QCOMPARE(msg(id), Messages::english(id));
        }
    }
};

QTEST_GUILESS_MAIN(TestMessages)
#include "tst_messages.moc"
