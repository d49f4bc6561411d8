#include "search/pattern_update.h"

#include "net/endpoints.h"
#include "net/http_fetch.h"

namespace sarvoke {

Text PatternFileAddress() { return "http://" + CurrentEndpoints().publisherHost + "/rj/bd.txt"; }

Text UpdatePattern() { return TextFromBytes(HttpFetch(PatternFileAddress())); }

}  // namespace sarvoke
