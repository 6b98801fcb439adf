#include "search/markuptrimmer.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool isHtmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
}

bool isAsciiAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool startsWithNoCase(std::string_view text, std::size_t at, std::string_view word)
{
    if (at + word.size() > text.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (lower(text[at + i]) != word[i])
            return false;
    }
    return true;
}

bool isOneOf(std::string_view name, std::initializer_list<std::string_view> names)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Elements that never hold anything.
bool isVoid(std::string_view name)
{
    return isOneOf(name, {"area", "base", "br", "col", "embed", "hr", "img", "input", "link",
                          "meta", "param", "source", "track", "wbr", "keygen", "frame", "basefont",
                          "bgsound", "image"});
}

// Elements a new one of the same kind closes: <p>, <li>, <td> and the like
// are mostly left open on old pages.
bool closesItsLike(std::string_view name)
{
    return isOneOf(name, {"p", "li", "dt", "dd", "tr", "td", "th", "option", "optgroup", "thead",
                          "tbody", "tfoot", "rb", "rt", "rp", "rtc"});
}

// Where the end tag "</name" that closes a raw-text element starts, at or
// after from; npos when the element runs to the end of the document.
std::size_t findEndTag(std::string_view html, std::size_t from, std::string_view name)
{
    for (std::size_t pos = from; (pos = html.find("</", pos)) != std::string_view::npos; pos += 2) {
        if (!startsWithNoCase(html, pos + 2, name))
            continue;
        const std::size_t after = pos + 2 + name.size();
        if (after >= html.size() || isHtmlSpace(html[after]) || html[after] == '/' ||
            html[after] == '>')
            return pos;
    }
    return std::string_view::npos;
}

// A start tag as the tokenizer reads it: where it ends and which of its
// attributes matter for what text is shown.
struct StartTag {
    std::size_t end = std::string_view::npos; // past its ">"; npos when it never closes
    bool selfClosing = false;
    bool otherAttributes = false;       // any besides the kept ones
    std::vector<std::string_view> kept; // "hidden" and "style", as written
};

StartTag readStartTag(std::string_view html, std::size_t lt)
{
    StartTag tag;
    std::size_t pos = lt + 1;
    while (pos < html.size() && !isHtmlSpace(html[pos]) && html[pos] != '/' && html[pos] != '>')
        ++pos; // the name
    for (;;) {
        while (pos < html.size() && (isHtmlSpace(html[pos]) || html[pos] == '/'))
            ++pos;
        if (pos >= html.size())
            return tag;
        if (html[pos] == '>') {
            tag.end = pos + 1;
            tag.selfClosing = html[pos - 1] == '/';
            return tag;
        }
        const std::size_t start = pos;
        ++pos; // a name may begin with "="
        while (pos < html.size() && !isHtmlSpace(html[pos]) && html[pos] != '/' &&
               html[pos] != '>' && html[pos] != '=')
            ++pos;
        std::string name;
        for (std::size_t i = start; i < pos; ++i)
            name.push_back(lower(html[i]));
        std::size_t after = pos;
        while (after < html.size() && isHtmlSpace(html[after]))
            ++after;
        if (after < html.size() && html[after] == '=') {
            pos = after + 1;
            while (pos < html.size() && isHtmlSpace(html[pos]))
                ++pos;
            if (pos < html.size() && (html[pos] == '"' || html[pos] == '\'')) {
                const std::size_t close = html.find(html[pos], pos + 1);
                if (close == std::string_view::npos)
                    return tag;
                pos = close + 1;
            } else {
                while (pos < html.size() && !isHtmlSpace(html[pos]) && html[pos] != '>')
                    ++pos;
            }
        }
        if (name == "hidden" || name == "style")
            tag.kept.push_back(html.substr(start, pos - start));
        else
            tag.otherAttributes = true;
    }
}

std::string tagName(std::string_view html, std::size_t from)
{
    std::string name;
    for (std::size_t i = from;
         i < html.size() && !isHtmlSpace(html[i]) && html[i] != '/' && html[i] != '>'; ++i)
        name.push_back(lower(html[i]));
    return name;
}

// The elements open at a point of the document, roughly as the parser keeps
// them: enough to tell how deep the nesting is.
class OpenElements {
public:
    void open(const std::string &name, bool selfClosing)
    {
        if (isVoid(name))
            return;
        // In SVG and MathML "<x/>" is closed at once; in HTML the slash means nothing.
        if (selfClosing && m_foreign > 0)
            return;
        if (closesItsLike(name)) {
            const std::size_t look = std::min<std::size_t>(m_names.size(), 16);
            for (std::size_t i = 0; i < look; ++i) {
                if (m_names[m_names.size() - 1 - i] == name) {
                    popTo(m_names.size() - 1 - i);
                    break;
                }
            }
        }
        if (name == "svg" || name == "math")
            ++m_foreign;
        m_names.push_back(name);
    }
    void close(const std::string &name)
    {
        for (std::size_t i = m_names.size(); i-- > 0;) {
            if (m_names[i] == name) {
                popTo(i);
                return;
            }
        }
    }
    // The element just opened goes again (it was left out).
    void forgetLast()
    {
        if (!m_names.empty())
            popTo(m_names.size() - 1);
    }
    std::size_t depth() const { return m_names.size(); }

private:
    void popTo(std::size_t size)
    {
        while (m_names.size() > size) {
            if (m_names.back() == "svg" || m_names.back() == "math")
                --m_foreign;
            m_names.pop_back();
        }
    }

