#include "publisher_home.h"

namespace sarvoke::lab {
namespace {

struct Post {
  const char* title;  // as the page writes it
  std::string link;
  int views, comments;
};

// One post in the list form of the blog's theme: the ticker's pattern takes the views, the link (behind
// which "#comments" stands), the title and the number of comments.
std::string PostItem(const Post& p) {
  return "<ul class=\"post-meta\">\n\t\t\t\t<li class=\"meta-views\">\n\t\t\t\t\t" + std::to_string(p.views) +
         " views\n\t\t\t\t</li>\n\t\t\t\t<li class=\"meta-comments\">\n\t\t\t\t\t<a href=\"" + p.link +
         "#comments\"\n\t\t\t\t\t\ttitle=\"" + p.title + " 上的评论\">" + std::to_string(p.comments) +
         " 条评论</a>\n\t\t\t\t</li>\n\t\t\t</ul>\n";
}

}  // namespace

std::string PublisherHomePage(const std::string& host, bool withPosts) {
  const std::string site = "http://" + host;
  const Post posts[] = {
      {"Sarvoke工具v2.1版发布", site + "/post-58.html", 1523, 12},
      // "网盘搜索技巧" percent-encoded, as some of the blog's titles are stored.
      {"%E7%BD%91%E7%9B%98%E6%90%9C%E7%B4%A2%E6%8A%80%E5%B7%A7", site + "/post-61.html", 877, 3},
      {"C++ &amp; \"Qt\" &lt;入门&gt;", site + "/post-64.html", 45, 0},
      {"本站公告", "javascript:alert(document.cookie)", 9, 1},
  };
  std::string page =
      "<!DOCTYPE html>\n<html><head><meta charset=\"UTF-8\"><title>Velmora软件开发</title></head>\n<body>\n"
      "<div id=\"content\">\n";
  if (withPosts) {
    for (const Post& p : posts) page += "<article>\n\t\t\t" + PostItem(p) + "</article>\n";
  } else {
    page += "<p>暂无文章。</p>\n";
  }
  page += "</div>\n</body></html>\n";
  return page;
}

}  // namespace sarvoke::lab
