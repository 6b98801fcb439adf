#include "storage/workrecord.h"

#include "storage/listfile.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const QString kZip = QStringLiteral("zip");
const QString kSection = QStringLiteral("section");
const QString kArchive = QStringLiteral("archive");
const QString kZipStamp = QStringLiteral("zipStamp");
const QString kHoldsChanges = QStringLiteral("holdsChanges");
const QString kBeingMade = QStringLiteral("beingMade");

} // namespace

QString WorkRecord::pathFor(const QString &workFolder)
{
    return workFolder + QStringLiteral(".record");
}

bool WorkRecord::write(const QString &workFolder) const
{
    // JSON keeps any name and path whole, line breaks and all.
    QJsonObject object{
        {kZip, zipPath}, {kSection, section}, {kArchive, archive}, {kHoldsChanges, holdsChanges}};
    if (zipStamp)
        object.insert(kZipStamp, zipStamp->toJson());
    if (beingMade)
        object.insert(kBeingMade, true);
    return saveWholeFile(pathFor(workFolder), QJsonDocument(object).toJson());
}

std::optional<WorkRecord> WorkRecord::read(const QString &workFolder)
{
    QByteArray bytes;
    if (!readWholeFile(pathFor(workFolder), bytes))
        return std::nullopt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    WorkRecord record{object.value(kZip).toString(), object.value(kSection).toString(),
                      object.value(kArchive).toString()};
    if (record.zipPath.isEmpty())
        return std::nullopt;
    record.zipStamp = ZipStamp::fromJson(object.value(kZipStamp).toObject());
    record.holdsChanges = object.value(kHoldsChanges).toBool(true);
    record.beingMade = object.value(kBeingMade).toBool(false);
    return record;
}

bool WorkRecord::remove(const QString &workFolder)
{
    const QString path = pathFor(workFolder);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    return QFile::remove(path);
}
