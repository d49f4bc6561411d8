// The search request: what the user typed, the page size and the page number become the address of a
// results page of the web search engine, which is fetched and handed to the result parser.
//
//   UrlEncode("abc 1.2_x/y", true, true)  == "abc%201.2%5Fx%2Fy"
//   BlockedWordsQuery("a b ")            == " -%28%61+%7C+%62%29"
#pragma once

#include "app/app.h"
#include "net/endpoints.h"
#include "text/text.h"

namespace sarvoke {

// "10", "20", "50" or "100" for the selected index of 组合框1; "" for anything else.
Text PageSizeText(int selectedIndex);

// Percent-encoding: with `keepAlnum` the bytes "-", ".", digits and ASCII letters stay literal; with
// `toUtf8` the text is first converted from code page 936 to UTF-8.
Text UrlEncode(std::string_view text, bool keepAlnum, bool toUtf8);

// The exclusion suffix for a blocked-words text: " -" and, when it holds words (each ended by a space),
// the parenthesised group of the encoded words separated by "+%7C+".
Text BlockedWordsQuery(const Text& text);

// The address of results page `page` (1 for the first page's form).
Text SearchAddress(const Endpoints& endpoints, int page, const Text& encodedWord, const Text& blockedSuffix,
                   const Text& pageSize);

// Builds the address for the current page from the window, fetches it into pageText and parses it; a
// page that cannot be fetched empties the list and says so.
void RunSearch(App& app);

}  // namespace sarvoke
