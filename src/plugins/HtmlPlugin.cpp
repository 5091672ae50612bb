// SPDX-License-Identifier: GPL-3.0-or-later
#include "HtmlPlugin.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>

namespace {

struct Parse {
    const BrenvikHtmlEvents* events;
    htmlParserCtxtPtr context;
};

Parse& of(void* context) {
    return *static_cast<Parse*>(static_cast<htmlParserCtxtPtr>(context)->_private);
}

void goOnUnless(Parse& p, int stop) {
    if (stop)
        xmlStopParser(p.context);
}

void started(void* context, const xmlChar* name, const xmlChar** attributes) {
    Parse& p = of(context);
    goOnUnless(p, p.events->start(p.events->reader, reinterpret_cast<const char*>(name),
                                  reinterpret_cast<const char* const*>(attributes)));
}

void ended(void* context, const xmlChar*) {
    Parse& p = of(context);
    goOnUnless(p, p.events->end(p.events->reader));
}

void characters(void* context, const xmlChar* text, int length) {
    Parse& p = of(context);
    goOnUnless(p, p.events->text(p.events->reader, reinterpret_cast<const char*>(text),
                                 static_cast<std::size_t>(length)));
}

int readPage(const char* utf8, std::size_t size, const BrenvikHtmlEvents* events) {
    htmlParserCtxtPtr context = htmlNewParserCtxt();
    if (!context)
        return 0;
    Parse parse{events, context};
    htmlSAXHandler handler{};
    handler.startElement = &started;
    handler.endElement = &ended;
    handler.characters = &characters;
    handler.ignorableWhitespace = &characters;
    handler.cdataBlock = &characters;
    *context->sax = handler;
    context->_private = &parse;
    // The page is UTF-8 by now, whatever its meta tag says; libxml2 would otherwise switch
    // decoders half-way through the page. The parser hands over each element as it reads it and
    // builds no tree; its limits on the size of text stay in force (no XML_PARSE_HUGE).
    const int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET |
                        HTML_PARSE_IGNORE_ENC | HTML_PARSE_COMPACT;
    htmlCtxtReadMemory(context, utf8, static_cast<int>(size), nullptr, "UTF-8", options);
    htmlFreeParserCtxt(context);
    return 1;
}

const BrenvikHtmlPlugin kPlugin{brenvik::kHtmlPluginVersion, &readPage};

} // namespace

extern "C" [[gnu::visibility("default")]] const void* brenvik_html_plugin() {
    static const bool ready = (xmlInitParser(), true);
    return ready ? &kPlugin : nullptr;
}
