// Small RTF documents in the forms real writers use, each with the texts a
// reader of it sees (a search must find them) and texts of its markup that
// no reader sees (a search must not find them). Texts are UTF-8, separated
// by '|'; non-ASCII letters are written as escapes so any compiler reads them.
#pragma once

#include <cstddef>

struct RtfDocument {
    const char* name;
    const char* bytes;       // may hold zero bytes: length counts them
    std::size_t length;
    const char* visible;     // '|'-separated texts that must be found
    const char* invisible;   // '|'-separated texts that must not be found
};

#define TROVIK_RTF_BYTES(text) text, sizeof(text) - 1

constexpr RtfDocument kRtfDocuments[] = {
    // A list table in the header: its level text holds the escape \'00.
    {"list table before the body",
     TROVIK_RTF_BYTES("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\*\\listtable{\\list\\listtemplateid1{\\listlevel"
                      "\\levelnfc0{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}\\fi-360\\li720}\\listid1}}"
                      "{\\*\\listoverridetable{\\listoverride\\listid1\\ls1}}\\pard\\ls1 Quarterly harbour figures\\par}"),
     "Quarterly harbour figures", "listid|Arial"},
    // Raw picture bytes, zero bytes among them, before later text.
    {"binary picture data",
     TROVIK_RTF_BYTES("{\\rtf1\\ansi Before the plate{\\*\\shppict{\\pict\\pngblip\\picw4\\pich4\\bin8 "
                      "\x89PNG\0\0Zq}}After the plate\\par}"),
     "Before the plate|After the plate", "PNG|Zq|pngblip"},
    {"style sheet",
     TROVIK_RTF_BYTES("{\\rtf1\\ansi{\\stylesheet{\\s0\\snext0 Normal;}{\\s1\\sbasedon0\\snext0 heading 1;}"
                      "{\\*\\cs10 Default Paragraph Font;}}\\pard\\s1 Lighthouse keeper\\par}"),
     "Lighthouse keeper", "Normal|heading|Default|Paragraph|Font"},
    {"ignorable destinations and document info",
     TROVIK_RTF_BYTES("{\\rtf1\\ansi{\\*\\generator Riched20 10.0.19041;}{\\info{\\title Tide almanac}"
                      "{\\author Ingrid Halvorsen}}{\\*\\themedata 504b030414000600}{\\*\\latentstyles\\lsdstimax376"
                      "{\\lsdlockedexcept Normal;heading 1;}}Keeper of the light\\par}"),
     "Keeper of the light", "Riched20|almanac|Halvorsen|504b0304|Normal"},
    {"hyperlink field",
     TROVIK_RTF_BYTES("{\\rtf1\\ansi See {\\field{\\*\\fldinst{HYPERLINK \"https://example.org/tides\"}}"
                      "{\\fldrslt{\\ul\\cf1 tide tables}}} for Sunday.\\par}"),
     "See tide tables for Sunday|https://example.org/tides", "HYPERLINK|tidestide"},
    {"table cells and rows",
     TROVIK_RTF_BYTES("{\\rtf1\\ansi\\trowd\\cellx2000\\cellx4000\\pard\\intbl Kelp\\cell Oyster\\cell\\row"
                      "\\trowd\\cellx2000\\cellx4000\\pard\\intbl Mussel\\cell Scallop\\cell\\row\\pard Tally\\par}"),
     "Kelp|Oyster|Mussel|Scallop|Tally", "KelpOyster|ScallopTally"},
    // Letters by number with one, none and two fallbacks; a negative number
    // stands for a code point above 32767.
    {"letters by number and their fallbacks",
     TROVIK_RTF_BYTES("{\\rtf1\\ansi\\uc1 \\u1055?\\u1088?\\u1080?\\u1074?\\u1077?\\u1090? {\\uc0 \\u1084\\u1080\\u1088}"
                      " {\\uc2\\u963\\'3f\\'3f\\u945??} \\u26085?\\u26412?\\u-30050? caf\\u233\\'e9 end\\par}"),
     "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xD0\xBC\xD0\xB8\xD1\x80|\xCF\x83\xCE\xB1|"
     "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E|caf\xC3\xA9 end",
     "?|caf\xC3\xA9\xC3\xA9"},
    // A Ukrainian document in its own code page, read on a Western system.
    {"document in code page 1251",
     TROVIK_RTF_BYTES("{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fcharset204 Arial;}}\\f0 "
                      "\\'cf\\'f0\\'e8\\'e2\\'e5\\'f2 \\'f1\\'e2\\'b3\\'f2\\par}"),
     "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xD1\x81\xD0\xB2\xD1\x96\xD1\x82",
     "\xC3\x8F\xC3\xB0\xC3\xA8\xC3\xA2\xC3\xA5\xC3\xB2"},
    {"typographic punctuation",
     TROVIK_RTF_BYTES("{\\rtf1\\ansi Don\\rquote t anchor\\emdash wait for the \\ldblquote evening\\rdblquote  tide,"
                      " 12\\~km out, north\\endash east\\par}"),
     "Don't anchor|\"evening\"|12 km|north-east", "Dont"},
    // Footnotes, headers and footers are printed with the page.
    {"footnote, header and footer",
     TROVIK_RTF_BYTES("{\\rtf1\\ansi{\\header\\pard Harbour bulletin\\par}{\\footer\\pard Page footer\\par}"
                      "Shoals.{\\super\\chftn}{\\*\\footnote\\pard\\plain{\\super\\chftn} Quicksand warning.}\\par}"),
     "Harbour bulletin|Page footer|Quicksand warning", "footnote"},
    // A writer breaks lines inside groups, right after a control word.
    {"line break after a control word",
     TROVIK_RTF_BYTES("{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Serif;}}{\\loch\nJuniper} and {\\hich\r\nberries}"
                      "\\par}"),
     "Juniper and berries", "lochJuniper|hichberries|Liberation"},
    // Raw bytes that look like markup: braces, a backslash, an escape, zeros.
    {"binary data that looks like markup",
     TROVIK_RTF_BYTES("{\\rtf1\\ansi Start {\\pict\\bin12 }{\\\0\r\n\\'00\0\0xy}end of it\\par}"),
     "Start end of it", "xy"},
    // Japanese in a double-byte code page, escaped and raw, and by number
    // with two escapes as its fallback.
    {"document in code page 932",
     TROVIK_RTF_BYTES("{\\rtf1\\ansi\\ansicpg932{\\fonttbl{\\f0\\fcharset128 MS Mincho;}}\\f0 "
                      "\\'93\\'fa\\'96\\'7b\\'8c\\'ea\x82\xcc {\\uc2\\u26085\\'93\\'fa}\\par}"),
     "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE \xE6\x97\xA5", "Mincho|\xE6\x97\xA5\xE6\x97\xA5"},
    // LibreOffice breaks lines inside control words: the digits on the
    // next line are text.
    {"line breaks ending control words",
     TROVIK_RTF_BYTES("{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Serif;}}\\f0{\\loch\n210} boats at \\fs24\r\n36 knots"
                      "\\par}"),
     "210 boats at 36 knots", "loch210|Liberation"},
    // Mac editors end paragraphs with a backslash before the line break.
    {"backslash paragraph marks",
     TROVIK_RTF_BYTES("{\\rtf1\\ansi\\ansicpg1252\\cocoartf2639\n\\f0\\fs24 Morning tide\\\nEvening tide\\\r\n"
                      "12 boats\\\n}"),
     "Morning tide|Evening tide|12 boats", "tideEvening|cocoartf"},
    {"escaped braces and backslashes",
     TROVIK_RTF_BYTES("{\\rtf1\\ansi Saved to C:\\\\Users\\\\harbour as \\{draft\\}\\par}"),
     "C:\\Users\\harbour|{draft}", "Usersharbour"},
    {"nested table",
     TROVIK_RTF_BYTES("{\\rtf1\\ansi\\trowd\\cellx4000\\pard\\intbl{\\pard\\itap2 Anchor\\nestcell Deep\\nestcell"
                      "{\\*\\nesttableprops\\trowd\\cellx2000\\nestrow}}after\\cell\\row Outer\\par}"),
     "Anchor|Deep|after|Outer", "AnchorDeep|afterOuter"},
    // Text in fonts whose character sets differ from the document's code
    // page: Japanese and Hungarian in a Western document.
    {"fonts with character sets of their own",
     TROVIK_RTF_BYTES("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fnil\\fcharset128 MS Mincho;}"
                      "{\\f2\\fswiss\\fcharset238 Arial CE;}}\\f0 Tide {\\f1 \\'93\\'fa\\'96\\'7b} and "
                      "{\\f2 \\'e1rv\\'edzt\\'fbr\\'f5}\\par}"),
     "Tide \xE6\x97\xA5\xE6\x9C\xAC and|\xC3\xA1rv\xC3\xADzt\xC5\xB1r\xC5\x91",
     "\xC3\xA1rv\xC3\xADzt\xC3\xBBr\xC3\xB5|Mincho"},
};

#undef TROVIK_RTF_BYTES
