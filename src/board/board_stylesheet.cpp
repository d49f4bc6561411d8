// The board page's stylesheet: the rules its elements use, and a few for the parts of the page a
// browser draws around them. The border colour of the board settings replaces #CCCCCC and #EEEEEE.
#include "board/board_pages.h"

namespace sarvoke {
namespace {

struct Rule {
  std::string_view selector;
  std::initializer_list<std::string_view> declarations;
};

const Rule kRules[] = {
    {"html, body, div, span, applet, object, iframe, h1, h2, h3, h4, h5, h6, p, blockquote, pre, a, abbr, "
     "acronym, address, big, cite, code, del, dfn, em, font, img, ins, kbd, q, s, samp, small, strike, "
     "strong, "
     "sub, sup, tt, var, b, u, i, center, dl, dt, dd, ol, ul, li, fieldset, form, input, label, legend, "
     "table, "
     "caption, tbody, tfoot, thead, tr, th, td",
     {"background: none repeat scroll 0 0 transparent;", "border: 0 none;", "font-family: inherit;",
      "font-size: 100%;", "font-style: inherit;", "font-weight: inherit;", "list-style: none outside none;",
      "margin: 0;", "outline: 0 none;", "padding: 0;", "vertical-align: baseline;"}},
    {"body",
     {"background: url(\"../img/bg_rp_xy.png\") repeat scroll 0 0 transparent;", "color: #222222;",
      "font: 13px 'Century Gothic',\"Microsoft YaHei\",Trebuchet MS,Arial,Verdana,Tahoma,\"DejaVu Sans\","
      "\"Liberation sans\",\"Bitstream Vera Sans\",sans-serif;"}},
    {"a", {"color: #21759B;", "text-decoration: none;"}},
    {"a:hover", {"color: #D54E21;", "text-decoration: underline;"}},
    {"img", {"vertical-align: middle;", "border: 1px solid #CCCCCC;", "border-radius: 2px;"}},
    {"ol.commentlist", {"margin: 4px;", "border: 1px solid #CCCCCC;"}},
    {".commentlist li",
     {"background: none repeat scroll 0 0 #FFFFFF;", "border: 1px solid #CCCCCC;",
      "border-radius: 3px 3px 3px 3px;", "margin-top: 5px;", "padding: 0px;"}},
    {".commentlist li .children li",
     {"border-color: #EEEEEE -moz-use-text-color -moz-use-text-color;", "border-left: medium none;",
      "border-radius: 0 0 0 0;", "border-right: medium none;", "border-style: dashed none none;",
      "border-width: 1px medium medium;", "padding: 0;"}},
    {".comment-body", {"border: 1px solid #CCCCCC;", "margin: 2px;"}},
    {".comment-body .commenttext", {"padding: 5px 0;", "position: relative;"}},
    {"ul.children", {"border: 1px solid #CCCCCC;", "margin-left: 20px;"}},
};

}  // namespace

Text BoardStylesheet(std::string_view borderColor) {
  Text css = "@CHARSET \"UTF-8\";\r\n";
  for (const Rule& r : kRules) {
    css.append(r.selector).append(" {\r\n");
    for (std::string_view d : r.declarations) css.append("    ").append(d).append("\r\n");
    css.append("}\r\n");
  }
  const Text border = "border: 1px solid " + Text(borderColor) + ";";
  const Text shade = "border-color: " + Text(borderColor) + " -moz-use-text-color";
  return MultiReplace(
      css, {{"border: 1px solid #CCCCCC;", border}, {"border-color: #EEEEEE -moz-use-text-color", shade}});
}

}  // namespace sarvoke
