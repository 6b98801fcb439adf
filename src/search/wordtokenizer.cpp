#include "search/wordtokenizer.h"

#include <QChar>
#include <QCryptographicHash>
#include <array>
#include <libstemmer.h>
#include <vector>

namespace {

enum class Kind : std::uint8_t {
    Separator,
    Letter,    // part of a word; its folded form is written out
    Digit,     // part of a word; stops the word from being stemmed
    Ignorable, // inside a word and not written out: soft hyphen, joiners
    Accent,    // a combining accent: inside a word, not written out
    Ideograph, // a word of its own: scripts written without spaces
};

enum class CharScript : std::uint8_t { None, Latin, Cyrillic, Other };

struct CharInfo {
    char32_t folded = 0;
    Kind kind = Kind::Separator;
    CharScript script = CharScript::None;
};

constexpr char32_t kTableSize = 0x500; // Basic Latin up to the end of Cyrillic
constexpr char32_t kCombiningBreve = 0x0306;

CharInfo classify(char32_t cp)
{
    CharInfo info;
    if (cp == 0x00AD || cp == 0x200C || cp == 0x200D || cp == 0x2060 || cp == 0xFEFF) {
        info.kind = Kind::Ignorable;
        return info;
    }
    if ((cp >= 0x3040 && cp <= 0x30FF) || (cp >= 0x3400 && cp <= 0x4DBF) ||
        (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xF900 && cp <= 0xFAFF) ||
        (cp >= 0x20000 && cp <= 0x2FFFF)) {
        info.kind = Kind::Ideograph;
        info.folded = cp;
        info.script = CharScript::Other;
        return info;
    }
    const QChar::Category category = QChar::category(cp);
    switch (category) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        // Accents on Latin, Greek and Cyrillic letters (and stress marks in
        // Russian texts) are dropped; in other scripts marks are vowels.
        if ((cp >= 0x0300 && cp <= 0x036F) || (cp >= 0x0483 && cp <= 0x0489)) {
            info.kind = Kind::Accent;
        } else {
            info.kind = Kind::Letter;
            info.folded = cp;
            info.script = CharScript::Other;
        }
        return info;
    case QChar::Number_DecimalDigit:
    case QChar::Number_Letter:
    case QChar::Number_Other:
        info.kind = Kind::Digit;
        info.folded = cp;
        return info;
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
        break;
    default:
        return info;
    }

    info.kind = Kind::Letter;
    if (cp < 0x80) {
        info.folded = QChar::toLower(cp);
        info.script = CharScript::Latin;
    } else if (cp >= 0x00C0 && cp <= 0x024F) {
        // Latin letters with accents fold to the plain letter ("é" is "e");
        // letters of their own ("ß", "ø", "æ") stay.
        char32_t base = cp;
        const QString decomposition = QChar::decomposition(cp);
        if (QChar::decompositionTag(cp) == QChar::Canonical && !decomposition.isEmpty() &&
            decomposition.at(0).unicode() < 0x80)
            base = decomposition.at(0).unicode();
        info.folded = QChar::toLower(base);
        info.script = CharScript::Latin;
    } else if (cp >= 0x0400 && cp <= 0x04FF) {
        info.folded = (cp == 0x0401 || cp == 0x0451) ? char32_t(0x0435) : QChar::toLower(cp);
        info.script = CharScript::Cyrillic;
    } else {
        info.folded = QChar::toCaseFolded(cp);
        info.script = CharScript::Other;
    }
    return info;
}

const std::array<CharInfo, kTableSize> &charTable()
{
    static const std::array<CharInfo, kTableSize> table = [] {
        std::array<CharInfo, kTableSize> t{};
        for (char32_t cp = 0; cp < kTableSize; ++cp)
            t[cp] = classify(cp);
        return t;
    }();
    return table;
}

CharInfo infoOf(char32_t cp)
{
    return cp < kTableSize ? charTable()[cp] : classify(cp);
}

// Decodes the code point at pos; an invalid sequence reads as one U+FFFD byte.
char32_t decodeAt(std::string_view text, qsizetype pos, int &length)
{
    const auto *p = reinterpret_cast<const unsigned char *>(text.data()) + pos;
    const qsizetype left = qsizetype(text.size()) - pos;
    const unsigned char c = p[0];
    length = 1;
    if (c < 0x80)
        return c;
    int need;
    char32_t cp;
    char32_t minimum;
    if ((c & 0xE0) == 0xC0) {
        need = 1;
        cp = c & 0x1F;
        minimum = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
        need = 2;
        cp = c & 0x0F;
        minimum = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
        need = 3;
        cp = c & 0x07;
        minimum = 0x10000;
    } else {
        return 0xFFFD;
    }
    if (left <= need)
        return 0xFFFD;
    for (int i = 1; i <= need; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0xFFFD;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0xFFFD;
    length = need + 1;
    return cp;
}

void appendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

// A few words of both languages whose stems show which stemmer is at work.
constexpr const char *kProbeWords[] = {
    "running",   "happiness", "generously", "connection",  "argued",     "universities",
    "правление", "банками",   "сообщили",   "красивейший", "полученные", "ёлками",
};

} // namespace

// Stemming is the slowest step of tokenizing; the words of a text repeat a
// lot, so stems are kept in a cache with one place a word: a lookup costs a
// hash and a compare, and nothing is allocated once the cache is warm.
struct WordTokenizer::Stemmers {
    static constexpr std::size_t kSlots = 1 << 14;

    struct Slot {
        std::uint64_t hash = 0;
        std::string word;
        std::string stem;
        bool used = false;
    };

