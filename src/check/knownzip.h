#pragma once

#include <QList>
#include <QString>
#include <cstdint>
#include <optional>

// What the program still knows of a zip that is gone (the search index keeps
// it): its size and its pages' entries, to know the zip again under another
// name or in another place.
struct KnownZip {
    struct Entry {
        QString name;
        std::uint32_t crc = 0;
        std::uint64_t size = 0;
    };
    std::optional<std::uint64_t> sizeBytes;
    QList<Entry> pages;

    bool isEmpty() const { return !sizeBytes && pages.isEmpty(); }
};
