// Runs a fuzz target over saved inputs without libFuzzer, so that the
// ordinary tests replay every input that once found a fault: each argument
// is a file, or a folder whose files are all run, in name order.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace {

bool replay(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return false;
    }
    const QByteArray bytes = file.readAll();
    std::printf("%s\n", qPrintable(path));
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                           std::size_t(bytes.size()));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    int count = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const QString path = QFile::decodeName(argv[i]);
        if (!QFileInfo(path).isDir()) {
            ok = replay(path) && ok;
            ++count;
            continue;
        }
        const QDir folder(path);
        for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden, QDir::Name)) {
            ok = replay(folder.filePath(name)) && ok;
            ++count;
        }
    }
    std::printf("%d inputs replayed\n", count);
    return ok ? 0 : 1;
}