    Stemmers()
        : english(sb_stemmer_new("english", "UTF_8")), russian(sb_stemmer_new("russian", "UTF_8")),
          slots(kSlots)
    {
    }
    ~Stemmers()
    {
        sb_stemmer_delete(english);
        sb_stemmer_delete(russian);
    }
    Stemmers(const Stemmers &) = delete;
    Stemmers &operator=(const Stemmers &) = delete;

    static std::uint64_t hashOf(std::string_view word, bool cyrillic)
    {
        std::uint64_t h = cyrillic ? 0xcbf29ce484222325ull : 0x84222325cbf29ce4ull; // FNV-1a
        for (const char c : word) {
            h ^= static_cast<unsigned char>(c);
            h *= 0x100000001b3ull;
        }
        return h;
    }

    const std::string &stem(std::string_view word, bool cyrillic)
    {
        const std::uint64_t h = hashOf(word, cyrillic);
        Slot &slot = slots[h & (kSlots - 1)];
        if (slot.used && slot.hash == h && slot.word == word)
            return slot.stem;
        sb_stemmer *stemmer = cyrillic ? russian : english;
        const sb_symbol *stemmed =
            stemmer ? sb_stemmer_stem(stemmer, reinterpret_cast<const sb_symbol *>(word.data()),
                                      int(word.size()))
                    : nullptr;
        if (stemmed)
            slot.stem.assign(reinterpret_cast<const char *>(stemmed),
                             std::size_t(sb_stemmer_length(stemmer)));
        else
            slot.stem.assign(word);
        slot.word.assign(word);
        slot.hash = h;
        slot.used = true;
        return slot.stem;
    }

    sb_stemmer *english;
    sb_stemmer *russian;
    std::vector<Slot> slots;
};

WordTokenizer::WordTokenizer() : m_stemmers(std::make_unique<Stemmers>()) {}

WordTokenizer::~WordTokenizer() = default;

void WordTokenizer::reset(std::string_view utf8)
{
    m_text = utf8;
    m_pos = 0;
    m_start = m_end = 0;
    m_folded.clear();
}

bool WordTokenizer::next()
{
    const qsizetype size = qsizetype(m_text.size());
    for (;;) {
        m_folded.clear();
        m_stemDone = false;
        m_script = Script::None;
        m_hasDigit = false;

        // Skip to the first character of a word.
        CharInfo info;
        int length = 1;
        while (m_pos < size) {
            const char32_t cp = decodeAt(m_text, m_pos, length);
            info = infoOf(cp);
            if (info.kind == Kind::Letter || info.kind == Kind::Digit ||
                info.kind == Kind::Ideograph)
                break;
            m_pos += length;
        }
        if (m_pos >= size)
            return false;

        m_start = m_pos;
        if (info.kind == Kind::Ideograph) {
            appendUtf8(m_folded, info.folded);
            m_pos += length;
            m_end = m_pos;
            m_script = Script::Mixed;
            return true;
        }

        bool tooLong = false;
        char32_t last = 0;
        while (m_pos < size) {
            const char32_t cp = decodeAt(m_text, m_pos, length);
            info = infoOf(cp);
            if (info.kind == Kind::Separator || info.kind == Kind::Ideograph)
                break;
            m_pos += length;
            if (info.kind == Kind::Ignorable)
                continue;
            if (info.kind == Kind::Accent) {
                // "й" typed as "и" and a combining breve is still "й".
                if (cp == kCombiningBreve && last == 0x0438 && m_folded.size() >= 2) {
                    m_folded.resize(m_folded.size() - 2);
                    appendUtf8(m_folded, 0x0439);
                    last = 0x0439;
                }
                continue;
            }
            if (info.kind == Kind::Digit) {
                m_hasDigit = true;
            } else {
                const Script s = info.script == CharScript::Latin      ? Script::Latin
                                 : info.script == CharScript::Cyrillic ? Script::Cyrillic
                                                                       : Script::Mixed;
                if (m_script == Script::None)
                    m_script = s;
                else if (m_script != s)
                    m_script = Script::Mixed;
            }
            if (m_folded.size() < std::size_t(kMaxWordBytes) + 4)
                appendUtf8(m_folded, info.folded);
            else
                tooLong = true;
            last = info.folded;
        }
        m_end = m_pos;
        if (!tooLong && !m_folded.empty() && m_folded.size() <= std::size_t(kMaxWordBytes))
            return true;
    }
}

std::string_view WordTokenizer::stem()
{
    if (m_stemDone)
        return m_stem;
    m_stemDone = true;
    if (m_hasDigit || (m_script != Script::Latin && m_script != Script::Cyrillic)) {
        m_stem = m_folded;
        return m_stem;
    }
    m_stem = m_stemmers->stem(m_folded, m_script == Script::Cyrillic);
    return m_stem;
}

std::string WordTokenizer::foldWord(std::string_view utf8)
{
    const std::string_view saved = m_text;
    const qsizetype savedPos = m_pos;
    reset(utf8);
    std::string result;
    if (next())
        result = m_folded;
    m_text = saved;
    m_pos = savedPos;
    return result;
}

std::string WordTokenizer::stemOf(std::string_view folded)
{
    reset(folded);
    if (!next())
        return {};
    return std::string(stem());
}

QByteArray WordTokenizer::fingerprint()
{
    // The version of the folding rules above; raise it when they change.
    QByteArray probe("folding 1;");
    for (const char *word : kProbeWords) {
        reset(word);
        while (next()) {
            probe += QByteArray(m_folded.data(), qsizetype(m_folded.size()));
            probe += '>';
            const std::string_view s = stem();
            probe += QByteArray(s.data(), qsizetype(s.size()));
            probe += ' ';
        }
    }
    return QCryptographicHash::hash(probe, QCryptographicHash::Sha1).toHex();
}
