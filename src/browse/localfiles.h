#pragma once

#include <QString>

// Finding the files of saved pages inside the working folder.
namespace LocalFiles {

// The file that path, asked for by a page below root, stands for when no file
// of that name exists: pages saved on Windows refer to their pictures and
// styles with other letter case than the files have ("Report_Files/Pic.GIF"
// for "report_files/pic.gif") and with "\" between folders. Every level is
// matched without regard to case, the exact name first. Empty when path names
// an existing entry as it is, when nothing matches, or when path is not below
// root: a path leaving root by ".." or through a link is never resolved.
QString resolveWithoutCase(const QString &root, const QString &path);

} // namespace LocalFiles
