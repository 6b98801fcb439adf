#include "search/htmltext.h"

#include "search/markuptrimmer.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <gumbo.h>
#include <string_view>
#include <vector>

namespace {

// gumbo's tree is freed all at once with this arena: gumbo frees its nodes
// recursively, which a page nested a million levels deep would turn into a
// stack overflow, and freeing node by node costs a tenth of the parse.
class Arena {
public:
    Arena() = default;
    Arena(const Arena &) = delete;
    Arena &operator=(const Arena &) = delete;
    ~Arena()
    {
        for (char *block : m_blocks)
            std::free(block);
    }

    static void *allocate(void *self, size_t size)
    {
        return static_cast<Arena *>(self)->take(size);
    }
    static void release(void *, void *) {}

private:
    static constexpr std::size_t kBlockSize = std::size_t(1) << 20;

    void *take(std::size_t size)
    {
        size = (size + 15) & ~std::size_t(15);
        if (size > m_left) {
            const std::size_t blockSize = size > kBlockSize ? size : kBlockSize;
            char *block = static_cast<char *>(std::malloc(blockSize));
            if (!block)
                std::abort(); // gumbo cannot go on without memory
            m_blocks.push_back(block);
            m_next = block;
            m_left = blockSize;
        }
        void *p = m_next;
        m_next += size;
        m_left -= size;
        return p;
    }

    std::vector<char *> m_blocks;
    char *m_next = nullptr;
    std::size_t m_left = 0;
};

enum class Role : std::uint8_t {
    Block,  // its text stands apart from what comes before and after
    Inline, // its text runs on with its neighbours'
    Skip,   // nothing inside is shown
};

const std::array<Role, GUMBO_TAG_LAST + 1> &roles()
{
    static const std::array<Role, GUMBO_TAG_LAST + 1> table = [] {
        std::array<Role, GUMBO_TAG_LAST + 1> t{};
        t.fill(Role::Block);
        for (GumboTag tag :
             {GUMBO_TAG_A,       GUMBO_TAG_EM,       GUMBO_TAG_STRONG, GUMBO_TAG_SMALL,
              GUMBO_TAG_S,       GUMBO_TAG_CITE,     GUMBO_TAG_Q,      GUMBO_TAG_DFN,
              GUMBO_TAG_ABBR,    GUMBO_TAG_DATA,     GUMBO_TAG_TIME,   GUMBO_TAG_CODE,
              GUMBO_TAG_VAR,     GUMBO_TAG_SAMP,     GUMBO_TAG_KBD,    GUMBO_TAG_SUB,
              GUMBO_TAG_SUP,     GUMBO_TAG_I,        GUMBO_TAG_B,      GUMBO_TAG_U,
              GUMBO_TAG_MARK,    GUMBO_TAG_RUBY,     GUMBO_TAG_RB,     GUMBO_TAG_BDI,
              GUMBO_TAG_BDO,     GUMBO_TAG_SPAN,     GUMBO_TAG_WBR,    GUMBO_TAG_INS,
              GUMBO_TAG_DEL,     GUMBO_TAG_LABEL,    GUMBO_TAG_FONT,   GUMBO_TAG_BIG,
              GUMBO_TAG_TT,      GUMBO_TAG_STRIKE,   GUMBO_TAG_NOBR,   GUMBO_TAG_BLINK,
              GUMBO_TAG_ACRONYM, GUMBO_TAG_BASEFONT, GUMBO_TAG_SPACER, GUMBO_TAG_UNKNOWN})
            t[tag] = Role::Inline;
        for (GumboTag tag : {GUMBO_TAG_HEAD, GUMBO_TAG_TITLE, GUMBO_TAG_SCRIPT, GUMBO_TAG_STYLE,
                             GUMBO_TAG_NOSCRIPT, GUMBO_TAG_TEMPLATE, GUMBO_TAG_IFRAME,
                             GUMBO_TAG_NOEMBED, GUMBO_TAG_NOFRAMES, GUMBO_TAG_DATALIST,
                             GUMBO_TAG_RP, GUMBO_TAG_DESC, GUMBO_TAG_PARAM})
            t[tag] = Role::Skip;
        return t;
    }();
    return table;
}

bool isHtmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// An inline style that hides the element: "display:none" or "visibility:hidden",
// in any case and spacing.
bool hidesElement(const char *style)
{
    std::string compact;
    for (const char *p = style; *p; ++p) {
        if (!isHtmlSpace(*p))
            compact.push_back(char(*p >= 'A' && *p <= 'Z' ? *p + 32 : *p));
    }
    return compact.find("display:none") != std::string::npos ||
           compact.find("visibility:hidden") != std::string::npos;
}

Role roleOf(const GumboNode *node)
{
    const GumboElement &element = node->v.element;
    if (node->type == GUMBO_NODE_TEMPLATE)
        return Role::Skip;
    Role role = roles()[element.tag < GUMBO_TAG_LAST ? element.tag : GUMBO_TAG_UNKNOWN];
    // Inside SVG only text elements are read; titles there are tooltips.
    if (element.tag_namespace == GUMBO_NAMESPACE_SVG && element.tag == GUMBO_TAG_TITLE)
        role = Role::Skip;
    if (role == Role::Skip)
        return role;
    if (gumbo_get_attribute(&element.attributes, "hidden"))
        return Role::Skip;
    if (const GumboAttribute *style = gumbo_get_attribute(&element.attributes, "style");
        style && hidesElement(style->value))
        return Role::Skip;
    return role;
}

// Collects text with runs of white space made one blank.
class TextSink {
public:
    explicit TextSink(QByteArray &out) : m_out(out) {}

