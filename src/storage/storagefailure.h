#pragma once

#include "lang/boxtext.h"

#include <QString>
#include <QStringList>

// Why a storage operation failed, for the caller to show the user. Storage
// never shows anything itself: it may run on a worker thread.
struct StorageFailure {
    enum class Box {
        None,    // nothing failed
        Message, // a plain box: files that could not be saved, a damaged archive
        Error,   // an error box: a file that could not be opened or created
    };
    Box box = Box::None;
    QString text;
    // The list text ends with, one item a line (the files that could not be
    // saved), for a box that shows it apart; empty when it has none.
    QStringList list = {};

    bool failed() const { return box != Box::None; }
    // The text for a box, its list kept apart.
    BoxText boxText() const
    {
        const QString crLf = QStringLiteral("\r\n");
        const QString tail = list.join(crLf) + crLf;
        if (list.isEmpty() || !text.endsWith(tail))
            return text;
        return BoxText::listed(text.chopped(tail.size()), list, crLf);
    }
};

// The platform's words for a file or folder that could not be created.
inline StorageFailure cannotCreateFailure(const QString &path)
{
    return {StorageFailure::Box::Error, QStringLiteral("Cannot create file %1").arg(path)};
}

// The platform's words for a file that could not be opened for reading.
inline QString cannotOpenText(const QString &path)
{
    return QStringLiteral("Cannot open file %1").arg(path);
}
