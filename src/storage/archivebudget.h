#pragma once

#include "storage/storagefailure.h"
#include "zip/zipformat.h"

#include <QString>
#include <cstdint>

// What an archive can still take in. The write-back refuses a file over
// 1 GiB, more than 20,000 entries and an archive past 4 GiB; whatever would
// take the working copy there is refused when it comes in instead, so the
// working copy never holds what cannot be written back.
class ArchiveBudget {
public:
    // Counts what the working folder holds now (the list file counts as an
    // entry whether it is there yet or not).
    void measure(const QString &workFolder);

    // Whether files more files of bytes in all, the largest of them
    // largestBytes, still fit.
    enum class Verdict { Fits, FileTooBig, TooManyFiles, TooBig };
    Verdict check(std::uint64_t files, std::uint64_t bytes, std::uint64_t largestBytes,
                  std::uint64_t nameBytes) const;
    // Counts them in.
    void take(std::uint64_t files, std::uint64_t bytes, std::uint64_t nameBytes);

    // The refusal of what does not fit, naming what was refused.
    static StorageFailure refusal(Verdict verdict, const QString &path);

private:
    std::uint64_t m_entries = 1;
    std::uint64_t m_plainBytes = 0;
    std::uint64_t m_zipBytes = ZipFormat::kEndRecordSize;
};