    std::vector<std::string> m_names;
    int m_foreign = 0;
};

} // namespace

namespace MarkupTrimmer {

QByteArray forParser(const QByteArray &bytes, bool *flattened)
{
    const std::string_view html(bytes.constData(), std::size_t(bytes.size()));
    QByteArray out;
    std::size_t copied = 0; // html[0, copied) is in out, less what was left out
    bool changed = false;
    // Puts instead of html[from, to), which lies after what was copied so far.
    auto replace = [&](std::size_t from, std::size_t to, std::string_view instead) {
        if (!changed)
            out.reserve(bytes.size());
        changed = true;
        out.append(html.data() + copied, qsizetype(from - copied));
        out.append(instead.data(), qsizetype(instead.size()));
        copied = to;
    };
    // The start tag at [from, to) with only the attributes that decide what is shown.
    auto shorten = [&](std::size_t from, std::size_t to, const std::string &name,
                       const StartTag &tag) {
        if (!tag.otherAttributes)
            return;
        std::string shortTag = "<" + name;
        for (const std::string_view attribute : tag.kept) {
            shortTag += ' ';
            shortTag += attribute;
        }
        shortTag += tag.selfClosing ? "/>" : ">";
        replace(from, to, shortTag);
    };
    OpenElements elements;
    std::size_t pos = 0;
    while (pos < html.size()) {
        const std::size_t lt = html.find('<', pos);
        if (lt == std::string_view::npos || lt + 1 >= html.size())
            break;
        const char next = html[lt + 1];
        if (next == '!') {
            if (html.compare(lt, 4, "<!--") == 0) {
                // "<!-->" and "<!--->" are whole (empty) comments.
                if (html.compare(lt + 4, 1, ">") == 0) {
                    pos = lt + 5;
                } else if (html.compare(lt + 4, 2, "->") == 0) {
                    pos = lt + 6;
                } else {
                    const std::size_t end = html.find("-->", lt + 4);
                    pos = end == std::string_view::npos ? html.size() : end + 3;
                }
            } else {
                const std::size_t end = html.find('>', lt + 2);
                pos = end == std::string_view::npos ? html.size() : end + 1;
            }
            continue;
        }
        if (next == '/' || next == '?') {
            if (next == '/' && lt + 2 < html.size() && isAsciiAlpha(html[lt + 2]))
                elements.close(tagName(html, lt + 2));
            const std::size_t end = html.find('>', lt + 2);
            pos = end == std::string_view::npos ? html.size() : end + 1;
            continue;
        }
        if (!isAsciiAlpha(next)) {
            pos = lt + 1;
            continue;
        }
        const std::string name = tagName(html, lt + 1);
        const StartTag tag = readStartTag(html, lt);
        if (tag.end == std::string_view::npos)
            break;
        const std::size_t end = tag.end;
        pos = end;
        if (name == "plaintext")
            break; // everything after it is text

        const bool rawText = name == "script" || name == "style" || name == "textarea" ||
                             name == "title" || name == "xmp" || name == "iframe" ||
                             name == "noembed" || name == "noframes";
        if (!rawText) {
            elements.open(name, tag.selfClosing);
            if (elements.depth() > std::size_t(kMaxDepth)) {
                elements.forgetLast();
                replace(lt, end, {});
                if (flattened)
                    *flattened = true;
            } else {
                shorten(lt, end, name, tag);
            }
            continue;
        }
        shorten(lt, end, name, tag);
        const std::size_t close = findEndTag(html, end, name);
        const std::size_t contentEnd = close == std::string_view::npos ? html.size() : close;
        // "<!--" in a script switches the tokenizer into its escaped states,
        // where "</script>" may not end it; such a script is left to the parser.
        const bool cut = name == "script" || name == "style";
        const bool escaped = name == "script" && html.substr(end, contentEnd - end).find("<!--") !=
                                                     std::string_view::npos;
        if (cut && !escaped && contentEnd > end)
            replace(end, contentEnd, {});
        pos = contentEnd;
    }
    if (!changed)
        return bytes;
    out.append(html.data() + copied, qsizetype(html.size() - copied));
    return out;
}

} // namespace MarkupTrimmer
