#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Small file helpers shared by the tests.
namespace TestFiles {

bool write(const QString &path, const QByteArray &bytes); // creates parent folders
QByteArray read(const QString &path);
// Runs a program and returns its exit code (-1 when it could not start);
// output receives stdout and stderr together.
int run(const QString &program, const QStringList &args, QByteArray *output = nullptr,
        const QString &workingDir = {});
bool runningAsRoot();

} // namespace TestFiles