    void separate() { m_pendingSpace = !m_out.isEmpty(); }

    void append(const char *text)
    {
        const char *p = text;
        while (*p) {
            // A run of characters that are not blanks goes in at once.
            const char *run = p;
            while (*p && !isHtmlSpace(*p) && !(p[0] == '\xC2' && p[1] == '\xA0'))
                ++p;
            if (p > run) {
                if (m_pendingSpace) {
                    m_out.append(' ');
                    m_pendingSpace = false;
                }
                m_out.append(run, p - run);
            }
            // A no-break space separates words like any other blank.
            while (*p && (isHtmlSpace(*p) || (p[0] == '\xC2' && p[1] == '\xA0'))) {
                p += isHtmlSpace(*p) ? 1 : 2;
                separate();
            }
        }
    }

private:
    QByteArray &m_out;
    bool m_pendingSpace = false;
};

const GumboNode *findTitle(const GumboNode *root)
{
    // The first <title> of the HTML namespace, wherever a sloppy page put it.
    std::vector<const GumboNode *> stack{root};
    while (!stack.empty()) {
        const GumboNode *node = stack.back();
        stack.pop_back();
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_DOCUMENT)
            continue;
        const GumboVector &children = node->type == GUMBO_NODE_DOCUMENT ? node->v.document.children
                                                                        : node->v.element.children;
        if (node->type == GUMBO_NODE_ELEMENT) {
            if (node->v.element.tag_namespace != GUMBO_NAMESPACE_HTML)
                continue;
            if (node->v.element.tag == GUMBO_TAG_TITLE)
                return node;
        }
        for (unsigned i = children.length; i-- > 0;)
            stack.push_back(static_cast<const GumboNode *>(children.data[i]));
    }
    return nullptr;
}

void collectText(const GumboNode *root, TextSink &sink)
{
    // Depth first without recursion: pages can nest deeper than a stack allows.
    struct Frame {
        const GumboNode *node;
        unsigned next;
        bool block;
    };
    std::vector<Frame> stack;
    auto enter = [&](const GumboNode *node) {
        switch (node->type) {
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_CDATA:
        case GUMBO_NODE_WHITESPACE:
            sink.append(node->v.text.text);
            return;
        case GUMBO_NODE_DOCUMENT:
            stack.push_back({node, 0, false});
            return;
        case GUMBO_NODE_ELEMENT: {
            const Role role = roleOf(node);
            if (role == Role::Skip)
                return;
            const bool block = role == Role::Block;
            if (block)
                sink.separate();
            stack.push_back({node, 0, block});
            return;
        }
        default:
            return; // comments, templates
        }
    };
    enter(root);
    while (!stack.empty()) {
        Frame &frame = stack.back();
        const GumboVector &children = frame.node->type == GUMBO_NODE_DOCUMENT
                                          ? frame.node->v.document.children
                                          : frame.node->v.element.children;
        if (frame.next < children.length) {
            const auto *child = static_cast<const GumboNode *>(children.data[frame.next++]);
            enter(child);
            continue;
        }
        if (frame.block)
            sink.separate();
        stack.pop_back();
    }
}

} // namespace

namespace HtmlText {

Result extract(const QByteArray &html)
{
    Result result;
    const QByteArray input = MarkupTrimmer::forParser(html);
    Arena arena;
    GumboOptions options = kGumboDefaultOptions;
    options.allocator = &Arena::allocate;
    options.deallocator = &Arena::release;
    options.userdata = &arena;
    options.max_errors = 0; // errors are not looked at; recording them costs time
    GumboOutput *output =
        gumbo_parse_with_options(&options, input.constData(), std::size_t(input.size()));
    if (!output)
        return result;

    if (const GumboNode *title = findTitle(output->document)) {
        TextSink sink(result.title);
        const GumboVector &children = title->v.element.children;
        for (unsigned i = 0; i < children.length; ++i) {
            const auto *child = static_cast<const GumboNode *>(children.data[i]);
            if (child->type == GUMBO_NODE_TEXT || child->type == GUMBO_NODE_WHITESPACE)
                sink.append(child->v.text.text);
        }
    }
    result.text.reserve(input.size() / 4);
    TextSink sink(result.text);
    collectText(output->document, sink);
    // The arena frees the whole tree; gumbo_destroy_output is not called.
    return result;
}

} // namespace HtmlText
