// The publisher's home page: its latest posts in the blog's list form, which the program's news ticker
// reads. UTF-8; some titles are percent-encoded, one holds HTML's special characters, and one post's
// link is no web address.
#pragma once

#include <string>

namespace sarvoke::lab {

// The home page as the site at `host` (host:port) serves it; without posts, a page of the same frame
// that holds none.
std::string PublisherHomePage(const std::string& host, bool withPosts = true);

}  // namespace sarvoke::lab
